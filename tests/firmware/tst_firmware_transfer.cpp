// The record transfer and its raw port, end to end against the simulated telephone system.
#include "FirmwareSim.h"
#include "LinkRig.h"
#include "OpenDescriptors.h"
#include "PtyPair.h"
#include "ShownBox.h"

#include <QtTest>

using namespace zuvexsim;
using Bytes = std::vector<std::uint8_t>;

namespace {

const QString Port = QStringLiteral("COM3");
constexpr int NotAPort = 0;
constexpr int RejectedEveryTime = 100; // more often than the transfer sends a record
const Bytes TwoRecords{0x00, 0x03, 0x41, 0x42, 0x43, 0x00, 0x01, 0x44};

// The hex text of a firmware file holding `bytes`, 16 values a line.
QByteArray firmwareText(const Bytes& bytes) {
    QByteArray text;
    constexpr std::size_t ValuesPerLine = 16;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text += QByteArray::number(bytes[i], 16).rightJustified(2, '0').toUpper();
        text += ((i + 1) % ValuesPerLine == 0 || i + 1 == bytes.size()) ? "\r\n" : " ";
    }
    return text;
}

// `count` records of `payload` bytes each; record i carries the byte i + 1.
Bytes firmwareRecords(std::size_t count, std::size_t payload) {
    Bytes bytes;
    for (std::size_t i = 0; i < count; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(payload >> 8));
        bytes.push_back(static_cast<std::uint8_t>(payload & 0xFF));
        bytes.insert(bytes.end(), payload, static_cast<std::uint8_t>(i + 1));
    }
    return bytes;
}

std::string asString(const Bytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

} // namespace
Q_DECLARE_METATYPE(TFirmwareOutcome)

class TestFirmwareTransfer : public QObject, SimFixture {
    Q_OBJECT
    std::vector<int> sleeps;
    std::vector<int> progress;
    QList<ShownBox> reports;
    std::function<void()> onReport; // runs inside the error report

    TFirmwareTransferHooks hooks() {
        TFirmwareTransferHooks h;
        h.progress = [this](int percent) { progress.push_back(percent); };
        h.sleep = [this](int ms) { sleeps.push_back(ms); };
        h.showError = [this](const QString& caption, const QStringList& lines) {
            reports << ShownBox(caption, lines);
            if (onReport)
                onReport();
        };
        return h;
    }

    QString firmwareFile(const QByteArray& text) { return home.writeFile("test.zfw", text); }

    TFirmwareOutcome load(const Bytes& bytes) {
        if (!EnterLoadingMode(Port))
            qWarning("the simulator did not enter loading mode");
        sim->clearTraffic();
        return TransferFirmware(firmwareFile(firmwareText(bytes)), Port, hooks());
    }

    void expectReport(const QString& caption, const QString& line) {
        QCOMPARE(reports, QList<ShownBox>{ShownBox(caption, {QStringLiteral("Fehler!"), line})});
    }

private slots:
    void init() {
        sim = startSim(simOptions(TRawSerialPort::ComNumberOf(Port), FirmwareRestartMs));
        sleeps.clear();
        progress.clear();
        reports.clear();
        onReport = nullptr;
    }
    void cleanup() { sim.reset(); }

    // Every record once, in order; the progress counts the acknowledged bytes. Bytes after an
    // acknowledgement are drained, never taken as the next one: four NAKs left in the line
    // would otherwise end the transfer as a damaged file.
    void loads_data() {
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<std::string>("strayAfterAck");
        QTest::addColumn<std::vector<int>>("progress");
        const std::string nakNakNakNakAck = "\x15\x15\x15\x15\x11";
        QTest::newRow("two records")
            << TwoRecords << std::string() << std::vector<int>{0, 5 * 100 / 8};
        QTest::newRow("four records")
            << firmwareRecords(4, 8) << std::string() << std::vector<int>{0, 25, 50, 75};
        QTest::newRow("stray bytes after each acknowledgement")
            << firmwareRecords(3, 4) << nakNakNakNakAck
            << std::vector<int>{0, 6 * 100 / 18, 12 * 100 / 18};
    }
    void loads() {
        QFETCH(Bytes, bytes);
        QFETCH(std::string, strayAfterAck);
        sim->setStrayBytes("", strayAfterAck, static_cast<unsigned>(ReplyKind::RecordAck));
        QCOMPARE(load(bytes), TFirmwareOutcome::Loaded);
        QCOMPARE(sim->received(), asString(bytes));
        QTEST(progress, "progress");
        QCOMPARE(sleeps, LoadedPauses);
        QVERIFY(reports.empty());
        // the telephone system leaves loading mode by itself and keeps what it accepted
        QVERIFY(sim->waitForMode(DeviceMode::Restarting, ModeChangeWait));
        QCOMPARE(sim->lastFirmware(), bytes);
    }

