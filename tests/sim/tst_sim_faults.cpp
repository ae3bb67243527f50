// Each injected fault does what it says, and only that.
#include "SimClient.h"
#include "SimStart.h"
#include "TestHome.h"
#include "tools/SimState.h"

#include <QtTest>
#include <memory>

using namespace zuvexsim;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(zuvexsim::AckFault::Kind)

namespace {

const std::string Ident = "Zuvex 910k\r\n";
using Clock = std::chrono::steady_clock;

std::chrono::milliseconds since(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t);
}

} // namespace

class TestSimFaults : public QObject, SimFixture {
    Q_OBJECT

    // Sends a write of `image` step by step; stops at the first reply that is not ACK.
    std::string write(const ConfigImage& image) {
        std::string replies;
        auto step = [&](const std::string& out) {
            client->send(out);
            const std::string r = client->read(1, 700ms);
            replies += r;
            return r == bytes({0x06});
        };
        if (!step("W0000,3c\r"))
            return replies;
        for (std::uint8_t b : image)
            if (!step(std::string(1, static_cast<char>(b))))
                return replies;
        step(std::string(1, static_cast<char>(imageChecksum(image))));
        return replies;
    }

    void enterLoading() {
        client->send("U\r");
        QCOMPARE(client->read(1, 1000ms), std::string(">"));
        client->send("<");
        QCOMPARE(client->read(1, 1000ms), std::string("L"));
    }

private slots:
    void init() { QVERIFY(startWithClient(simOptions(3, 100, 500))); }
    void cleanup() { stopAll(); }

    void silentRecordsButNeverAnswers() {
        sim->setSilent(true);
        client->send("T\r");
        client->send("R0000,3c\r");
        QCOMPARE(client->readFor(300ms), std::string());
        QCOMPARE(sim->received(), std::string("T\rR0000,3c\r"));
        sim->setSilent(false);
        client->send("T\r");
        QCOMPARE(client->read(12, 1000ms), Ident);
    }

    void otherIdentification() {
        sim->setIdentification(std::string("Zuvex\0 910k", 11));
        client->send("T\r");
        QCOMPARE(client->read(13, 1000ms), std::string("Zuvex\0 910k\r\n", 13));
    }

    void corruptReadChecksum() {
        sim->setCorruptReadChecksum(true);
        client->send("R0000,3c\r");
        const std::string block = client->read(61, 1000ms);
        QCOMPARE(block.size(), std::size_t(61));
        QCOMPARE(static_cast<std::uint8_t>(block[60]), std::uint8_t(0xA4));
        const ConfigImage factory = factoryImage();
        QCOMPARE(block.substr(0, 60), std::string(factory.begin(), factory.end()));
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
        const std::string replies = write(image);
        QCOMPARE(replies,
                 std::string(static_cast<std::size_t>(at + 1), '\x06') + tail.toStdString());
        QCOMPARE(sim->image(), before);
        QVERIFY(sim->waitForMode(DeviceMode::Command, 500ms));
        client->send("T\r"); // the device is ready for the next command
        QCOMPARE(client->read(12, 1000ms), Ident);
    }

    void lateChecksumAckStillStores() {
        sim->setWriteFault({AckFault::Kind::Late, WriteChecksumStep, 0x00, 400});
        ConfigImage image{};
        image.fill(0x11);
        client->send("W0000,3c\r");
        QCOMPARE(client->read(1, 1000ms), bytes({0x06}));
        for (std::uint8_t b : image) {
            client->send(std::string(1, static_cast<char>(b)));
            QCOMPARE(client->read(1, 1000ms), bytes({0x06}));
        }
        const auto t = Clock::now();
        client->send(std::string(1, static_cast<char>(imageChecksum(image))));
        QCOMPARE(client->read(1, 2000ms), bytes({0x06}));
        QVERIFY(since(t) >= 400ms);
        QCOMPARE(sim->image(), image);
    }

    void ackDelay() {
        sim->setAckDelay(250);
        auto t = Clock::now();
        client->send("W0000,3c\r");
        QCOMPARE(client->read(1, 1000ms), bytes({0x06}));
        QVERIFY(since(t) >= 250ms);
        t = Clock::now();
        client->send("T\r"); // delays only acknowledgements: byte 0 of the write is 'T'
        QCOMPARE(client->read(1, 1000ms), bytes({0x06}));
        QVERIFY(since(t) >= 250ms);
    }

