// Settings read at start-up and written back at close.
#include "FailingWrites.h"
#include "FileFaults.h"
#include "Unprivileged.h"
#include "WindowTest.h"
#include "app/CloseOnSignal.h"

#include <csignal>

namespace {

const QString Key = QStringLiteral("[HKEY_LOCAL_MACHINE\\software\\Orvell\\Zuvex 910k]");

const auto pressOk = press("OK");
const QString NewInCurrentDir = QDir::currentPath() + "/Neu.zcf";

// What keeps the settings file from being replaced whole.
enum class Fault { FullDisk, WriteProtected, ReadOnlyFolder, NoFileNoBlock };

constexpr uid_t Root = 0;
const QString CannotWrite = QStringLiteral("konnte nicht geschrieben werden.");

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void fileEntriesCompacted_data() {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("gap gap A B")
            << QStringList{"", "", "A", "B"} << QStringList{"", "A", "B", ""};
        QTest::newRow("gap A gap B")
            << QStringList{"", "A", "", "B"} << QStringList{"A", "B", "", ""};
        QTest::newRow("full") << QStringList{"A", "B", "C", "D"} << QStringList{"A", "B", "C", "D"};
        QTest::newRow("A gap gap B")
            << QStringList{"A", "", "", "B"} << QStringList{"A", "", "B", ""};
    }
    void fileEntriesCompacted() {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, expected);
        TestHome home;
        QString values;
        for (int i = 0; i < 4; ++i)
            values += QStringLiteral("\"File%1\"=\"%2\"\r\n").arg(i + 1).arg(stored[i]);
        home.writeRegistry(values);
        TAppFormProbe form;
        QVERIFY(form.close()); // written back compacted

