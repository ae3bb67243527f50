// The simulator answers each request of the protocol as the telephone system does.
#include "SimClient.h"
#include "SimStart.h"
#include "TestHome.h"
#include "tools/SimState.h"

#include <QFile>
#include <QtTest>
#include <memory>

using namespace zuvexsim;
using namespace std::chrono_literals;

namespace {

const std::string Ack = bytes({0x06});
const std::string Nak = bytes({0x15});

std::string imageBlock(const ConfigImage& image) {
    return std::string(image.begin(), image.end()) + static_cast<char>(imageChecksum(image));
}

ConfigImage sampleImage() {
    ConfigImage image{};
    for (int i = 0; i < ConfigImageSize; ++i)
        image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return image;
}

} // namespace

class TestSimProtocol : public QObject, SimFixture {
    Q_OBJECT

    void startSim(SimOptions options = {}) {
        options.restartMs = 300;
        QVERIFY(startWithClient(options));
    }

    // Runs a full write of `image` with `checksum`; returns every reply byte in order.
    std::string writeImage(const ConfigImage& image, std::uint8_t checksum) {
        std::string replies;
        client->send("W0000,3c\r");
        replies += client->read(1, 1000ms);
        for (std::uint8_t b : image) {
            client->send(std::string(1, static_cast<char>(b)));
            replies += client->read(1, 1000ms);
        }
        client->send(std::string(1, static_cast<char>(checksum)));
        replies += client->read(1, 1000ms);
        return replies;
    }

private slots:
    void init() { startSim(); }
    void cleanup() { stopAll(); }

    void identificationAndVersion() {
        client->send("T\r");
        QCOMPARE(client->read(12, 1000ms), std::string("Zuvex 910k\r\n"));
        client->send("V\r");
        QCOMPARE(client->read(6, 1000ms), std::string(DefaultFirmwareVersion) + "\r\n");
        sim->setFirmwareVersion("3.01 beta");
        client->send("V\r");
        QCOMPARE(client->read(11, 1000ms), std::string("3.01 beta\r\n"));
        sim->setFirmwareVersion("");
        client->send("V\r");
        QCOMPARE(client->read(2, 1000ms), std::string("\r\n"));
    }

    void readFactoryImage() {
        client->send("R0000,3c\r");
        const std::string block = client->read(61, 1000ms);
        QCOMPARE(block.size(), std::size_t(61));
        QCOMPARE(block, imageBlock(factoryImage()));
        QCOMPARE(static_cast<std::uint8_t>(block[60]), std::uint8_t(0xA3));
        QCOMPARE(static_cast<std::uint8_t>(block[4]), std::uint8_t(0x19));
        QCOMPARE(static_cast<std::uint8_t>(block[11]), std::uint8_t(0x0F));
        QCOMPARE(client->readFor(100ms), std::string()); // nothing after the block
    }

    void readReturnsStoredImage() {
        ConfigImage all{};
        all.fill(0xFF);
        sim->setImage(all);
        client->send("R0000,3c\r");
        const std::string block = client->read(61, 1000ms);
        QCOMPARE(block, imageBlock(all));
        QCOMPARE(static_cast<std::uint8_t>(block[60]), std::uint8_t(0xC4));
    }

    void goodWriteStoresImageAndRestarts() {
        const ConfigImage image = sampleImage();
        const std::string replies = writeImage(image, imageChecksum(image));
        QCOMPARE(replies, std::string(62, '\x06'));
        QCOMPARE(sim->image(), image);
        QCOMPARE(sim->mode(), DeviceMode::Restarting);
        // While restarting it neither answers nor remembers what it got.
        client->send("T\r");
        QCOMPARE(client->readFor(150ms), std::string());
        QVERIFY(sim->waitForMode(DeviceMode::Command, 1000ms));
        client->send("T\r");
        QCOMPARE(client->read(12, 1000ms), std::string("Zuvex 910k\r\n"));
        client->send("R0000,3c\r");
        QCOMPARE(client->read(61, 1000ms), imageBlock(image));
        // Exactly what went over the line, in order.
        std::string expected = "W0000,3c\r" + std::string(image.begin(), image.end());
        expected += static_cast<char>(imageChecksum(image));
        expected += "T\rT\rR0000,3c\r";
        QCOMPARE(sim->received(), expected);
    }

    void writeWithWrongChecksumKeepsImage() {
        const ConfigImage before = sim->image();
        const ConfigImage image = sampleImage();
        const std::string replies = writeImage(image, imageChecksum(image) + 1);
        QCOMPARE(replies, std::string(61, '\x06') + Nak);
        QCOMPARE(sim->image(), before);
        QCOMPARE(sim->mode(), DeviceMode::Command);
        client->send("T\r"); // no restart after a rejected write
        QCOMPARE(client->read(12, 1000ms), std::string("Zuvex 910k\r\n"));
    }

    void abandonedWriteIsDropped() {
        cleanup();
        SimOptions options;
        options.exchangeIdleMs = 200;
        startSim(options);
        const ConfigImage before = sim->image();
        client->send("W0000,3c\r");
        QCOMPARE(client->read(1, 1000ms), Ack);
        for (int i = 0; i < 10; ++i) {
            client->send(std::string(1, '\x01'));
            QCOMPARE(client->read(1, 1000ms), Ack);
        }
        QVERIFY(sim->waitForMode(DeviceMode::Command, 2000ms));
        client->send("T\r");
        QCOMPARE(client->read(12, 1000ms), std::string("Zuvex 910k\r\n"));
        QCOMPARE(sim->image(), before);
    }

