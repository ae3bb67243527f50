// The simulator: its replies and faults, port entry, state file, and the zuvex-sim program.
#include "CpuTime.h"
#include "ProgramRun.h"
#include "SimStart.h"
#include "config/ConfigCodec.h"
#include "link/FirmwareFile.h"
#include "tools/SimState.h"

#include <QProcess>
#include <QtTest>
#include <thread>

using namespace zuvexsim;
using namespace std::chrono_literals;
using namespace std::string_literals;
using LinkProtocol::ImageBlockSize;

namespace {

using Clock = std::chrono::steady_clock;
using SimAction = std::function<void(ZuvexSim&, SimClient&)>;
// Requests and the exact replies they get; an empty reply: nothing comes for a while.
using Talk = std::vector<std::pair<std::string, std::string>>;

constexpr int FixturePort = 4;
constexpr int RestartMs = 300;
constexpr int LoadIdleMs = 500;
constexpr auto WithinRestart = 150ms;
constexpr int SilentStep = 30; // a write byte left unacknowledged
constexpr auto Silence = 300ms;
constexpr auto ReplyWait = 1000ms;
constexpr auto NoiseOverWait = 10s; // loading mode ended and the restart over

// The firmware handshake ("U\r", ">", "<", "L"); true when the device entered loading mode.
bool enterLoading(SimClient& client) {
    return client.ask(LoadRequest, 1) == std::string(1, char(LinkProtocol::LoadPrompt)) &&
           client.ask(std::string(1, char(LinkProtocol::LoadConfirm)), 1) ==
               std::string(1, char(LinkProtocol::LoadReady));
}

// The 60 bytes of `image` and its checksum as they go over the line.
std::string imageBlock(const ConfigImage& image) {
    return std::string(image.begin(), image.end()) + char(imageChecksum(image));
}

const std::string RecordA = "\x00\x03\x41\x42\x43"s; // a record: its length, then its bytes
const std::string RecordB = "\x00\x01\x44"s;
const std::string AckReply(1, char(ACK));
const std::string NakReply(1, char(NAK));
const std::string RecordAck(1, char(RecordAccepted));

std::vector<std::uint8_t> firmwareOf(const std::string& records) {
    return {records.begin(), records.end()};
}

SimAction withFaults(const std::function<void(SimFaults&)>& set) {
    SimFaults faults;
    set(faults);
    return [faults](ZuvexSim& sim, SimClient&) { sim.setFaults(faults); };
}
const SimAction nothing = [](ZuvexSim&, SimClient&) {};
const SimAction inCommandMode = [](ZuvexSim& sim, SimClient&) {
    QCOMPARE(sim.mode(), DeviceMode::Command);
};
// After a refusal: PIN and image kept, the next command taken at once (not after the 2 s drop).
const SimAction nothingChanged = [](ZuvexSim& sim, SimClient& client) {
    QCOMPARE(sim.pin(), std::string(DefaultPin));
    QCOMPARE(sim.image(), factoryImage());
    QVERIFY(sim.waitForMode(DeviceMode::Command, 500ms));
    QCOMPARE(client.identify(), SimIdent);
};

constexpr int ProgramWaitMs = 10000;
constexpr int BadUsage = 2;

std::string target(const std::string& entry) {
    return QFileInfo(QString::fromStdString(entry)).symLinkTarget().toStdString();
}

bool exists(const std::string& path) {
    return QFileInfo::exists(QString::fromStdString(path)) ||
           QFileInfo(QString::fromStdString(path)).isSymLink();
}

} // namespace

class TestSim : public QObject, SimFixture {
    Q_OBJECT
    std::string portsDir() const { return home.portsDir().toStdString(); }

private slots:
    // On a port of its own, apart from the simulators the tests start themselves.
    void init() { QVERIFY(startWithClient(simOptions(FixturePort, RestartMs, LoadIdleMs))); }
    void cleanup() { stopAll(); }