    void rejections_data() {
        QTest::addColumn<int>("record");
        QTest::addColumn<int>("times");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<std::string>("sent");
        const std::string first = asString({0x00, 0x03, 0x41, 0x42, 0x43});
        const std::string second = asString({0x00, 0x01, 0x44});
        // answers 0x11, 0x15, 0x15, 0x11
        QTest::newRow("second record twice rejected")
            << 1 << 2 << int(TFirmwareOutcome::Loaded) << first + second + second + second;
        QTest::newRow("three rejections, then accepted")
            << 0 << 3 << int(TFirmwareOutcome::Loaded) << first + first + first + first + second;
        QTest::newRow("four rejections") << 1 << 4 << int(TFirmwareOutcome::Damaged)
                                         << first + second + second + second + second;
        QTest::newRow("rejected for good")
            << 0 << RejectedEveryTime << int(TFirmwareOutcome::Damaged)
            << first + first + first + first;
    }
    void rejections() {
        QFETCH(int, record);
        QFETCH(int, times);
        QFETCH(int, outcome);
        QFETCH(std::string, sent);
        sim->setRecordRejection(record, times);
        QCOMPARE(int(load(TwoRecords)), outcome);
        QCOMPARE(sim->received(), sent);
        if (outcome == int(TFirmwareOutcome::Loaded)) {
            QVERIFY(reports.empty());
        } else {
            expectReport(QStringLiteral("Fehler"), QStringLiteral("Die Datei ist beschädigt."));
            QCOMPARE(sleeps,
                     std::vector<int>{LoadedPauses.front()}); // no restart wait after a failure
        }
    }

    void noAcknowledgement() {
        sim->setSilentRecord(1);
        // the report comes after the port was closed: it can be opened again at once
        bool portFree = false;
        onReport = [&] {
            TRawSerialPort again;
            portFree = again.Open(Port, FirmwareBaud, FirmwareAckTimeoutMs);
        };
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(load(TwoRecords), TFirmwareOutcome::NoAnswer);
        QVERIFY2(clock.elapsed() >= 2 * FirmwareAckTimeoutMs,
                 qPrintable(QString::number(clock.elapsed())));
        expectReport(QStringLiteral("Schnittstellenfehler"),
                     QStringLiteral("Zuvex 910k antwortet nicht."));
        QVERIFY(portFree);
        QCOMPARE(sim->received(), asString(TwoRecords)); // nothing sent again
    }

    // A device that stops reading: the record's write gives up after the wait and the transfer
    // ends as for no answer, instead of freezing the window.
    void deviceThatStopsReading() {
        constexpr int DeafCom = 5;
        constexpr std::size_t LargestRecord = 0xFFFF; // more than a pseudo-terminal takes
        PtyPair deaf;                                 // its master is never read
        QVERIFY(deaf.ok());
        QVERIFY(linkComPort(DeafCom, deaf.slavePath()));
        const QString file = firmwareFile(firmwareText(firmwareRecords(1, LargestRecord)));
        QCOMPARE(TransferFirmware(file, QStringLiteral("COM%1").arg(DeafCom), hooks()),
                 TFirmwareOutcome::NoAnswer);
        expectReport(QStringLiteral("Schnittstellenfehler"),
                     QStringLiteral("Zuvex 910k antwortet nicht."));
    }

    // The line goes down in the middle of a record: one report that says so, and the port's
    // descriptor closed.
    void lineLost_data() {
        QTest::addColumn<long>("hangUpAfter"); // bytes received, the handshake's 3 included
        QTest::addColumn<std::string>("sent");
        QTest::newRow("first record") << 5L << asString({0x00, 0x03});
        QTest::newRow("second record") << 9L << asString({0x00, 0x03, 0x41, 0x42, 0x43, 0x00});
    }
    void lineLost() {
        QFETCH(long, hangUpAfter);
        QFETCH(std::string, sent);
        const std::string device = sim->slavePath();
        sim->setHangUpAfter(hangUpAfter);
        QCOMPARE(load(TwoRecords), TFirmwareOutcome::LineLost); // not "no answer" after 8 s
        QCOMPARE(sim->received(), sent);
        expectReport(QStringLiteral("Schnittstellenfehler"), LineLostOnCom3);
        QCOMPARE(DescriptorsOn(device), 0);
    }

