// The simulator's port entry, its state file and its behaviour when the other side comes
// and goes; the zuvex-sim program with its options and a clean end on SIGTERM.
#include "CpuTime.h"
#include "SimClient.h"
#include "SimStart.h"
#include "tools/SimState.h"
#include "tools/ZuvexSim.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>
#include <thread>

using namespace zuvexsim;
using namespace std::chrono_literals;
using LinkProtocol::ImageBlockSize;

namespace {

constexpr int ProgramWaitMs = 10000;
constexpr int BadUsage = 2;

// Opens the port, asks for the identification and closes the port again.
std::string identify(const std::string& port) {
    return SimClient(port).identify();
}

std::string target(const std::string& entry) {
    return QFileInfo(QString::fromStdString(entry)).symLinkTarget().toStdString();
}

bool exists(const std::string& path) {
    return QFileInfo::exists(QString::fromStdString(path)) ||
           QFileInfo(QString::fromStdString(path)).isSymLink();
}

// zuvex-sim run to its end with `args`.
int runSimProgram(const QStringList& args, QByteArray* output = nullptr) {
    QProcess sim;
    sim.start(ZUVEX_SIM_EXE, args);
    if (!sim.waitForFinished(ProgramWaitMs))
        return -1;
    if (output)
        *output = sim.readAllStandardOutput();
    return sim.exitCode();
}

} // namespace

class TestSimLifecycle : public QObject {
    Q_OBJECT
    TestHome home; // the simulator program inherits its XDG_CONFIG_HOME
    std::string portsDir() const { return home.portsDir().toStdString(); }

private slots:
    // The entry goes with stop() and with the simulator itself.
    void portEntryPublishedAndRemoved() {
        std::string entry;
        {
            ZuvexSim sim;
            entry = sim.portPath();
            QCOMPARE(entry, portsDir() + "/COM3");
            QVERIFY(!exists(entry));
            sim.start();
            QVERIFY(QFileInfo(QString::fromStdString(entry)).isSymLink());
            QCOMPARE(target(entry), sim.slavePath());
            sim.stop();
            QVERIFY(!exists(entry));
            sim.start(); // a fresh pseudo-terminal each time, and it answers again
            QVERIFY(exists(entry));
            QCOMPARE(identify(entry), SimIdent);
        }
        QVERIFY(!exists(entry));
    }

    void silentMissingAndSimulatorCoexist() {
        ZuvexSim silent(silentPortOptions(1));
        ZuvexSim::removePortEntry(2);
        ZuvexSim device(simOptions(3));
        silent.start();
        device.start();
        QVERIFY(exists(portsDir() + "/COM1"));
        QVERIFY(!exists(portsDir() + "/COM2"));
        SimClient com1(portsDir() + "/COM1");
        SimClient com3(portsDir() + "/COM3");
        QVERIFY(com1.isOpen());
        QVERIFY(com3.isOpen());
        QVERIFY(!SimClient(portsDir() + "/COM2").isOpen());
        com1.send(IdentifyRequest);
        com3.send(IdentifyRequest);
        QCOMPARE(com3.read(SimIdent.size(), 1000ms), SimIdent);
        QCOMPARE(com1.readFor(200ms), std::string());
        QVERIFY(silent.waitForReceived(IdentifyRequest.size(), 1000ms));
        QCOMPARE(silent.received(), IdentifyRequest);
        QCOMPARE(device.received(), IdentifyRequest);
    }

    void takenOverEntryIsLeftToItsOwner() {
        ZuvexSim first(simOptions(5));
        ZuvexSim second(simOptions(5));
        first.start();
        second.start();
        QCOMPARE(target(second.portPath()), second.slavePath());
        first.stop(); // must not remove the entry that now belongs to `second`
        QCOMPARE(target(second.portPath()), second.slavePath());
        second.stop();
        QVERIFY(!exists(second.portPath()));
    }

    void stateSurvivesRestart() {
        const std::string path = home.path("state-a").toStdString();
        ConfigImage image{};
        for (int i = 0; i < ConfigImageSize; ++i)
            image[i] = static_cast<std::uint8_t>(200 - i);
        const std::string record = bytes({0x00, 0x02, 0xAB, 0xCD});
        SimOptions options;
        options.statePath = path;
        options.restartMs = 0;
        {
            ZuvexSim sim(options);
            QCOMPARE(sim.image(), factoryImage()); // fresh state: factory settings
            sim.start();
            SimClient client(sim.portPath());
            const std::string write = WriteRequest + imageBytes(image) + char(imageChecksum(image));
            const std::string acks(ImageBlockSize + 1, char(ACK)); // the command and each byte
            QCOMPARE(client.ask(write, acks.size(), 2000ms), acks);
            QVERIFY(sim.waitForMode(DeviceMode::Command, 1000ms));
            const std::string pinChange = EnqRequest + DefaultPin + "58642";
            QCOMPARE(client.ask(pinChange, 3), std::string(3, char(ACK)));
            QVERIFY(client.enterLoading());
            QCOMPARE(client.ask(record, 1), std::string(1, char(RecordAccepted)));
            sim.setFirmwareVersion("9.99");
        }
        ZuvexSim again(options);
        QCOMPARE(again.image(), image);
        QCOMPARE(again.pin(), std::string("8642"));
        QCOMPARE(again.firmwareVersion(), std::string("9.99"));
        QCOMPARE(again.lastFirmware(), std::vector<std::uint8_t>(record.begin(), record.end()));
        again.start();
        const std::string block = SimClient(again.portPath()).ask(ReadRequest, ImageBlockSize);
        QCOMPARE(block.substr(0, ConfigImageSize), imageBytes(image));
    }