    // `arrange` sets the device up, the requests get their replies, `after` checks the device.
    void conversation_data() {
        QTest::addColumn<SimAction>("arrange");
        QTest::addColumn<bool>("loading"); // the firmware handshake comes first
        QTest::addColumn<Talk>("talk");
        QTest::addColumn<SimAction>("after");
        QTest::newRow("empty version line")
            << SimAction([](ZuvexSim& sim, SimClient&) { sim.setFirmwareVersion(""); }) << false
            << Talk{{VersionRequest, "\r\n"}} << nothing;
        ConfigImage factory{};
        encodeImage(factorySettings(), factory);
        QTest::newRow("factory image")
            << nothing << false << Talk{{ReadRequest, imageBlock(factory)}, {"", ""}} << nothing;
        QTest::newRow("PIN: message without 5")
            << nothing << false
            << Talk{{EnqRequest, AckReply}, {DefaultPin, AckReply}, {"64711", NakReply}}
            << nothingChanged;
        QTest::newRow("PIN: new PIN not digits")
            << nothing << false
            << Talk{{EnqRequest, AckReply}, {DefaultPin, AckReply}, {"547a1", NakReply}}
            << nothingChanged;
        QTest::newRow("firmware handshake needs the prompt first")
            << nothing << false << Talk{{"<", ""}} << inCommandMode;
        // the commands are exact, lower-case hex; a LF after the CR spoils no command
        QTest::newRow("unknown commands are ignored")
            << nothing << false << Talk{{"X\rR0000,3C\rt\r", ""}, {"T\r\nT\r", SimIdent + SimIdent}}
            << nothing;
        QTest::newRow("silent: records, never answers")
            << withFaults([](SimFaults& f) { f.silent = true; }) << false
            << Talk{{IdentifyRequest + ReadRequest, ""}}
            << SimAction([](ZuvexSim& sim, SimClient& client) {
                   sim.setSilent(false);
                   QCOMPARE(client.identify(), SimIdent);
               });
        // aimed at the identification only, not at the version line
        const std::string stray = "\x00\xFF"s;
        QTest::newRow("stray bytes around a reply")
            << withFaults([stray](SimFaults& f) {
                   f.strayBefore = stray;
                   f.strayAfter = "\r\n";
                   f.strayOn = unsigned(ReplyKind::Identification);
               })
            << false
            << Talk{{IdentifyRequest, stray + SimIdent + "\r\n"},
                    {VersionRequest, std::string(DefaultFirmwareVersion) + "\r\n"},
                    {"", ""}}
            << nothing;
        QTest::newRow("stray bytes between records") << withFaults([](SimFaults& f) {
            f.strayAfter = "xy";
            f.strayOn = unsigned(ReplyKind::RecordAck);
        }) << true << Talk{{RecordB, RecordAck + "xy"}}
                                                     << nothing;
        QTest::newRow("rejected record")
            << withFaults([](SimFaults& f) {
                   f.rejectRecord = 1;
                   f.rejectTimes = 2;
               })
            << true
            << Talk{{RecordA, RecordAck},
                    {RecordB, NakReply},
                    {RecordB, NakReply},
                    {RecordB, RecordAck}}
            << SimAction([](ZuvexSim& sim, SimClient&) {
                   QVERIFY(sim.waitForMode(DeviceMode::Restarting, 2000ms));
                   QCOMPARE(sim.lastFirmware(), firmwareOf(RecordA + RecordB));
               });
        // nothing accepted: no firmware recorded
        QTest::newRow("silent record")
            << withFaults([](SimFaults& f) { f.silentRecord = 0; }) << true << Talk{{RecordB, ""}}
            << SimAction([](ZuvexSim& sim, SimClient&) {
                   QVERIFY(sim.waitForMode(DeviceMode::Command, 2000ms));
                   QVERIFY(sim.lastFirmware().empty());
               });
        // the command and each byte before the fault acknowledged, then nothing
        const std::string image(ConfigImageSize, '\0'); // not the factory image it must keep
        QTest::newRow("write: silent at a byte")
            << withFaults([](SimFaults& f) {
                   f.writeFault = {AckFault::Kind::Silent, SilentStep, 0x00, 0};
               })
            << false
            << Talk{{WriteRequest + image.substr(0, SilentStep),
                     std::string(SilentStep + 1, char(ACK))},
                    {image.substr(SilentStep, 1), ""}}
            << nothingChanged;
        const char wrongChecksum = char(imageChecksum(ConfigImage{}) + 1);
        QTest::newRow("write: wrong checksum")
            << nothing << false
            << Talk{{WriteRequest + image, std::string(ImageBlockSize, char(ACK))},
                    {std::string(1, wrongChecksum), NakReply}}
            << nothingChanged;
        // "<" left unanswered: the device stays in command mode
        QTest::newRow("never sends L")
            << withFaults([](SimFaults& f) { f.neverSendL = true; }) << false
            << Talk{{LoadRequest, ">"}, {"<", ""}} << inCommandMode;
    }
    void conversation() {
        QFETCH(SimAction, arrange);
        QFETCH(bool, loading);
        QFETCH(Talk, talk);
        QFETCH(SimAction, after);
        arrange(*sim, *client);
        if (loading)
            QVERIFY(enterLoading(*client));
        for (const auto& [request, reply] : talk) {
            client->send(request);
            if (reply.empty())
                QCOMPARE(client->readFor(Silence), std::string());
            else
                QCOMPARE(client->read(reply.size(), ReplyWait), reply);
        }
        after(*sim, *client);
    }

