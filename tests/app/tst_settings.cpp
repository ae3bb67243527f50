// Settings read at start-up and written back at close.
#include "ModalDriver.h"
#include "TestHome.h"
#include "app/AppForm.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void withoutKeyDefaultsAndNothingCreated() {
        TestHome home;
        {
            TAppForm form;
            QCOMPARE(form.WorkDir, QDir::currentPath() + "/");
            QCOMPARE(form.UsedComPort, quint16(0));
            QVERIFY(form.File1.isEmpty() && form.File4.isEmpty());
            QCOMPARE(form.CurrentFile, QDir::currentPath() + "/Neu.zcf");
            QVERIFY(form.close());
        }
        QVERIFY(!QFile::exists(home.registryPath()));
        // a store without the key stays without it
        home.writeRegistry(QString(), false);
        const QString before = home.readRegistry();
        {
            TAppForm form;
            QVERIFY(form.close());
        }
        QCOMPARE(home.readRegistry(), before);
    }

    void comPortAboveFourIsResetAtOnce() {
        TestHome home;
        home.writeRegistry("\"COM\"=dword:00000007\r\n");
        TAppForm form;
        QCOMPARE(form.UsedComPort, quint16(0));
        QVERIFY(home.readRegistry().contains("\"COM\"=dword:00000000"));
    }

    void comPortKeptButStatusBarUntouched() {
        TestHome home;
        home.writeRegistry("\"COM\"=dword:00010003\r\n"); // only the low 16 bits count
        TAppForm form;
        QCOMPARE(form.UsedComPort, quint16(3));
        QCOMPARE(form.StatusPanel1->text(), QStringLiteral("Verwendeter COM-Port: keiner"));
    }

    void workDirGetsItsSeparator() {
        TestHome home;
        home.writeRegistry("\"WorkDir\"=\"/data/konfig\"\r\n");
        TAppForm form;
        QCOMPARE(form.CurrentFile, QStringLiteral("/data/konfig/Neu.zcf"));
        // the caption names the default file name as such
        QCOMPARE(form.windowTitle(), QStringLiteral("Zuvex 910k Konfigurator - Neu.zcf"));
    }

    void emptyWorkDirGivesCurrentDirectory() {
        TestHome home;
        home.writeRegistry("\"WorkDir\"=\"\"\r\n");
        TAppForm form;
        QCOMPARE(form.WorkDir, QDir::currentPath() + "/");
    }

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
        TAppForm form;
        QCOMPARE((QStringList{form.File1, form.File2, form.File3, form.File4}), expected);
        // written back as they stand
        QVERIFY(form.close());
        const QString text = home.readRegistry();
        for (int i = 0; i < 4; ++i)
            QVERIFY(text.contains(QStringLiteral("\"File%1\"=\"%2\"").arg(i + 1).arg(expected[i])));
    }

    void wrongValueTypeTakesFailurePath() {
        TestHome home;
        home.writeRegistry(
            "\"WorkDir\"=\"/kept/\"\r\n\"File1\"=\"A\"\r\n\"COM\"=\"3\"\r\n\"File2\"=\"B\"\r\n");
        ModalAnswer box("SettingsErrorBox", [](QWidget* w) { pressButton(w, "OK"); });
        TAppForm form;
        QVERIFY(box.seen());
        QCOMPARE(box.lines, QStringList{"Ungültiger Datentyp für 'COM'"});
        QCOMPARE(form.WorkDir, QDir::currentPath() + "/"); // even though it had been read
        QCOMPARE(form.UsedComPort, quint16(0));
        QVERIFY(form.File1.isEmpty()); // read after the failure point: not read
    }

    void closeWritesSettingsWhenKeyExists() {
        TestHome home;
        home.writeRegistry("\"COM\"=dword:00000002\r\n");
        TAppForm form;
        form.CurrentFile = "/srv/konfig/anlage.zcf";
        form.UsedComPort = 4;
        QVERIFY(form.close());
        const QString text = home.readRegistry();
        QVERIFY(text.contains("\"WorkDir\"=\"/srv/konfig/\""));
        QVERIFY(text.contains("\"COM\"=dword:00000004"));
        QVERIFY(text.indexOf("\"WorkDir\"") < text.indexOf("\"File4\""));
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
