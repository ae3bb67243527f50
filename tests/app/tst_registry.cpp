// The settings store file on its own: parsing, types, keeping what it does not know.
#include "TestHome.h"
#include "app/RegistryFile.h"

#include <QFile>
#include <QTest>

class TestRegistry : public QObject {
    Q_OBJECT
    const QString key = QString::fromLatin1(TRegistryFile::ProgramKey);

private slots:
    void missingFileOrKeyIsNotOpened() {
        TestHome home;
        TRegistryFile reg(home.registryPath());
        QVERIFY(!reg.OpenKey(key));
        QVERIFY(!QFile::exists(home.registryPath())); // opening never creates the store
        home.writeRegistry(QString(), false);
        QVERIFY(!reg.OpenKey(key));
    }

    void keyPathComparedCaseInsensitively() {
        TestHome home;
        QFile f(home.registryPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Windows Registry Editor Version 5.00\r\n\r\n"
                "[hkey_local_machine\\SOFTWARE\\orvell\\ZUVEX 910K]\r\n\"COM\"=dword:00000002\r\n");
        f.close();
        TRegistryFile reg(home.registryPath());
        QVERIFY(reg.OpenKey(key));
        QCOMPARE(reg.ReadInteger("com"), 2u);
    }

    void readsEscapedStringsAndIntegers() {
        TestHome home;
        home.writeRegistry(
            QStringLiteral("\"WorkDir\"=\"/a \\\"b\\\"\\\\c/\"\r\n\"COM\"=dword:0001000a\r\n"));
        TRegistryFile reg(home.registryPath());
        QVERIFY(reg.OpenKey(key));
        QCOMPARE(reg.ReadString("WorkDir"), QStringLiteral("/a \"b\"\\c/"));
        QCOMPARE(reg.ReadInteger("COM"), 0x1000au);
        QVERIFY(!reg.ValueExists("File1"));
    }

    void wrongTypeThrows() {
        TestHome home;
        home.writeRegistry(QStringLiteral(
            "\"COM\"=\"3\"\r\n\"WorkDir\"=dword:00000001\r\n\"File1\"=hex:41,00\r\n"));
        TRegistryFile reg(home.registryPath());
        QVERIFY(reg.OpenKey(key));
        QVERIFY_THROWS_EXCEPTION(RegistryError, reg.ReadInteger("COM"));
        QVERIFY_THROWS_EXCEPTION(RegistryError, reg.ReadString("WorkDir"));
        QVERIFY_THROWS_EXCEPTION(RegistryError, reg.ReadString("File1"));
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
        QFile f(home.registryPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        TRegistryFile reg(home.registryPath());
        QVERIFY_THROWS_EXCEPTION(RegistryError, reg.OpenKey(key));
    }

    void writingKeepsUnknownValuesAndSections() {
        TestHome home;
        QFile f(home.registryPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(
            "Windows Registry Editor Version "
            "5.00\r\n\r\n[HKEY_CURRENT_USER\\Other]\r\n\"X\"=\"1\"\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\software\\Orvell\\Zuvex 910k]\r\n\"Extra\"=hex:01,02,\\\r\n  "
            "03\r\n"
            "\"COM\"=dword:00000001\r\n\r\n[HKEY_CURRENT_USER\\Later]\r\n\"Y\"=dword:00000005\r\n");
        f.close();
        TRegistryFile reg(home.registryPath());
        QVERIFY(reg.OpenKey(key));
        reg.WriteInteger("COM", 3);
        reg.WriteString("WorkDir", "/x/");
        const QString text = home.readRegistry();
        QVERIFY(text.contains("[HKEY_CURRENT_USER\\Other]\r\n\"X\"=\"1\""));
        QVERIFY(text.contains("\"Extra\"=hex:01,02,03"));
        QVERIFY(text.contains("\"COM\"=dword:00000003"));
        QVERIFY(!text.contains("dword:00000001"));
        QVERIFY(text.contains("\"Y\"=dword:00000005"));
        // a new value goes into the program's own section, not the one after it
        QVERIFY(text.indexOf("\"WorkDir\"=\"/x/\"") < text.indexOf("[HKEY_CURRENT_USER\\Later]"));
        TRegistryFile again(home.registryPath());
        QVERIFY(again.OpenKey(key));
        QCOMPARE(again.ReadString("WorkDir"), QStringLiteral("/x/"));
    }

    void readsUtf16ExportOfRegedit() {
        TestHome home;
        const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                            "[HKEY_LOCAL_MACHINE\\software\\Orvell\\Zuvex 910k]\r\n"
                                            "\"File1\"=\"/home/jörg/a.zcf\"\r\n");
        QByteArray raw("\xFF\xFE");
        raw.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        home.writeFile("zuvex910k/registry.reg", raw);
        TRegistryFile reg(home.registryPath());
        QVERIFY(reg.OpenKey(key));
        QCOMPARE(reg.ReadString("File1"), QStringLiteral("/home/jörg/a.zcf"));
    }
};

QTEST_MAIN(TestRegistry)
#include "tst_registry.moc"
