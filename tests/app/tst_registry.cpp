// The settings store file on its own: parsing, types, keeping what it does not know.
#include "FileFaults.h"
#include "RegistryExport.h"
#include "TestHome.h"
#include "Unprivileged.h"
#include "app/RegistryFile.h"

#include <QFile>
#include <QMap>
#include <QTest>

const auto Utf8 = TRegistryExport::Utf8;
const auto Utf16 = TRegistryExport::Utf16;
const auto Regedit4 = TRegistryExport::Regedit4;

// How the store stands when its key is opened.
enum class Store { Missing, WithoutKey, NotReadable, NoRegularFile };
Q_DECLARE_METATYPE(Store)

class TestRegistry : public QObject {
    Q_OBJECT
    const QString key = QString::fromLatin1(TRegistryFile::ProgramKey);

private slots:
    // Opening never creates the store; a file without the key, or one that exists but cannot
    // be read, counts as missing and stays as it was.
    void keyNotOpened_data() {
        QTest::addColumn<Store>("store");
        QTest::addColumn<FileShape>("shape"); // of a store that is no regular file
        QTest::newRow("missing file") << Store::Missing << FileShape::Missing;
        QTest::newRow("file without the key") << Store::WithoutKey << FileShape::Regular;
        QTest::newRow("no permission") << Store::NotReadable << FileShape::Regular;
        QTest::newRow("fifo") << Store::NoRegularFile << FileShape::Fifo;
        QTest::newRow("folder") << Store::NoRegularFile << FileShape::Folder;
        QTest::newRow("link to /dev/zero") << Store::NoRegularFile << FileShape::LinkToDevZero;
    }
    void keyNotOpened() {
        QFETCH(Store, store);
        QFETCH(FileShape, shape);
        TestHome home;
        const QString path = home.registryPath();
        QFile::setPermissions(home.root(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ExeOther);
        if (store == Store::WithoutKey)
            home.writeRegistry(QString(), false);
        if (store == Store::NotReadable) {
            home.writeRegistry("\"COM\"=dword:00000002\r\n");
            QFile::setPermissions(path, QFile::WriteOwner);
        }
        if (store == Store::NoRegularFile)
            QVERIFY(!placeFile(shape, path).isEmpty());
        const QFileInfo before(path);
        {
            ActingAsNobody user; // root reads every file
            TRegistryFile reg(path);
            QVERIFY(!reg.OpenKey(key));
        }
        const QFileInfo after(path);
        QCOMPARE(after.exists(), before.exists());
        QCOMPARE(after.isSymLink(), before.isSymLink());
        QCOMPARE(after.isFile(), before.isFile());
        QCOMPARE(after.lastModified(), before.lastModified());
    }

    // XDG_CONFIG_HOME counts only as an absolute path; otherwise the file is under ~/.config.
    void userFileUnderConfigHome_data() {
        QTest::addColumn<QByteArray>("configHome");
        QTest::addColumn<bool>("used");
        QTest::newRow("absolute") << QByteArray("/srv/einstellungen") << true;
        QTest::newRow("relative") << QByteArray("einstellungen") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void userFileUnderConfigHome() {
        QFETCH(QByteArray, configHome);
        QFETCH(bool, used);
        TestHome home;
        const QByteArray previousHome = qgetenv("HOME");
        qputenv("HOME", home.root().toUtf8());
        qputenv("XDG_CONFIG_HOME", configHome);
        const QString path = TRegistryFile::defaultPath();
        qputenv("HOME", previousHome);
        QCOMPARE(path, (used ? QString::fromUtf8(configHome) : home.path(".config")) +
                           "/zuvex910k/registry.reg");
    }

    // Values as the file holds them: the key whatever its case, escaped strings, integers
    // whole, a UTF-16 export; a value of another type than asked for throws.
    void readsValues_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("value"); // a QString or a uint; none: the read throws
        QTest::newRow("key in other case")
            << QByteArray(
                   "Windows Registry Editor Version 5.00\r\n\r\n[hkey_local_machine\\SOFTWARE"
                   "\\orvell\\ZUVEX 910K]\r\n\"COM\"=dword:00000002\r\n")
            << "com" << QVariant(2u);
        const QByteArray values = registryExport(
            Utf8, "\"WorkDir\"=\"/a \\\"b\\\"\\\\c/\"\r\n\"COM\"=dword:0001000a\r\n");
        QTest::newRow("escaped string") << values << "WorkDir" << QVariant("/a \"b\"\\c/");
        QTest::newRow("integer of 32 bits") << values << "COM" << QVariant(0x1000au);
        QTest::newRow("UTF-16 export")
            << registryExport(Utf16, "\"File1\"=\"/home/jörg/a.zcf\"\r\n") << "File1"
            << QVariant("/home/jörg/a.zcf");
        const QByteArray wrong = registryExport(
            Utf8, "\"COM\"=\"3\"\r\n\"WorkDir\"=dword:00000001\r\n\"File1\"=hex:41,00\r\n");
        QTest::newRow("integer held as string") << wrong << "COM" << QVariant();
        QTest::newRow("string held as dword") << wrong << "WorkDir" << QVariant();
        QTest::newRow("string held as hex") << wrong << "File1" << QVariant();
    }
    void readsValues() {
        QFETCH(QByteArray, file);
        QFETCH(QString, name);
        QFETCH(QVariant, value);
        TestHome home;
        home.writeFile("zuvex910k/registry.reg", file);
        TRegistryFile reg(home.registryPath());
        QVERIFY(reg.OpenKey(key));
        QVERIFY(!reg.ValueExists("File4"));
        const bool integer = name.compare("COM", Qt::CaseInsensitive) == 0;
        const auto read = [&] {
            return integer ? QVariant(reg.ReadInteger(name)) : QVariant(reg.ReadString(name));
        };
        if (value.isValid())
            QCOMPARE(read(), value);
        else
            QVERIFY_THROWS_EXCEPTION(ERegistryError, read());
    }

    void damagedFileThrows_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no header")
            << QByteArray("[HKEY_LOCAL_MACHINE\\software\\Orvell\\Zuvex 910k]\r\n");
        QTest::newRow("open section")
            << QByteArray("Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\r\n");
        QTest::newRow("garbage line") << QByteArray(
            "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\software\\Orvell\\Zuvex "
            "910k]\r\nCOM=3\r\n");
    }
    void damagedFileThrows() {
        QFETCH(QByteArray, content);
        TestHome home;
        QVERIFY(!home.writeFile("zuvex910k/registry.reg", content).isEmpty());
        TRegistryFile reg(home.registryPath());
        QVERIFY_THROWS_EXCEPTION(ERegistryError, reg.OpenKey(key));
    }

