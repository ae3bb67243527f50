// The simulator answers each request of the protocol as the telephone system does, and each
// injected fault does what it says, and only that.
#include "SimClient.h"
#include "SimStart.h"
#include "link/FirmwareFile.h"
#include "tools/SimState.h"

#include <QtTest>

using namespace zuvexsim;
using namespace std::chrono_literals;
using LinkProtocol::ImageBlockSize;

namespace {

using Clock = std::chrono::steady_clock;
using SimAction = std::function<void(ZuvexSim&, SimClient&)>;
// Requests and the exact replies they get; an empty reply: nothing comes for a while.
using Talk = std::vector<std::pair<std::string, std::string>>;

constexpr int RestartMs = 300;
constexpr int LoadIdleMs = 500;
constexpr auto WithinRestart = 150ms;
constexpr std::uint8_t FactoryChecksum = 0xA3;
constexpr std::uint8_t FactoryPermission = BerechtBit::vab | BerechtBit::tb | BerechtBit::arb;
constexpr std::uint8_t AllPortsRing = 0x0F;
constexpr int LastTasteRuf = ImageOffset::TasteRuf + 3; // bell button 4
constexpr std::uint8_t ChecksumRight = 0;
constexpr std::uint8_t ChecksumOffByOne = 1;
constexpr auto Silence = 300ms;
constexpr auto ReplyWait = 1000ms;

std::chrono::milliseconds since(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t);
}

std::string imageBlock(const ConfigImage& image) {
    return imageBytes(image) + char(imageChecksum(image));
}

ConfigImage filledImage(std::uint8_t value) {
    ConfigImage image{};
    image.fill(value);
    return image;
}

const std::string RecordA = bytes({0x00, 0x03, 0x41, 0x42, 0x43});
const std::string RecordB = bytes({0x00, 0x01, 0x44});
const std::string AckReply = bytes({ACK});
const std::string NakReply = bytes({NAK});
const std::string RecordAck = bytes({RecordAccepted});

std::vector<std::uint8_t> firmwareOf(const std::string& records) {
    return {records.begin(), records.end()};
}

constexpr auto IdentOnly = static_cast<unsigned>(ReplyKind::Identification);
constexpr auto RecordAckOnly = static_cast<unsigned>(ReplyKind::RecordAck);

// The device with the faults `set` switches on.
SimAction withFaults(const std::function<void(SimFaults&)>& set) {
    SimFaults faults;
    set(faults);
    return [faults](ZuvexSim& sim, SimClient&) { sim.setFaults(faults); };
}
const SimAction nothing = [](ZuvexSim&, SimClient&) {};
const SimAction inCommandMode = [](ZuvexSim& sim, SimClient&) {
    QCOMPARE(sim.mode(), DeviceMode::Command);
};
// After a PIN exchange: the PIN the device keeps, and it takes ordinary commands again.
SimAction pinAfterwards(const std::string& pin) {
    return [pin](ZuvexSim& sim, SimClient& client) {
        QCOMPARE(sim.pin(), pin);
        QCOMPARE(sim.mode(), DeviceMode::Command);
        QCOMPARE(client.identify(), SimIdent);
    };
}

} // namespace

Q_DECLARE_METATYPE(zuvexsim::AckFault::Kind)
Q_DECLARE_METATYPE(SimAction)
Q_DECLARE_METATYPE(Talk)

class TestSimProtocol : public QObject, SimFixture {
    Q_OBJECT

    void startSim(SimOptions options) {
        options.restartMs = RestartMs;
        options.loadIdleMs = LoadIdleMs;
        QVERIFY(startWithClient(options));
    }

private slots:
    void init() { startSim({}); }
    void cleanup() { stopAll(); }

