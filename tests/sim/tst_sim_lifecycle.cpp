// The simulator's port entry, its state file and its behaviour when the other side comes
// and goes.
#include "CpuTime.h"
#include "SimClient.h"
#include "SimStart.h"
#include "tools/SimState.h"
#include "tools/ZuvexSim.h"

#include <QFile>
#include <QFileInfo>
#include <QtTest>
#include <thread>

using namespace zuvexsim;
using namespace std::chrono_literals;

namespace {

// Opens the port, asks for the identification and closes the port again.
std::string identify(const std::string& port) {
    return SimClient(port).ask("T\r", 12);
}

std::string target(const std::string& entry) {
    return QFileInfo(QString::fromStdString(entry)).symLinkTarget().toStdString();
}

bool exists(const std::string& path) {
    return QFileInfo::exists(QString::fromStdString(path)) ||
           QFileInfo(QString::fromStdString(path)).isSymLink();
}

} // namespace

class TestSimLifecycle : public QObject {
    Q_OBJECT
    TestHome home;
    std::string portsDir() const { return home.portsDir().toStdString(); }

private slots:
    void portEntryPublishedAndRemoved() {
        ZuvexSim sim;
        QCOMPARE(sim.portPath(), portsDir() + "/COM3");
        QVERIFY(!exists(sim.portPath()));
        sim.start();
        QVERIFY(QFileInfo(QString::fromStdString(sim.portPath())).isSymLink());
        QCOMPARE(target(sim.portPath()), sim.slavePath());
        sim.stop();
        QVERIFY(!exists(sim.portPath()));
        sim.start(); // a fresh pseudo-terminal each time, and it answers again
        QVERIFY(exists(sim.portPath()));
        QCOMPARE(identify(sim.portPath()), SimIdent);
    }

    void portEntryRemovedOnDestruction() {
        std::string entry;
        {
            ZuvexSim sim(simOptions(9));
            sim.start();
            entry = sim.portPath();
            QVERIFY(exists(entry));
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
        com1.send("T\r");
        com3.send("T\r");
        QCOMPARE(com3.read(12, 1000ms), SimIdent);
        QCOMPARE(com1.readFor(200ms), std::string());
        QVERIFY(silent.waitForReceived(2, 1000ms));
        QCOMPARE(silent.received(), std::string("T\r"));
        QCOMPARE(device.received(), std::string("T\r"));
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
        SimOptions options;
        options.statePath = path;
        options.restartMs = 0;
        {
            ZuvexSim sim(options);
            QCOMPARE(sim.image(), factoryImage()); // fresh state: factory settings
            sim.start();
            SimClient client(sim.portPath());
            const std::string block(image.begin(), image.end());
            QCOMPARE(client.ask("W0000,3c\r" + block + char(imageChecksum(image)), 62, 2000ms),
                     std::string(62, '\x06'));
            QVERIFY(sim.waitForMode(DeviceMode::Command, 1000ms));
            QCOMPARE(client.ask("\x05"
                                "0000"
                                "58642",
                                3),
                     std::string(3, '\x06'));
            QCOMPARE(client.ask("U\r<", 2), std::string(">L"));
            QCOMPARE(client.ask(std::string("\x00\x02\xAB\xCD", 4), 1), std::string("\x11"));
            sim.setFirmwareVersion("9.99");
        }
        ZuvexSim again(options);
        QCOMPARE(again.image(), image);
        QCOMPARE(again.pin(), std::string("8642"));
        QCOMPARE(again.firmwareVersion(), std::string("9.99"));
        QCOMPARE(again.lastFirmware(), (std::vector<std::uint8_t>{0x00, 0x02, 0xAB, 0xCD}));
        again.start();
        const std::string block = SimClient(again.portPath()).ask("R0000,3c\r", 61);
        QCOMPARE(block.substr(0, 60), std::string(image.begin(), image.end()));
    }

    void unreadableStateIsKeptAside() {
        const std::string path = home.path("state-b").toStdString();
        QVERIFY(!home.writeFile("state-b", "image=01 02\npin=12\n").isEmpty());
        SimOptions options;
        options.statePath = path;
        ZuvexSim sim(options);
        QCOMPARE(sim.image(), factoryImage());
        QCOMPARE(sim.pin(), std::string(DefaultPin));
        QFile kept(QString::fromStdString(path + ".corrupt"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("image=01 02\npin=12\n"));
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

    void trafficIsTimedAndClearable() {
        ZuvexSim sim;
        sim.start();
        SimClient client(sim.portPath());
        const auto t0 = std::chrono::steady_clock::now();
        QCOMPARE(client.ask("T\r", 12), SimIdent);
        const auto traffic = sim.traffic();
        QCOMPARE(traffic.size(), std::size_t(14));
        QVERIFY(traffic[0].received && traffic[1].received && !traffic[2].received);
        QVERIFY(traffic[0].at >= t0);
        for (std::size_t i = 1; i < traffic.size(); ++i)
            QVERIFY(traffic[i].at >= traffic[i - 1].at);
        QCOMPARE(sim.sent(), SimIdent);
        sim.clearTraffic();
        QVERIFY(sim.traffic().empty());
        QVERIFY(!sim.waitForReceived(1, 100ms));
    }

    void logShowsBothDirections() {
        std::mutex m;
        std::vector<std::string> lines;
        SimOptions options;
        options.log = true;
        options.logSink = [&](const std::string& line) {
            std::lock_guard lock(m);
            lines.push_back(line);
        };
        ZuvexSim sim(options);
        sim.start();
        QCOMPARE(identify(sim.portPath()), SimIdent);
        sim.stop();
        std::lock_guard lock(m);
        auto has = [&](const std::string& part) {
            for (const auto& l : lines)
                if (l.find(part) != std::string::npos && l.rfind("[COM3 ", 0) == 0)
                    return true;
            return false;
        };
        QVERIFY(has("<- 54 0D  \"T\\r\""));
        QVERIFY(has("-> 5A 75 76 65 78 20 39 31 30 6B 0D 0A  \"Zuvex 910k\\r\\n\""));
    }
};

QTEST_GUILESS_MAIN(TestSimLifecycle)
#include "tst_sim_lifecycle.moc"