    void pinChange_data() {
        QTest::addColumn<QByteArray>("oldPin");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("replies");
        QTest::addColumn<QByteArray>("pinAfter");
        QTest::newRow("accepted") << QByteArray("0000") << QByteArray("54711")
                                  << QByteArray("\x06\x06\x06") << QByteArray("4711");
        QTest::newRow("wrong old PIN")
            << QByteArray("1234") << QByteArray() << QByteArray("\x06\x15") << QByteArray("0000");
        QTest::newRow("message without 5") << QByteArray("0000") << QByteArray("64711")
                                           << QByteArray("\x06\x06\x15") << QByteArray("0000");
        QTest::newRow("new PIN not digits") << QByteArray("0000") << QByteArray("547a1")
                                            << QByteArray("\x06\x06\x15") << QByteArray("0000");
    }
    void pinChange() {
        QFETCH(QByteArray, oldPin);
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, replies);
        QFETCH(QByteArray, pinAfter);
        QCOMPARE(sim->pin(), std::string(DefaultPin));
        std::string got;
        client->send(bytes({0x05}));
        got += client->read(1, 1000ms);
        client->send(oldPin.toStdString());
        got += client->read(1, 1000ms);
        if (!message.isEmpty()) {
            client->send(message.toStdString());
            got += client->read(1, 1000ms);
        }
        QCOMPARE(got, replies.toStdString());
        QCOMPARE(sim->pin(), pinAfter.toStdString());
        QCOMPARE(sim->mode(), DeviceMode::Command);
        client->send("T\r"); // back to ordinary commands
        QCOMPARE(client->read(12, 1000ms), std::string("Zuvex 910k\r\n"));
    }

    void firmwareLoad() {
        client->send("U\r");
        QCOMPARE(client->read(1, 1000ms), std::string(">"));
        client->send("<");
        QCOMPARE(client->read(1, 1000ms), std::string("L"));
        QCOMPARE(sim->mode(), DeviceMode::Loading);
        const std::string first = bytes({0x00, 0x03, 0x41, 0x42, 0x43});
        const std::string second = bytes({0x00, 0x01, 0x44});
        client->send(first);
        QCOMPARE(client->read(1, 1000ms), bytes({0x11}));
        client->send(second);
        QCOMPARE(client->read(1, 1000ms), bytes({0x11}));
        // After a pause without records it restarts and identifies itself again.
        QVERIFY(sim->waitForMode(DeviceMode::Restarting, 3000ms));
        QVERIFY(sim->waitForMode(DeviceMode::Command, 2000ms));
        const std::string all = first + second;
        QCOMPARE(sim->lastFirmware(), std::vector<std::uint8_t>(all.begin(), all.end()));
        client->send("T\r");
        QCOMPARE(client->read(12, 1000ms), std::string("Zuvex 910k\r\n"));
    }

    void sampleFirmwareLoadsRecordByRecord() {
        QFile file(qEnvironmentVariable("ZUVEX_SOURCE_DIR") + "/tools/sample-firmware.zfw");
        QVERIFY(file.open(QIODevice::ReadOnly));
        std::string firmware;
        for (const QByteArray& item : file.readAll().simplified().split(' ')) {
            QCOMPARE(item.size(), 2);
            bool ok = false;
            firmware += static_cast<char>(item.toUInt(&ok, 16));
            QVERIFY(ok);
        }
        client->send("U\r");
        QCOMPARE(client->read(1, 1000ms), std::string(">"));
        client->send("<");
        QCOMPARE(client->read(1, 1000ms), std::string("L"));
        std::size_t pos = 0;
        int records = 0;
        while (pos < firmware.size()) {
            QVERIFY(pos + 2 <= firmware.size());
            const std::size_t length = static_cast<std::uint8_t>(firmware[pos]) * 256u +
                                       static_cast<std::uint8_t>(firmware[pos + 1]);
            QVERIFY(pos + 2 + length <= firmware.size()); // whole records only
            client->send(firmware.substr(pos, length + 2));
            QCOMPARE(client->read(1, 1000ms), bytes({0x11}));
            pos += length + 2;
            ++records;
        }
        QVERIFY(records >= 2);
        QVERIFY(sim->waitForMode(DeviceMode::Restarting, 3000ms));
        QCOMPARE(sim->lastFirmware(), std::vector<std::uint8_t>(firmware.begin(), firmware.end()));
    }

    void firmwareHandshakeNeedsPromptFirst() {
        client->send("<");
        QCOMPARE(client->readFor(150ms), std::string());
        QCOMPARE(sim->mode(), DeviceMode::Command);
    }

    void unknownCommandsAreIgnored() {
        client->send("X\r");
        client->send("R0000,3C\r"); // the commands are exact, lower-case hex
        client->send("t\r");
        QCOMPARE(client->readFor(200ms), std::string());
        client->send("T\r\nT\r"); // a LF after the CR does not spoil the next command
        QCOMPARE(client->read(24, 1000ms), std::string("Zuvex 910k\r\nZuvex 910k\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestSimProtocol)
#include "tst_sim_protocol.moc"