    void abandonedWriteIsDropped() {
        cleanup();
        SimOptions options = simOptions(FixturePort, RestartMs, LoadIdleMs);
        options.exchangeIdleMs = 200;
        QVERIFY(startWithClient(options));
        const ConfigImage before = sim->image();
        QCOMPARE(client->ask(WriteRequest + std::string(10, '\x01'), 11),
                 std::string(11, char(ACK)));
        QVERIFY(sim->waitForMode(DeviceMode::Command, 2000ms));
        QCOMPARE(client->identify(), SimIdent);
        QCOMPARE(sim->image(), before);
    }

    // The shipped sample record by record; after a pause it restarts with it and identifies.
    void firmwareLoad() {
        TParsedFirmware sample;
        QVERIFY(ReadFirmwareFile(
            qEnvironmentVariable("ZUVEX_SOURCE_DIR") + "/tools/sample-firmware.zfw", sample));
        const std::string bytes(sample.bytes.begin(), sample.bytes.end());
        std::vector<TFirmwareRecord> records;
        QVERIFY(SplitFirmwareRecords(firmwareOf(bytes), records)); // whole records only
        QVERIFY(records.size() >= 2);
        QVERIFY(enterLoading(*client));
        QCOMPARE(sim->mode(), DeviceMode::Loading);
        for (const TFirmwareRecord& record : records)
            QCOMPARE(client->ask(bytes.substr(record.offset, record.size), 1), RecordAck);
        QVERIFY(sim->waitForMode(DeviceMode::Restarting, 3000ms));
        QVERIFY(sim->waitForMode(DeviceMode::Command, 2000ms));
        QCOMPARE(sim->lastFirmware(), firmwareOf(bytes));
        QCOMPARE(client->identify(), SimIdent);
    }

    void ackDelay() {
        constexpr auto Delay = 250ms;
        sim->setAckDelay(int(Delay.count()));
        // the write command's ACK, then that of "T" as the write's byte 0
        for (const std::string& request : {WriteRequest, IdentifyRequest}) {
            const auto asked = Clock::now();
            QCOMPARE(client->ask(request, 1), AckReply);
            QVERIFY(Clock::now() - asked >= Delay);
        }
    }