    // Lines the program does not write stay byte for byte: other keys, unknown values, bytes
    // that are no UTF-8, bare line feeds, continued hex data.
    void writingKeepsWhatItDoesNotOwn() {
        TestHome home;
        const QByteArray other =
            "[HKEY_CURRENT_USER\\Other]\n\"X\"=\"1\"\n\"Keep\"=\"\xc3\x28\"\n\n";
        const QByteArray ours = "[HKEY_LOCAL_MACHINE\\software\\Orvell\\Zuvex 910k]\r\n"
                                "\"Extra\"=hex:01,02,\\\r\n  03\r\n";
        const QByteArray later = "\r\n[HKEY_CURRENT_USER\\Later]\r\n\"Y\"=dword:00000005\r\n";
        const QByteArray header = "Windows Registry Editor Version 5.00\r\n\r\n";
        QVERIFY(!home.writeFile("zuvex910k/registry.reg",
                                header + other + ours + "\"COM\"=dword:00000001\r\n" + later)
                     .isEmpty());
        TRegistryFile reg(home.registryPath());
        QVERIFY(reg.OpenKey(key));
        reg.WriteInteger("COM", 3);
        reg.WriteString("WorkDir", "/x/"); // a new value goes into the program's own section
        reg.CloseKey();
        QCOMPARE(fileBytes(home.registryPath()), header + other + ours +
                                                     "\"COM\"=dword:00000003\r\n" +
                                                     "\"WorkDir\"=\"/x/\"\r\n" + later);
        TRegistryFile again(home.registryPath());
        QVERIFY(again.OpenKey(key));
        QCOMPARE(again.ReadString("WorkDir"), QStringLiteral("/x/"));
    }

