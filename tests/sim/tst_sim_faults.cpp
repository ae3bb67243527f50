// Each injected fault does what it says, and only that.
#include "SimClient.h"
#include "SimStart.h"
#include "tools/SimState.h"

#include <QtTest>
#include <functional>

using namespace zuvexsim;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;
using SimAction = std::function<void(ZuvexSim&, SimClient&)>;
// Requests and the exact replies they get; an empty reply: nothing comes for a while.
using Talk = std::vector<std::pair<std::string, std::string>>;

std::chrono::milliseconds since(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t);
}

const std::string Enq = bytes({0x05});
const std::string RecordA = bytes({0x00, 0x03, 0x41, 0x42, 0x43});
const std::string RecordB = bytes({0x00, 0x01, 0x44});

} // namespace

Q_DECLARE_METATYPE(zuvexsim::AckFault::Kind)
Q_DECLARE_METATYPE(SimAction)
Q_DECLARE_METATYPE(Talk)

class TestSimFaults : public QObject, SimFixture {
    Q_OBJECT

private slots:
    void init() { QVERIFY(startWithClient(simOptions(3, 100, 500))); }
    void cleanup() { stopAll(); }

    void conversation_data() {
        QTest::addColumn<SimAction>("fault");
        QTest::addColumn<bool>("loading"); // the firmware handshake comes first
        QTest::addColumn<Talk>("talk");
        QTest::addColumn<SimAction>("after");
        const SimAction none = [](ZuvexSim&, SimClient&) {};
        const SimAction inCommandMode = [](ZuvexSim& sim, SimClient&) {
            QCOMPARE(sim.mode(), DeviceMode::Command);
        };
        QTest::newRow("silent: records, never answers")
            << SimAction([](ZuvexSim& sim, SimClient&) { sim.setSilent(true); }) << false
            << Talk{{"T\rR0000,3c\r", ""}} << SimAction([](ZuvexSim& sim, SimClient& client) {
                   QCOMPARE(sim.received(), std::string("T\rR0000,3c\r"));
                   sim.setSilent(false);
                   QCOMPARE(client.ask("T\r", 12), SimIdent);
               });
        QTest::newRow("other identification") << SimAction([](ZuvexSim& sim, SimClient&) {
            sim.setIdentification(std::string("Zuvex\0 910k", 11));
        }) << false << Talk{{"T\r", std::string("Zuvex\0 910k\r\n", 13)}}
                                              << none;
        const ConfigImage factory = factoryImage();
        QTest::newRow("corrupt read checksum")
            << SimAction([](ZuvexSim& sim, SimClient&) { sim.setCorruptReadChecksum(true); })
            << false << Talk{{"R0000,3c\r", std::string(factory.begin(), factory.end()) + "\xA4"}}
            << none;
        // aimed at the identification only, not at the version line
        QTest::newRow("stray bytes around a reply")
            << SimAction([](ZuvexSim& sim, SimClient&) {
                   sim.setStrayBytes(bytes({0x00, 0xFF}), "\r\n",
                                     static_cast<unsigned>(ReplyKind::Identification));
               })
            << false
            << Talk{{"T\r", bytes({0x00, 0xFF}) + SimIdent + "\r\n"},
                    {"V\r", std::string(DefaultFirmwareVersion) + "\r\n"},
                    {"", ""}}
            << none;
        QTest::newRow("stray bytes between records") << SimAction([](ZuvexSim& sim, SimClient&) {
            sim.setStrayBytes("", "xy", static_cast<unsigned>(ReplyKind::RecordAck));
        }) << true << Talk{{RecordB, bytes({0x11}) + "xy"}}
                                                     << none;
        QTest::newRow("rejected record")
            << SimAction([](ZuvexSim& sim, SimClient&) { sim.setRecordRejection(1, 2); }) << true
            << Talk{{RecordA, "\x11"}, {RecordB, "\x15"}, {RecordB, "\x15"}, {RecordB, "\x11"}}
            << SimAction([](ZuvexSim& sim, SimClient&) {
                   QVERIFY(sim.waitForMode(DeviceMode::Restarting, 2000ms));
                   const std::string all = RecordA + RecordB;
                   QCOMPARE(sim.lastFirmware(), std::vector<std::uint8_t>(all.begin(), all.end()));
               });
        // nothing accepted: no firmware recorded
        QTest::newRow("silent record")
            << SimAction([](ZuvexSim& sim, SimClient&) { sim.setSilentRecord(0); }) << true
            << Talk{{RecordB, ""}} << SimAction([](ZuvexSim& sim, SimClient&) {
                   QVERIFY(sim.waitForMode(DeviceMode::Command, 2000ms));
                   QVERIFY(sim.lastFirmware().empty());
               });
        QTest::newRow("never sends L")
            << SimAction([](ZuvexSim& sim, SimClient&) { sim.setNeverSendL(true); }) << false
            << Talk{{"U\r", ">"}, {"<", ""}} << inCommandMode;
        QTest::newRow("PIN change: other byte instead of the last ACK")
            << SimAction([](ZuvexSim& sim, SimClient&) {
                   sim.setPinFault({AckFault::Kind::Other, 2, 0x3F, 0});
               })
            << false << Talk{{Enq + "0000", bytes({0x06, 0x06})}, {"51234", "?"}}
            << SimAction(
                   [](ZuvexSim& sim, SimClient&) { QCOMPARE(sim.pin(), std::string(DefaultPin)); });
        QTest::newRow("PIN change: silent at ENQ") << SimAction([](ZuvexSim& sim, SimClient&) {
            sim.setPinFault({AckFault::Kind::Silent, 0, 0x00, 0});
        }) << false << Talk{{Enq, ""}} << inCommandMode;
    }
    void conversation() {
        QFETCH(SimAction, fault);
        QFETCH(bool, loading);
        QFETCH(Talk, talk);
        QFETCH(SimAction, after);
        fault(*sim, *client);
        if (loading)
            QVERIFY(client->enterLoading());
        for (const auto& [request, reply] : talk) {
            client->send(request);
            if (reply.empty())
                QCOMPARE(client->readFor(300ms), std::string());
            else
                QCOMPARE(client->read(reply.size(), 1000ms), reply);
        }
        after(*sim, *client);
    }

