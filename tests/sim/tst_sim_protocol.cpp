// The simulator answers each request of the protocol as the telephone system does.
#include "SimClient.h"
#include "SimStart.h"
#include "tools/SimState.h"

#include <QFile>
#include <QtTest>

using namespace zuvexsim;
using namespace std::chrono_literals;

namespace {

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

private slots:
    void init() { startSim(); }
    void cleanup() { stopAll(); }

    void identificationAndVersion() {
        QCOMPARE(client->ask("T\r", 12), SimIdent);
        QCOMPARE(client->ask("V\r", 6), std::string(DefaultFirmwareVersion) + "\r\n");
        sim->setFirmwareVersion("3.01 beta");
        QCOMPARE(client->ask("V\r", 11), std::string("3.01 beta\r\n"));
        sim->setFirmwareVersion("");
        QCOMPARE(client->ask("V\r", 2), std::string("\r\n"));
    }

    void readImage_data() {
        QTest::addColumn<bool>("factory");
        QTest::addColumn<int>("checksum");
        QTest::newRow("factory image") << true << 0xA3;
        QTest::newRow("stored image") << false << 0xC4;
    }
    void readImage() {
        QFETCH(bool, factory);
        QFETCH(int, checksum);
        ConfigImage image = factoryImage();
        if (!factory) {
            image.fill(0xFF);
            sim->setImage(image);
        }
        const std::string block = client->ask("R0000,3c\r", 61);
        QCOMPARE(block, imageBlock(image));
        QCOMPARE(static_cast<std::uint8_t>(block[60]), std::uint8_t(checksum));
        if (factory) {
            QCOMPARE(static_cast<std::uint8_t>(block[4]), std::uint8_t(0x19));
            QCOMPARE(static_cast<std::uint8_t>(block[11]), std::uint8_t(0x0F));
        }
        QCOMPARE(client->readFor(100ms), std::string()); // nothing after the block
    }

    void goodWriteStoresImageAndRestarts() {
        const ConfigImage image = sampleImage();
        QCOMPARE(writeImageStepwise(*client, image, imageChecksum(image)), std::string(62, '\x06'));
        QCOMPARE(sim->image(), image);
        QCOMPARE(sim->mode(), DeviceMode::Restarting);
        // While restarting it neither answers nor remembers what it got.
        client->send("T\r");
        QCOMPARE(client->readFor(150ms), std::string());
        QVERIFY(sim->waitForMode(DeviceMode::Command, 1000ms));
        QCOMPARE(client->ask("T\r", 12), SimIdent);
        QCOMPARE(client->ask("R0000,3c\r", 61), imageBlock(image));
        // Exactly what went over the line, in order.
        QCOMPARE(sim->received(), "W0000,3c\r" + imageBlock(image) + "T\rT\rR0000,3c\r");
    }

    void writeWithWrongChecksumKeepsImage() {
        const ConfigImage before = sim->image();
        const ConfigImage image = sampleImage();
        QCOMPARE(writeImageStepwise(*client, image, imageChecksum(image) + 1),
                 std::string(61, '\x06') + "\x15");
        QCOMPARE(sim->image(), before);
        QCOMPARE(sim->mode(), DeviceMode::Command);
        QCOMPARE(client->ask("T\r", 12), SimIdent); // no restart after a rejected write
    }

    void abandonedWriteIsDropped() {
        cleanup();
        SimOptions options;
        options.exchangeIdleMs = 200;
        startSim(options);
        const ConfigImage before = sim->image();
        QCOMPARE(client->ask("W0000,3c\r" + std::string(10, '\x01'), 11), std::string(11, '\x06'));
        QVERIFY(sim->waitForMode(DeviceMode::Command, 2000ms));
        QCOMPARE(client->ask("T\r", 12), SimIdent);
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
        std::string got = client->ask(bytes({0x05}), 1);
        got += client->ask(oldPin.toStdString(), 1);
        if (!message.isEmpty())
            got += client->ask(message.toStdString(), 1);
        QCOMPARE(got, replies.toStdString());
        QCOMPARE(sim->pin(), pinAfter.toStdString());
        QCOMPARE(sim->mode(), DeviceMode::Command);
        QCOMPARE(client->ask("T\r", 12), SimIdent); // back to ordinary commands
    }

    // Records sent one at a time, each acknowledged; after a pause without records the device
    // restarts, keeps what it got and identifies itself again.
    void firmwareLoad_data() {
        QTest::addColumn<bool>("sampleFile");
        QTest::newRow("two records") << false;
        QTest::newRow("the sample firmware file") << true;
    }
    void firmwareLoad() {
        QFETCH(bool, sampleFile);
        std::string firmware = bytes({0x00, 0x03, 0x41, 0x42, 0x43, 0x00, 0x01, 0x44});
        if (sampleFile) {
            QFile file(qEnvironmentVariable("ZUVEX_SOURCE_DIR") + "/tools/sample-firmware.zfw");
            QVERIFY(file.open(QIODevice::ReadOnly));
            firmware.clear();
            for (const QByteArray& item : file.readAll().simplified().split(' ')) {
                QCOMPARE(item.size(), 2);
                bool ok = false;
                firmware += static_cast<char>(item.toUInt(&ok, 16));
                QVERIFY(ok);
            }
        }
        QVERIFY(client->enterLoading());
        QCOMPARE(sim->mode(), DeviceMode::Loading);
        std::size_t pos = 0;
        int records = 0;
        while (pos < firmware.size()) {
            QVERIFY(pos + 2 <= firmware.size());
            const std::size_t length = static_cast<std::uint8_t>(firmware[pos]) * 256u +
                                       static_cast<std::uint8_t>(firmware[pos + 1]);
            QVERIFY(pos + 2 + length <= firmware.size()); // whole records only
            QCOMPARE(client->ask(firmware.substr(pos, length + 2), 1), bytes({0x11}));
            pos += length + 2;
            ++records;
        }
        QVERIFY(records >= 2);
        QVERIFY(sim->waitForMode(DeviceMode::Restarting, 3000ms));
        QVERIFY(sim->waitForMode(DeviceMode::Command, 2000ms));
        QCOMPARE(sim->lastFirmware(), std::vector<std::uint8_t>(firmware.begin(), firmware.end()));
        QCOMPARE(client->ask("T\r", 12), SimIdent);
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
        // a LF after the CR does not spoil the next command
        QCOMPARE(client->ask("T\r\nT\r", 24), SimIdent + SimIdent);
    }
};

QTEST_GUILESS_MAIN(TestSimProtocol)
#include "tst_sim_protocol.moc"