    // A REGEDIT4 file turns into UTF-16 when a value needs it; every string value in hex,
    // written before or after in the same save or carried over from another key, still reads.
    void switchToUtf16KeepsEveryValue_data() {
        QTest::addColumn<QStringList>("order");
        QStringList names{"File1", "File2", "File3", "WorkDir"};
        do
            QTest::newRow(qPrintable(names.join(", "))) << names;
        while (std::next_permutation(names.begin(), names.end()));
    }
    void switchToUtf16KeepsEveryValue() {
        QFETCH(QStringList, order);
        const QMap<QString, QString> values{{"File1", "A\nB"},
                                            {"File2", "Łódź"},
                                            {"File3", "Grüße\n"},
                                            {"WorkDir", "/home/Müller/"}};
        const QString otherKey = "HKEY_CURRENT_USER\\Other";
        TestHome home;
        home.writeFile("zuvex910k/registry.reg", registryExport(Regedit4) + "\r\n[" +
                                                     otherKey.toLatin1() +
                                                     "]\r\n\"Carried\"=hex(1):41,42,0a,00\r\n");
        TRegistryFile reg(home.registryPath());
        QVERIFY(reg.OpenKey(key));
        for (const QString& name : order)
            reg.WriteString(name, values[name]);
        reg.CloseKey();
        TRegistryFile again(home.registryPath());
        QVERIFY(again.OpenKey(key));
        for (const QString& name : order)
            QCOMPARE(again.ReadString(name), values[name]);
        QVERIFY(again.OpenKey(otherKey));
        QCOMPARE(again.ReadString("Carried"), QStringLiteral("AB\n"));
    }

    // Read, write, read gives the same value in every kind of file, whatever the string holds.
    void stringsRoundTrip_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("line break") << QStringLiteral("/home/a\nb/");
        QTest::newRow("CR LF and tab") << QStringLiteral("x\r\n\ty");
        QTest::newRow("zero and DEL") << QString::fromUtf16(u"a\u0000b\u007f");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + "z";
        QTest::newRow("lone surrogate at the end") << QString(QChar(0xDB04));
        QTest::newRow("umlaut") << QStringLiteral("/home/Müller/ß.zcf");
        QTest::newRow("outside Windows-1252") << QStringLiteral("Łódź €");
        QTest::newRow("quotes and backslashes") << QStringLiteral("\"a\\\"b\\");
        QTest::newRow("looks like hex") << QStringLiteral("=hex(1):00,\\");
        QTest::newRow("empty") << QString();
    }
    void stringsRoundTrip() {
        QFETCH(QString, value);
        for (const TRegistryExport kind : {Utf8, Utf16, Regedit4}) {
            TestHome home;
            home.writeFile("zuvex910k/registry.reg", registryExport(kind));
            TRegistryFile reg(home.registryPath());
            QVERIFY(reg.OpenKey(key));
            reg.WriteString("WorkDir", value);
            reg.CloseKey();
            TRegistryFile again(home.registryPath());
            QVERIFY(again.OpenKey(key));
            QCOMPARE(again.ReadString("WorkDir"), value);
            again.WriteInteger("COM", 1); // the line written before is kept as it stands
            again.CloseKey();
            TRegistryFile third(home.registryPath());
            QVERIFY(third.OpenKey(key));
            QCOMPARE(third.ReadString("WorkDir"), value);
            const QByteArray raw = fileBytes(home.registryPath());
            QCOMPARE(raw.count('\n'), 5); // header, blank line, key, two values: no raw line break
            if (kind == Utf16)
                QVERIFY(raw.startsWith("\xFF\xFE"));
        }
    }

    // A REGEDIT4 file is Windows-1252, even where its bytes happen to be valid UTF-8.
    void regedit4IsWindows1252_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("umlaut") << QStringLiteral("Müller.zcf");
        QTest::newRow("bytes valid as UTF-8") << QStringLiteral("×·");
    }
    void regedit4IsWindows1252() {
        QFETCH(QString, value);
        TestHome home;
        home.writeFile("zuvex910k/registry.reg",
                       registryExport(Regedit4, "\"File1\"=\"" + value + "\"\r\n"));
        TRegistryFile reg(home.registryPath());
        QVERIFY(reg.OpenKey(key));
        QCOMPARE(reg.ReadString("File1"), value);
        reg.WriteString("File2", QStringLiteral("Jörg"));
        reg.CloseKey();
        const QByteArray raw = fileBytes(home.registryPath());
        QVERIFY(raw.startsWith("REGEDIT4\r\n"));
        QVERIFY(raw.contains("\"File1\"=\"" + value.toLatin1() + "\"\r\n\"File2\"=\"J\xf6rg\""));
    }
};

QTEST_MAIN(TestRegistry)
#include "tst_registry.moc"