    // Not one byte goes out when the port cannot be had or the file is broken.
    void nothingSent_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("held"); // the port held by another program
        QTest::addColumn<TFirmwareOutcome>("outcome");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("line");
        const QString good = firmwareFile(firmwareText(TwoRecords));
        const QString noPort =
            QStringLiteral("Auf die Schnittstelle kann nicht zugegriffen werden.");
        const auto portRow = [&](const char* name, const QString& port, bool held) {
            QTest::newRow(name) << good << port << held << TFirmwareOutcome::PortUnavailable
                                << "Schnittstellenfehler" << noPort;
        };
        portRow("no such port", QStringLiteral("COM9"), false);
        portRow("not a port name", QStringLiteral("LPT1"), false);
        portRow("held by another program", Port, true);
        // a file the loader cannot read, and one it refuses: its first line only
        QTest::newRow("missing file") << home.path("missing.zfw") << Port << false
                                      << TFirmwareOutcome::FileUnreadable << "Fehler"
                                      << "Auf die Firmwaredatei kann nicht zugegriffen werden.";
        QTest::newRow("record past the end")
            << home.writeFile("kurz.zfw", "00 03 41 42 43 00 02 44") << Port << false
            << TFirmwareOutcome::FileRefused << "Fehler"
            << "Die Firmwaredatei ist unvollständig: Der 2. Datensatz reicht über das Ende der "
               "Datei hinaus.";
    }
    void nothingSent() {
        QFETCH(QString, file);
        QFETCH(QString, port);
        QFETCH(bool, held);
        QFETCH(QString, caption);
        QFETCH(QString, line);
        TRawSerialPort other;
        if (held)
            QVERIFY(other.Open(Port, FirmwareBaud, FirmwareAckTimeoutMs));
        else
            QVERIFY(EnterLoadingMode(Port));
        sim->clearTraffic();
        QTEST(TransferFirmware(file, port, hooks()), "outcome");
        expectReport(caption, line);
        QCOMPARE(sim->received(), std::string());
    }

    // ---- the raw port itself ----

    void rawReadTakesAWholeReply() {
        TRawSerialPort port;
        QVERIFY(port.Open(Port, FirmwareBaud, FirmwareAckTimeoutMs));
        const std::uint8_t t[] = {'T', '\r'};
        QVERIFY(port.Write(t, sizeof t));
        std::uint8_t reply[12] = {};
        QVERIFY(port.Read(reply, sizeof reply));
        QCOMPARE(std::string(reply, reply + sizeof reply), std::string("Zuvex 910k\r\n"));
    }

    void rawPortIsExclusive() {
        TRawSerialPort first;
        TRawSerialPort second;
        QVERIFY(first.Open(Port, FirmwareBaud, FirmwareAckTimeoutMs));
        QVERIFY(!second.Open(Port, FirmwareBaud, FirmwareAckTimeoutMs));
        QVERIFY(!second.IsOpen());
        first.Close();
        QVERIFY(!first.IsOpen());
        QVERIFY(second.Open(Port, FirmwareBaud, FirmwareAckTimeoutMs));
        std::uint8_t byte = 0;
        QVERIFY(!first.Read(&byte, 1)); // a closed port reads nothing
        QVERIFY(!first.Write(&byte, 1));
    }

    void portNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number");
        QTest::newRow("COM3") << QStringLiteral("COM3") << 3;
        QTest::newRow("COM20") << QStringLiteral("COM20") << 20;
        QTest::newRow("COM0") << QStringLiteral("COM0") << NotAPort;
        QTest::newRow("COM") << QStringLiteral("COM") << NotAPort;
        QTest::newRow("COMx") << QStringLiteral("COMx") << NotAPort;
        QTest::newRow("com3") << QStringLiteral("com3") << NotAPort;
    }
    void portNames() {
        QFETCH(QString, name);
        QFETCH(int, number);
        QCOMPARE(TRawSerialPort::ComNumberOf(name), number);
    }
};

QTEST_GUILESS_MAIN(TestFirmwareTransfer)
#include "tst_firmware_transfer.moc"