    void writeFault_data() {
        QTest::addColumn<AckFault::Kind>("kind");
        QTest::addColumn<int>("at");
        QTest::addColumn<QByteArray>("tail"); // what comes instead of the ACK at `at`
        QTest::newRow("NAK at command") << AckFault::Kind::Nak << -1 << QByteArray("\x15");
        QTest::newRow("NAK at byte 0") << AckFault::Kind::Nak << 0 << QByteArray("\x15");
        QTest::newRow("NAK at byte 30") << AckFault::Kind::Nak << 30 << QByteArray("\x15");
        QTest::newRow("NAK at byte 59") << AckFault::Kind::Nak << 59 << QByteArray("\x15");
        QTest::newRow("NAK at checksum") << AckFault::Kind::Nak << 60 << QByteArray("\x15");
        QTest::newRow("silent at byte 30") << AckFault::Kind::Silent << 30 << QByteArray();
        QTest::newRow("silent at checksum") << AckFault::Kind::Silent << 60 << QByteArray();
        QTest::newRow("other at byte 12") << AckFault::Kind::Other << 12 << QByteArray("\x07");
    }
    void writeFault() {
        QFETCH(AckFault::Kind, kind);
        QFETCH(int, at);
        QFETCH(QByteArray, tail);
        sim->setWriteFault({kind, at, 0x07, 0});
        ConfigImage image{};
        image.fill(0x42);
        const ConfigImage before = sim->image();
        const std::string replies = writeImageStepwise(*client, image, imageChecksum(image));
        QCOMPARE(replies,
                 std::string(static_cast<std::size_t>(at + 1), '\x06') + tail.toStdString());
        QCOMPARE(sim->image(), before);
        QVERIFY(sim->waitForMode(DeviceMode::Command, 500ms));
        QCOMPARE(client->ask("T\r", 12), SimIdent); // ready for the next command
    }

    void lateChecksumAckStillStores() {
        sim->setWriteFault({AckFault::Kind::Late, WriteChecksumStep, 0x00, 400});
        ConfigImage image{};
        image.fill(0x11);
        QCOMPARE(client->ask("W0000,3c\r" + std::string(image.begin(), image.end()), 61),
                 std::string(61, '\x06'));
        const auto t = Clock::now();
        QCOMPARE(client->ask(std::string(1, static_cast<char>(imageChecksum(image))), 1, 2000ms),
                 bytes({0x06}));
        QVERIFY(since(t) >= 400ms);
        QCOMPARE(sim->image(), image);
    }

    void ackDelay() {
        sim->setAckDelay(250);
        auto t = Clock::now();
        QCOMPARE(client->ask("W0000,3c\r", 1), bytes({0x06}));
        QVERIFY(since(t) >= 250ms);
        t = Clock::now();
        // delays only acknowledgements: byte 0 of the write is 'T'
        QCOMPARE(client->ask("T\r", 1), bytes({0x06}));
        QVERIFY(since(t) >= 250ms);
    }

    void chunkedReply() {
        sim->setChunking(4, 120);
        QCOMPARE(client->ask("T\r", 12, 2000ms), SimIdent);
        std::vector<Clock::time_point> times;
        for (const WireByte& b : sim->traffic())
            if (!b.received)
                times.push_back(b.at);
        QCOMPARE(times.size(), std::size_t(12));
        for (std::size_t i = 4; i < times.size(); i += 4)
            QVERIFY(times[i] - times[i - 1] >= 120ms);
        QVERIFY(times[3] - times[0] < 120ms);
    }

    void hangUpAfterBytes() {
        sim->setHangUpAfter(5);
        QCOMPARE(client->ask("T\r", 12), SimIdent);
        client->send("R0000,3c\r");
        QVERIFY(client->waitHangUp(1000ms));
        QVERIFY(sim->hungUp());
        QCOMPARE(sim->received(), std::string("T\rR00"));
        QCOMPARE(sim->sent(), SimIdent);
    }

    void pacingKeepsLineSpeed() {
        sim->setPacing(true);
        QCOMPARE(client->ask("R0000,3c\r", 61, 2000ms).size(), std::size_t(61));
        std::vector<Clock::time_point> rx, tx;
        for (const WireByte& b : sim->traffic())
            (b.received ? rx : tx).push_back(b.at);
        QCOMPARE(tx.size(), std::size_t(61));
        // The request needs 9 byte times on the line before the device can answer, and
        // reply byte i has fully arrived only i + 1 byte times after that.
        for (std::size_t i = 0; i < tx.size(); ++i)
            QVERIFY(tx[i] - rx[0] >= static_cast<int>(10 + i) * 174us);
    }
};

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_sim_faults.moc"