    void unreadableStateIsKeptAside() {
        const std::string path = home.path("state-b").toStdString();
        const QByteArray unreadable = "image=01 02\npin=12\n";
        QVERIFY(!home.writeFile("state-b", unreadable).isEmpty());
        SimOptions options;
        options.statePath = path;
        ZuvexSim sim(options);
        QCOMPARE(sim.image(), factoryImage());
        QCOMPARE(sim.pin(), std::string(DefaultPin));
        QFile kept(QString::fromStdString(path + ".corrupt"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), unreadable);
        DeviceMemory saved;
        std::string error;
        QVERIFY2(loadState(path, saved, error), error.c_str()); // a fresh, valid state
        QCOMPARE(saved.image, factoryImage());
    }

    void invalidValuesAreRefused() {
        ZuvexSim sim;
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, sim.setPin("12a4"));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, sim.setPin("12345"));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, sim.setFirmwareVersion("1\r\n2"));
        QCOMPARE(sim.pin(), std::string(DefaultPin));
    }

    void closedPortDoesNotSpinAndReopens() {
        ZuvexSim sim;
        sim.start();
        QCOMPARE(identify(sim.portPath()), SimIdent);
        const auto before = processCpuTime();
        std::this_thread::sleep_for(500ms);
        // An idle simulator whose port nobody holds must not busy-wait.
        QVERIFY(processCpuTime() - before < 200ms);
        QCOMPARE(identify(sim.portPath()), SimIdent);
    }

    // The traffic in order with its times; the log lines go to the sink given.
    void trafficIsTimedAndLogged() {
        std::mutex m;
        std::string log;
        SimOptions options;
        options.log = true;
        options.logSink = [&](const std::string& line) {
            std::lock_guard lock(m);
            log += line;
        };
        ZuvexSim sim(options);
        sim.start();
        SimClient client(sim.portPath());
        const auto t0 = std::chrono::steady_clock::now();
        QCOMPARE(client.identify(), SimIdent);
        const auto traffic = sim.traffic();
        QCOMPARE(traffic.size(), IdentifyRequest.size() + SimIdent.size());
        QVERIFY(traffic[0].received && traffic[1].received && !traffic[2].received);
        QVERIFY(traffic[0].at >= t0);
        for (std::size_t i = 1; i < traffic.size(); ++i)
            QVERIFY(traffic[i].at >= traffic[i - 1].at);
        QCOMPARE(sim.sent(), SimIdent);
        sim.clearTraffic();
        QVERIFY(sim.traffic().empty());
        QVERIFY(!sim.waitForReceived(1, 100ms));
        sim.stop();
        std::lock_guard lock(m);
        QVERIFY(log.find("[COM3 ") != std::string::npos);
        QVERIFY(log.find("-> 5A 75 76 65 78 20 39 31 30 6B 0D 0A  \"Zuvex 910k\\r\\n\"") !=
                std::string::npos);
    }

    void programHelpListsOptions() {
        QByteArray help;
        QCOMPARE(runSimProgram({"--help"}, &help), 0);
        for (const char* option : {"--port", "--state", "--log", "--pacing", "--silent",
                                   "--write-fault", "--reject-record", "--hang-up-after"})
            QVERIFY2(help.contains(option), option);
    }

    void programRefusesBadOptions_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown") << QStringList{"--bogus"};
        QTest::newRow("port not a number") << QStringList{"--port", "x"};
        QTest::newRow("missing value") << QStringList{"--state"};
        QTest::newRow("bad fault kind") << QStringList{"--write-fault", "loud:3"};
    }
    void programRefusesBadOptions() {
        QFETCH(QStringList, args);
        QCOMPARE(runSimProgram(args), BadUsage);
        QVERIFY(!QFileInfo::exists(home.portsDir() + "/COM3"));
    }

    void programRunsUntilTerminated() {
        const QString entry = home.portsDir() + "/COM7";
        QProcess sim;
        sim.start(ZUVEX_SIM_EXE, {"--port", "7", "--log", "--firmware-version", "1.2\\x41"});
        QVERIFY(sim.waitForStarted(ProgramWaitMs));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(entry).isSymLink(), ProgramWaitMs);
        {
            SimClient client(entry.toStdString());
            QVERIFY(client.isOpen());
            QCOMPARE(client.ask(IdentifyRequest, SimIdent.size(), 2000ms), SimIdent);
            QCOMPARE(client.ask(VersionRequest, 6, 2000ms), std::string("1.2A\r\n"));
        }
        sim.terminate(); // SIGTERM
        QVERIFY(sim.waitForFinished(ProgramWaitMs));
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

QTEST_GUILESS_MAIN(TestSimLifecycle)
#include "tst_sim_lifecycle.moc"