        const QString text = home.readRegistry();
        for (int i = 0; i < 4; ++i)
            QVERIFY(text.contains(QStringLiteral("\"File%1\"=\"%2\"").arg(i + 1).arg(expected[i])));
    }

    void wrongValueTypeTakesFailurePath() {
        TestHome home;
        home.writeRegistry(
            "\"WorkDir\"=\"/kept/\"\r\n\"File1\"=\"A\"\r\n\"COM\"=\"3\"\r\n\"File2\"=\"B\"\r\n");
        ModalAnswer box("SettingsErrorBox", pressOk);
        TAppFormProbe form;
        QCOMPARE(shown(box).lines, QStringList{"Ungültiger Datentyp für 'COM'"});
        FileDialogAnswers files(form);
        action(form, "FileSaveAs1")->trigger();
        QCOMPARE(files.lastOffered(), NewInCurrentDir); // even though WorkDir had been read
        QCOMPARE(form.Conversation->UsedComPort, quint16(0));
        QVERIFY(form.close());
        // read after the failure point: not read, so written back empty
        QVERIFY(home.readRegistry().contains(QStringLiteral("\"File1\"=\"\"")));
    }

    // SIGTERM while the start-up settings error shows closes the box and ends the program.
    void signalDuringSettingsErrorEndsProgram() {
        TestHome home;
        home.writeRegistry("\"COM\"=\"3\"\r\n");
        TCloseOnSignal closeOnSignal;
        ModalAnswer box("SettingsErrorBox", [](QWidget*) { ::raise(SIGTERM); });
        TAppFormProbe form;
        QVERIFY(shown(box).seen);
        QVERIFY(closeOnSignal.Requested());
    }

    // A settings file that cannot be replaced whole keeps every byte. On a full disk the COM
    // port reset at start-up and the values written at close fail and are reported; at close,
    // a write-protected file is left alone without a word, and where no new file can be made
    // beside it a write that would break off half-way is not tried and the failure reported.
    void settingsFileNeverCutOrOverwritten_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("reported");
        QTest::newRow("full tmpfs") << Fault::FullDisk << true;
        QTest::newRow("write-protected file") << Fault::WriteProtected << false;
        QTest::newRow("read-only folder, write breaks off") << Fault::ReadOnlyFolder << true;
        QTest::newRow("no file and no block left") << Fault::NoFileNoBlock << true;
    }
    void settingsFileNeverCutOrOverwritten() {
        QFETCH(Fault, fault);
        QFETCH(bool, reported);
        if (::geteuid() != Root)
            QSKIP("only root can give the settings to another user");
        constexpr int PageFillingComment = 3900; // the values written at close need one page more
        TestHome home;
        std::optional<SmallDisk> disk;
        if (fault == Fault::FullDisk || fault == Fault::NoFileNoBlock) {
            disk.emplace(home.configDir(), "size=16k,nr_inodes=8");
            SKIP_UNLESS_MOUNTED(*disk);
            QDir().mkpath(home.portsDir());
        }
        // only on a full disk is the COM port's reset at start-up a write that must fail
        home.writeRegistry((fault == Fault::FullDisk ? "\"COM\"=dword:00000007\r\n;"
                                                     : "\"WorkDir\"=\"/alt/\"\r\n;") +
                           QString(PageFillingComment, QLatin1Char('-')) + "\r\n");
        const QByteArray before = fileBytes(home.registryPath());
        const QByteArray config = QFile::encodeName(home.configDir());
        const QByteArray registry = QFile::encodeName(home.registryPath());
        QCOMPARE(::chmod(QFile::encodeName(home.root()), 0755), 0);
        QCOMPARE(::chown(config, Nobody, NoGroup), 0);
        QCOMPARE(::chmod(config, fault == Fault::ReadOnlyFolder ? 0555 : 0755), 0);
        QCOMPARE(::chown(registry, Nobody, NoGroup), 0);
        QCOMPARE(::chmod(registry, fault == Fault::WriteProtected ? 0444 : 0644), 0);
        if (disk)
            disk->fillUp();
        if (fault == Fault::NoFileNoBlock)
            disk->useUpFiles();
        std::optional<TornWrites> torn;
        if (fault == Fault::ReadOnlyFolder)
            torn.emplace();
        std::optional<ModalAnswer> atStartUp;
        if (fault == Fault::FullDisk)
            atStartUp.emplace("SettingsErrorBox", pressOk);
        ModalAnswer atClose("SettingsErrorBox", pressOk);
        {
            ActingAsNobody user;
            TAppFormProbe form;
            form.Conversation->UsedComPort = 3; // a value to write
            QVERIFY(form.close());
        }
        if (atStartUp)
            QVERIFY(atStartUp->lines.value(0).endsWith(CannotWrite));
        QCOMPARE(atClose.seen(), reported);
        QCOMPARE(atClose.lines.value(0).endsWith(CannotWrite), reported);
        QCOMPARE(fileBytes(home.registryPath()), before);
    }

    // The user's file first, else the system-wide default; closing writes the user's file once,
    // the work folder saved into among its values, and nothing is created where neither file
    // holds the key. Values read at start-up: the
    // COM port kept only up to four (a higher one is written back as none at once), only its
    // low 16 bits counting, and the work folder the file dialogs start in, with its
    // separator, or the current folder.
    void settingsLookup_data() {
        // value lines, or "-" for no file, "nokey" for a file without the key
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("system");
        QTest::addColumn<int>("com");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<bool>("resetAtOnce");
        QTest::addColumn<bool>("written");
        const QString com1 = "\"COM\"=dword:00000001\r\n";
        const QString com2 = "\"COM\"=dword:00000002\r\n";
        const QString com3 = "\"COM\"=dword:00000003\r\n";
        const QString none = "-";
        const QString here = NewInCurrentDir;
        QTest::newRow("COM above four is reset at once") << "\"COM\"=dword:00000007\r\n"
                                                         << none << 0 << here << true << true;
        QTest::newRow("only the low 16 bits of COM count") << "\"COM\"=dword:00010003\r\n"
                                                           << none << 3 << here << false << true;
        QTest::newRow("WorkDir gets its separator")
            << com1 + "\"WorkDir\"=\"/data/konfig\"\r\n"
            << none << 1 << "/data/konfig/Neu.zcf" << false << true;
        QTest::newRow("empty WorkDir gives the current folder")
            << com1 + "\"WorkDir\"=\"\"\r\n"
            << none << 1 << here << false << true;
        QTest::newRow("user file") << com2 << com3 << 2 << here << false << true;
        QTest::newRow("system default only") << none << com3 << 3 << here << false << true;
        QTest::newRow("neither") << none << none << 0 << here << false << false;
        QTest::newRow("user file without key") << "nokey" << com3 << 0 << here << false << false;
        QTest::newRow("system default without key")
            << none << "nokey" << 0 << here << false << false;
    }
    void settingsLookup() {
        QFETCH(QString, user);
        QFETCH(QString, system);
        QFETCH(int, com);
        QFETCH(QString, offered);
        QFETCH(bool, resetAtOnce);
        QFETCH(bool, written);
        TestHome home;
        const auto place = [&home](const QString& file, const QString& content) {
            if (content != "-")
                home.writeRegistryAt(file, content == "nokey" ? "" : content, content != "nokey");
        };
        place(home.registryPath(), user);
        place(home.systemRegistryPath(), system);
        const QByteArray systemBefore = fileBytes(home.systemRegistryPath());
        const QString userBefore = home.readRegistry();
        ModalAnswer box("SettingsErrorBox", pressOk);
        {
            TAppFormProbe form;
            QCOMPARE(form.Conversation->UsedComPort, quint16(com));
            QCOMPARE(part<QLabel>(form, "StatusPanel1")->text(),
                     QStringLiteral("Verwendeter COM-Port: keiner"));
            QCOMPARE(form.windowTitle(), QStringLiteral("Zuvex 910k Konfigurator - Neu.zcf"));
            QCOMPARE(home.readRegistry() != userBefore, resetAtOnce);
            QCOMPARE(home.readRegistry().contains("\"COM\"=dword:00000000"), resetAtOnce);
            FileDialogAnswers files(form, {home.path("anlage.zcf")});
            action(form, "FileSaveAs1")->trigger();
            QCOMPARE(files.lastOffered(), offered);
            form.Conversation->UsedComPort = 4;
            CountedWrites writes;
            QVERIFY(form.close());
            QCOMPARE(writes.count(), written ? 1 : 0); // once, after the last value
        }
        QVERIFY(!box.seen());
        const QString text = home.readRegistry();
        QCOMPARE(text.contains(Key + "\r\n\"COM\"=dword:00000004"), written);
        QCOMPARE(text.contains("\"WorkDir\"=\"" + home.root() + "/\""), written);
        QCOMPARE(text.indexOf("\"WorkDir\"") < text.indexOf("\"File4\""), written);
        QCOMPARE(text != userBefore, written); // nothing created or changed
        QCOMPARE(fileBytes(home.systemRegistryPath()), systemBefore);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
