// The zuvex-sim program: options, its port entry while it runs, a clean end on SIGTERM.
#include "SimClient.h"
#include "TestHome.h"

#include <QFileInfo>
#include <QProcess>
#include <QtTest>

using namespace std::chrono_literals;

class TestSimProgram : public QObject {
    Q_OBJECT
    TestHome home; // the simulator inherits its XDG_CONFIG_HOME

private slots:
    void helpListsOptions() {
        QProcess sim;
        sim.start(ZUVEX_SIM_EXE, {"--help"});
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 0);
        const QByteArray help = sim.readAllStandardOutput();
        for (const char* option : {"--port", "--state", "--log", "--pacing", "--silent",
                                   "--write-fault", "--reject-record", "--hang-up-after"})
            QVERIFY2(help.contains(option), option);
    }

    void badOptionsAreRefused_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown") << QStringList{"--bogus"};
        QTest::newRow("port not a number") << QStringList{"--port", "x"};
        QTest::newRow("missing value") << QStringList{"--state"};
        QTest::newRow("bad fault kind") << QStringList{"--write-fault", "loud:3"};
    }
    void badOptionsAreRefused() {
        QFETCH(QStringList, args);
        QProcess sim;
        sim.start(ZUVEX_SIM_EXE, args);
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 2);
        QVERIFY(!QFileInfo::exists(home.portsDir() + "/COM3"));
    }

    void runsUntilTerminated() {
        const QString entry = home.portsDir() + "/COM7";
        QProcess sim;
        sim.start(ZUVEX_SIM_EXE, {"--port", "7", "--log", "--firmware-version", "1.2\\x41"});
        QVERIFY(sim.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(entry).isSymLink(), 10000);
        {
            SimClient client(entry.toStdString());
            QVERIFY(client.isOpen());
            client.send("T\r");
            QCOMPARE(client.read(12, 2000ms), std::string("Zuvex 910k\r\n"));
            client.send("V\r");
            QCOMPARE(client.read(6, 2000ms), std::string("1.2A\r\n"));
        }
        sim.terminate(); // SIGTERM
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo(entry).isSymLink());
        const QByteArray log = sim.readAllStandardError();
        QVERIFY2(log.contains("[COM7 ") && log.contains("<- 54 0D  \"T\\r\""), log.constData());
        QVERIFY(log.contains("-> 31 2E 32 41 0D 0A  \"1.2A\\r\\n\""));
        // The default state file keeps the version for the next run.
        QFile state(home.configDir() + "/sim-state-COM7");
        QVERIFY(state.open(QIODevice::ReadOnly));
        QVERIFY(state.readAll().contains("version=1.2A\n"));
    }
};

QTEST_GUILESS_MAIN(TestSimProgram)
#include "tst_sim_program.moc"