    // `arrange` sets the device up, the requests get their replies, `after` checks the device.
    void conversation_data() {
        QTest::addColumn<SimAction>("arrange");
        QTest::addColumn<bool>("loading"); // the firmware handshake comes first
        QTest::addColumn<Talk>("talk");
        QTest::addColumn<SimAction>("after");
        const std::string version = std::string(DefaultFirmwareVersion) + "\r\n";
        QTest::newRow("version line set")
            << SimAction([](ZuvexSim& sim, SimClient&) { sim.setFirmwareVersion("3.01 beta"); })
            << false << Talk{{VersionRequest, "3.01 beta\r\n"}} << nothing;
        QTest::newRow("empty version line")
            << SimAction([](ZuvexSim& sim, SimClient&) { sim.setFirmwareVersion(""); }) << false
            << Talk{{VersionRequest, "\r\n"}} << nothing;
        QTest::newRow("factory image")
            << nothing << false
            << Talk{{ReadRequest, imageBytes(factoryImage()) + char(FactoryChecksum)}, {"", ""}}
            << SimAction([](ZuvexSim& sim, SimClient&) {
                   QCOMPARE(std::uint8_t(sim.sent()[ImageOffset::Berecht]), FactoryPermission);
                   QCOMPARE(std::uint8_t(sim.sent()[LastTasteRuf]), AllPortsRing);
               });
        QTest::newRow("PIN accepted")
            << nothing << false
            << Talk{{EnqRequest, AckReply}, {DefaultPin, AckReply}, {"54711", AckReply}}
            << pinAfterwards("4711");
        QTest::newRow("PIN: message without 5")
            << nothing << false
            << Talk{{EnqRequest, AckReply}, {DefaultPin, AckReply}, {"64711", NakReply}}
            << pinAfterwards(DefaultPin);
        QTest::newRow("PIN: new PIN not digits")
            << nothing << false
            << Talk{{EnqRequest, AckReply}, {DefaultPin, AckReply}, {"547a1", NakReply}}
            << pinAfterwards(DefaultPin);
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
                   QCOMPARE(sim.received(), IdentifyRequest + ReadRequest);
                   sim.setSilent(false);
                   QCOMPARE(client.identify(), SimIdent);
               });
        // aimed at the identification only, not at the version line
        const std::string stray = bytes({0x00, 0xFF});
        QTest::newRow("stray bytes around a reply")
            << withFaults([stray](SimFaults& f) {
                   f.strayBefore = stray;
                   f.strayAfter = "\r\n";
                   f.strayOn = IdentOnly;
               })
            << false
            << Talk{{IdentifyRequest, stray + SimIdent + "\r\n"},
                    {VersionRequest, version},
                    {"", ""}}
            << nothing;
        QTest::newRow("stray bytes between records") << withFaults([](SimFaults& f) {
            f.strayAfter = "xy";
            f.strayOn = RecordAckOnly;
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
    }
    void conversation() {
        QFETCH(SimAction, arrange);
        QFETCH(bool, loading);
        QFETCH(Talk, talk);
        QFETCH(SimAction, after);
        arrange(*sim, *client);
        if (loading)
            QVERIFY(client->enterLoading());
        for (const auto& [request, reply] : talk) {
            client->send(request);
            if (reply.empty())
                QCOMPARE(client->readFor(Silence), std::string());
            else
                QCOMPARE(client->read(reply.size(), ReplyWait), reply);
        }
        after(*sim, *client);
    }

    // A write that fails keeps the image, and the device takes the next command.
    void failedWrite_data() {
        QTest::addColumn<AckFault::Kind>("kind");
        QTest::addColumn<int>("at");
        QTest::addColumn<std::uint8_t>("checksumError");
        QTest::addColumn<QByteArray>("tail"); // what comes instead of the ACK at `at`
        QTest::newRow("silent at byte 30")
            << AckFault::Kind::Silent << 30 << ChecksumRight << QByteArray();
        QTest::newRow("wrong checksum") << AckFault::Kind::None << WriteChecksumStep
                                        << ChecksumOffByOne << QByteArray(1, char(NAK));
    }
    void failedWrite() {
        QFETCH(AckFault::Kind, kind);
        QFETCH(int, at);
        QFETCH(std::uint8_t, checksumError);
        QFETCH(QByteArray, tail);
        sim->setWriteFault({kind, at, 0x00, 0});
        const ConfigImage image = filledImage(0x42);
        const ConfigImage before = sim->image();
        const std::string replies =
            writeImageStepwise(*client, image, imageChecksum(image) + checksumError);
        QCOMPARE(replies, std::string(std::size_t(at + 1), char(ACK)) + tail.toStdString());
        QCOMPARE(sim->image(), before);
        QVERIFY(sim->waitForMode(DeviceMode::Command, 500ms));
        QCOMPARE(client->identify(), SimIdent);
    }

    void goodWriteStoresImageAndRestarts() {
        const ConfigImage image = filledImage(0x42);
        QCOMPARE(writeImageStepwise(*client, image, imageChecksum(image)),
                 std::string(ImageBlockSize + 1, char(ACK)));
        QCOMPARE(sim->mode(), DeviceMode::Restarting);
        // While restarting it neither answers nor remembers what it got.
        client->send(IdentifyRequest);
        QCOMPARE(client->readFor(WithinRestart), std::string());
        QVERIFY(sim->waitForMode(DeviceMode::Command, 1000ms));
        QCOMPARE(client->identify(), SimIdent);
        QCOMPARE(client->ask(ReadRequest, ImageBlockSize), imageBlock(image));
        QCOMPARE(sim->received(), WriteRequest + imageBlock(image) + IdentifyRequest +
                                      IdentifyRequest + ReadRequest);
    }

    void abandonedWriteIsDropped() {
        cleanup();
        SimOptions options;
        options.exchangeIdleMs = 200;
        startSim(options);
        const ConfigImage before = sim->image();
        QCOMPARE(client->ask(WriteRequest + std::string(10, '\x01'), 11),
                 std::string(11, char(ACK)));
        QVERIFY(sim->waitForMode(DeviceMode::Command, 2000ms));
        QCOMPARE(client->identify(), SimIdent);
        QCOMPARE(sim->image(), before);
    }

    // Records sent one at a time, each acknowledged; after a pause without records the device
    // restarts, keeps what it got and identifies itself again.
    void firmwareLoad() {
        TParsedFirmware sample;
        QVERIFY(ReadFirmwareFile(
            qEnvironmentVariable("ZUVEX_SOURCE_DIR") + "/tools/sample-firmware.zfw", sample));
        const std::string bytes(sample.bytes.begin(), sample.bytes.end());
        std::vector<TFirmwareRecord> records;
        QVERIFY(SplitFirmwareRecords(firmwareOf(bytes), records)); // whole records only
        QVERIFY(records.size() >= 2);
        QVERIFY(client->enterLoading());
        QCOMPARE(sim->mode(), DeviceMode::Loading);
        for (const TFirmwareRecord& record : records)
            QCOMPARE(client->ask(bytes.substr(record.offset, record.size), 1), RecordAck);
        QVERIFY(sim->waitForMode(DeviceMode::Restarting, 3000ms));
        QVERIFY(sim->waitForMode(DeviceMode::Command, 2000ms));
        QCOMPARE(sim->lastFirmware(), firmwareOf(bytes));
        QCOMPARE(client->identify(), SimIdent);
    }

    void ackDelay() {
        constexpr int DelayMs = 250;
        sim->setAckDelay(DelayMs);
        auto t = Clock::now();
        QCOMPARE(client->ask(WriteRequest, 1), AckReply);
        QVERIFY(since(t).count() >= DelayMs);
        t = Clock::now();
        // delays only acknowledgements: byte 0 of the write is 'T'
        QCOMPARE(client->ask(IdentifyRequest, 1), AckReply);
        QVERIFY(since(t).count() >= DelayMs);
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
        // The request needs its byte times on the line before the device can answer, and
        // reply byte i has fully arrived only i + 1 byte times after that.
        for (std::size_t i = 0; i < tx.size(); ++i)
            QVERIFY(tx[i] - rx[0] >= int(ReadRequest.size() + 1 + i) * ByteTime);
    }
};

QTEST_GUILESS_MAIN(TestSimProtocol)
#include "tst_sim_protocol.moc"