    void chunkedReply() {
        constexpr std::size_t Chunk = 4;
        constexpr auto Pause = 120ms;
        sim->setChunking(int(Chunk), int(Pause.count()));
        QCOMPARE(client->ask(IdentifyRequest, SimIdent.size(), 2000ms), SimIdent);
        std::vector<Clock::time_point> times;
        for (const WireByte& b : sim->traffic())
            if (!b.received)
                times.push_back(b.at);
        QCOMPARE(times.size(), SimIdent.size());
        for (std::size_t i = Chunk; i < times.size(); i += Chunk)
            QVERIFY(times[i] - times[i - 1] >= Pause);
        QVERIFY(times[Chunk - 1] - times[0] < Pause);
    }

    void hangUpAfterBytes() {
        constexpr long HangUpAfter = 5;
        sim->setHangUpAfter(HangUpAfter);
        QCOMPARE(client->identify(), SimIdent);
        client->send(ReadRequest);
        QVERIFY(client->waitHangUp(1000ms));
        QVERIFY(sim->hungUp());
        QCOMPARE(sim->received(), (IdentifyRequest + ReadRequest).substr(0, HangUpAfter));
        QCOMPARE(sim->sent(), SimIdent);
    }

    void pacingKeepsLineSpeed() {
        constexpr auto ByteTime = 174us; // 10 bits at 57600 baud
        sim->setPacing(true);
        QCOMPARE(client->ask(ReadRequest, ImageBlockSize, 2000ms).size(),
                 std::size_t(ImageBlockSize));
        std::vector<Clock::time_point> rx, tx;
        for (const WireByte& b : sim->traffic())
            (b.received ? rx : tx).push_back(b.at);
        QCOMPARE(tx.size(), std::size_t(ImageBlockSize));
        // reply byte i is complete no sooner than the request's bytes plus i + 1 byte times
        for (std::size_t i = 0; i < tx.size(); ++i)
            QVERIFY(tx[i] - rx[0] >= int(ReadRequest.size() + 1 + i) * ByteTime);
    }

    // The entry goes with stop() and with the simulator itself; the closed port is opened again.
    void portEntryPublishedAndRemoved() {
        std::string entry;
        {
            ZuvexSim sim;
            entry = sim.portPath();
            QCOMPARE(entry, portsDir() + "/COM3");
            QVERIFY(!exists(entry));
            sim.start();
            QCOMPARE(target(entry), sim.slavePath());
            sim.stop();
            QVERIFY(!exists(entry));
            sim.start(); // a fresh pseudo-terminal each time, and it answers again
            QCOMPARE(SimClient(entry).identify(), SimIdent);
            const auto before = processCpuTime();
            std::this_thread::sleep_for(500ms);
            // An idle simulator whose port nobody holds must not busy-wait.
            QVERIFY(processCpuTime() - before < 200ms);
            QCOMPARE(SimClient(entry).identify(), SimIdent); // the port reopens
        }
        QVERIFY(!exists(entry));
    }

    // A second simulator takes the entry over and keeps it; removed (plug pulled), nothing opens.
    void takenOverEntryIsLeftToItsOwner() {
        ZuvexSim first(simOptions(5));
        ZuvexSim second(simOptions(5));
        first.start();
        second.start();
        first.stop(); // must not remove the entry that now belongs to `second`
        QCOMPARE(target(second.portPath()), second.slavePath());
        ZuvexSim::removePortEntry(5);
        QVERIFY(!exists(second.portPath()));
        QVERIFY(!SimClient(second.portPath()).isOpen());
    }