    void chunkedReply() {
        sim->setChunking(4, 120);
        client->send("T\r");
        QCOMPARE(client->read(12, 2000ms), Ident);
        std::vector<Clock::time_point> times;
        for (const WireByte& b : sim->traffic())
            if (!b.received)
                times.push_back(b.at);
        QCOMPARE(times.size(), std::size_t(12));
        for (std::size_t i = 4; i < times.size(); i += 4)
            QVERIFY(times[i] - times[i - 1] >= 120ms);
        QVERIFY(times[3] - times[0] < 120ms);
    }

    void strayBytes() {
        sim->setStrayBytes(bytes({0x00, 0xFF}), "\r\n",
                           static_cast<unsigned>(ReplyKind::Identification));
        client->send("T\r");
        QCOMPARE(client->read(16, 1000ms), bytes({0x00, 0xFF}) + Ident + "\r\n");
        client->send("V\r"); // not aimed at the version line
        QCOMPARE(client->read(6, 1000ms), std::string(DefaultFirmwareVersion) + "\r\n");
        QCOMPARE(client->readFor(100ms), std::string());
    }

    void strayBytesBetweenRecords() {
        enterLoading();
        sim->setStrayBytes("", "xy", static_cast<unsigned>(ReplyKind::RecordAck));
        client->send(bytes({0x00, 0x01, 0x44}));
        QCOMPARE(client->read(3, 1000ms), bytes({0x11}) + "xy");
    }

    void rejectedRecord() {
        sim->setRecordRejection(1, 2);
        enterLoading();
        const std::string first = bytes({0x00, 0x03, 0x41, 0x42, 0x43});
        const std::string second = bytes({0x00, 0x01, 0x44});
        std::string replies;
        for (const std::string& record : {first, second, second, second}) {
            client->send(record);
            replies += client->read(1, 1000ms);
        }
        QCOMPARE(replies, bytes({0x11, 0x15, 0x15, 0x11}));
        QVERIFY(sim->waitForMode(DeviceMode::Restarting, 2000ms));
        const std::string all = first + second;
        QCOMPARE(sim->lastFirmware(), std::vector<std::uint8_t>(all.begin(), all.end()));
    }

    void silentRecord() {
        sim->setSilentRecord(0);
        enterLoading();
        client->send(bytes({0x00, 0x01, 0x44}));
        QCOMPARE(client->readFor(300ms), std::string());
        QVERIFY(sim->waitForMode(DeviceMode::Command, 2000ms));
        QVERIFY(sim->lastFirmware().empty()); // nothing accepted: no firmware recorded
    }

    void neverSendL() {
        sim->setNeverSendL(true);
        client->send("U\r");
        QCOMPARE(client->read(1, 1000ms), std::string(">"));
        client->send("<");
        QCOMPARE(client->readFor(300ms), std::string());
        QCOMPARE(sim->mode(), DeviceMode::Command);
    }

    void pinFaultOtherByte() {
        sim->setPinFault({AckFault::Kind::Other, 2, 0x3F, 0});
        client->send(bytes({0x05}) + "0000");
        QCOMPARE(client->read(2, 1000ms), bytes({0x06, 0x06}));
        client->send("51234");
        QCOMPARE(client->read(1, 1000ms), std::string("?"));
        QCOMPARE(sim->pin(), std::string(DefaultPin));
    }

    void pinFaultSilentAtEnq() {
        sim->setPinFault({AckFault::Kind::Silent, 0, 0x00, 0});
        client->send(bytes({0x05}));
        QCOMPARE(client->readFor(200ms), std::string());
        QCOMPARE(sim->mode(), DeviceMode::Command);
    }

    void hangUpAfterBytes() {
        sim->setHangUpAfter(5);
        client->send("T\r");
        QCOMPARE(client->read(12, 1000ms), Ident);
        client->send("R0000,3c\r");
        QVERIFY(client->waitHangUp(1000ms));
        QVERIFY(sim->hungUp());
        QCOMPARE(sim->received(), std::string("T\rR00"));
        QCOMPARE(sim->sent(), Ident);
    }

    void pacingKeepsLineSpeed() {
        sim->setPacing(true);
        client->send("R0000,3c\r");
        QCOMPARE(client->read(61, 2000ms).size(), std::size_t(61));
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