    void stateSurvivesRestart() {
        const std::string path = home.path("state-a").toStdString();
        ConfigImage image{};
        for (int i = 0; i < ConfigImageSize; ++i)
            image[i] = static_cast<std::uint8_t>(200 - i);
        const std::string record = "\x00\x02\xAB\xCD"s;
        SimOptions options;
        options.statePath = path;
        options.restartMs = RestartMs;
        {
            ZuvexSim sim(options);
            QCOMPARE(sim.image(), factoryImage()); // fresh state: factory settings
            sim.start();
            SimClient client(sim.portPath());
            const std::string write = WriteRequest + imageBlock(image);
            const std::string acks(ImageBlockSize + 1, char(ACK)); // the command and each byte
            QCOMPARE(client.ask(write, acks.size(), 2000ms), acks);
            QCOMPARE(sim.mode(), DeviceMode::Restarting);
            // While restarting it neither answers nor remembers what it got.
            client.send(IdentifyRequest);
            QCOMPARE(client.readFor(WithinRestart), std::string());
            QVERIFY(sim.waitForMode(DeviceMode::Command, 1000ms));
            QCOMPARE(client.identify(), SimIdent);
            QCOMPARE(sim.received(), write + IdentifyRequest + IdentifyRequest);
            const std::string pinChange = EnqRequest + DefaultPin + "58642";
            QCOMPARE(client.ask(pinChange, 3), std::string(3, char(ACK)));
            QVERIFY(enterLoading(client));
            QCOMPARE(client.ask(record, 1), std::string(1, char(RecordAccepted)));
            sim.setFirmwareVersion("9.99");
        }
        ZuvexSim again(options);
        QCOMPARE(again.image(), image);
        QCOMPARE(again.pin(), std::string("8642"));
        QCOMPARE(again.firmwareVersion(), std::string("9.99"));
        QCOMPARE(again.lastFirmware(), firmwareOf(record));
        again.start();
        QCOMPARE(SimClient(again.portPath()).ask(ReadRequest, ImageBlockSize), imageBlock(image));
    }

    // Line noise, with a chance firmware handshake in it, leaves the state file as it was; the
    // device answers again once it is over, and only the latest traffic is kept.
    void noiseIsNotKept() {
        cleanup();
        const QString state = home.path("state-noise");
        SimOptions options = simOptions(FixturePort, RestartMs, LoadIdleMs);
        options.statePath = state.toStdString();
        QVERIFY(startWithClient(options));
        const QByteArray stateBefore = fileBytes(state);
        // records of 0xFFFF bytes: more than the flash holds, and the last one cut off
        const std::string records(2 * TrafficKept, '\xFF');
        QVERIFY(client->send(LoadRequest + char(LinkProtocol::LoadConfirm) + records));
        QVERIFY(sim->waitForMode(DeviceMode::Command, NoiseOverWait));
        client->readFor(Silence); // the replies to the noise
        QCOMPARE(client->identify(), SimIdent);
        QCOMPARE(fileBytes(state), stateBefore);
        QCOMPARE(sim->traffic().size(), TrafficKept);
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

    // The log lines go to the sink given; cleared traffic counts from nothing again.
    void logSinkAndClearedTraffic() {
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
        QCOMPARE(SimClient(sim.portPath()).identify(), SimIdent);
        sim.clearTraffic();
        QVERIFY(sim.traffic().empty());
        QVERIFY(!sim.waitForReceived(1, 100ms));
        sim.stop();
        std::lock_guard lock(m);
        QVERIFY(log.find("-> 5A 75 76 65 78 20 39 31 30 6B 0D 0A  \"Zuvex 910k\\r\\n\"") !=
                std::string::npos);
    }

    void programHelpListsOptions() {
        const ProgramRun help = runProgram(ZUVEX_SIM_EXE, {"--help"}, home.root());
        QCOMPARE(help.exitStatus, 0);
        for (const char* option : {"--port", "--state", "--log", "--pacing", "--silent",
                                   "--write-fault", "--reject-record", "--hang-up-after"})
            QVERIFY2(help.out.contains(option), option);
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
        QCOMPARE(runProgram(ZUVEX_SIM_EXE, args, home.root()).exitStatus, BadUsage);
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
        // The default state file keeps the version for the next run.
        QFile state(home.configDir() + "/sim-state-COM7");
        QVERIFY(state.open(QIODevice::ReadOnly));
        QVERIFY(state.readAll().contains("version=1.2A\n"));
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
