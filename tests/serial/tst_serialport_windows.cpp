// The serial port of the Windows build, run under Wine against the Linux simulator on COM3.
#include "WineLinuxSim.h"
#include "link/LinkArming.h"
#include "link/LinkProtocol.h"
#include "link/RawSerialPort.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

#include <QElapsedTimer>
#include <QTest>

namespace {

constexpr int SimPort = 3;
constexpr int PortWithoutDevice = 9; // no dosdevices link in the test prefix
constexpr int SimBaud = 57600;
constexpr int LoaderTimeoutMs = 2000; // the firmware loader's time-outs

// How the reply is collected: a line ending in CR LF, or the 61 bytes of the image block.
enum class Reply { Line, ImageBlock };

// What ends the connection: the simulator is killed, or the device hangs up after the bytes.
enum class Loss { SimulatorKilled, DeviceHangsUp };

// The Linux build's zuvex-sim, named by CTest.
QString linuxSimulator() {
    return qEnvironmentVariable("ZUVEX_LINUX_SIM");
}

// The port as the program opens it, with its collector and what they report.
struct TPortOnSim {
    TSerialPort port;
    TDataPacket packet;
    QList<QByteArray> packets;
    int timeouts = 0;
    QStringList lost;

    TPortOnSim() {
        port.SetComNumber(SimPort);
        port.Baud = SimBaud;
        port.OnLost = [this](const QString& text) { lost.append(text); };
        setUpCollector(packet);
        packet.SetComPort(&port);
        packet.OnPacket = [this](TDataPacket*, const uint8_t* data, int size) {
            packets.append(QByteArray(reinterpret_cast<const char*>(data), size));
        };
        packet.OnTimeout = [this](TDataPacket*) { ++timeouts; };
    }
    void arm(Reply reply) {
        if (reply == Reply::Line)
            armForLine(packet);
        else
            armForBlock(packet, LinkProtocol::ImageBlockSize, LinkProtocol::BlockTicks);
    }
    bool answered() const { return !packets.isEmpty() || timeouts > 0; }
};

QStringList faultOptions(Loss loss) {
    if (loss == Loss::DeviceHangsUp) // after the identification request
        return {QStringLiteral("--hang-up-after"),
                QString::number(LinkProtocol::IdentifyCommand.size())};
    return {};
}

} // namespace

class tst_serialport_windows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (linuxSimulator().isEmpty() || TWineLinuxSim::WinePrefix().isEmpty())
            QSKIP("runs under Wine with the Linux simulator (ZUVEX_LINUX_SIM) only");
    }

    void deviceAnswersRequest_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QByteArray>("expectedStart");
        QTest::newRow("identify") << LinkProtocol::IdentifyCommand << Reply::Line
                                  << (LinkProtocol::DeviceName.toLatin1() + LinkProtocol::LineEnd);
        QTest::newRow("read the configuration")
            << LinkProtocol::ReadCommand << Reply::ImageBlock << QByteArray();
    }

    void deviceAnswersRequest() {
        QFETCH(QByteArray, request);
        QFETCH(Reply, reply);
        QFETCH(QByteArray, expectedStart);
        TWineLinuxSim sim(linuxSimulator(), SimPort, {QStringLiteral("--reset")});
        if (QTest::currentTestFailed())
            return;
        TPortOnSim rig;
        rig.port.SetOpen(true);
        rig.arm(reply);
        QElapsedTimer sent;
        sent.start();
        rig.port.PutString(request);
        QVERIFY(QTest::qWaitFor([&] { return rig.answered(); }));
        qInfo("%s: reply after %lld ms", QTest::currentDataTag(), sent.elapsed());
        QCOMPARE(rig.timeouts, 0);
        QCOMPARE(rig.packets.size(), 1);
        const QByteArray packet = rig.packets.first();
        if (reply == Reply::Line) {
            QCOMPARE(packet, expectedStart);
        } else {
            QCOMPARE(packet.size(), LinkProtocol::ImageBlockSize);
            const auto* bytes = reinterpret_cast<const uint8_t*>(packet.constData());
            QCOMPARE(LinkProtocol::byteSum(bytes, LinkProtocol::ImageBlockSize - 1),
                     bytes[LinkProtocol::ImageBlockSize - 1]);
        }
        rig.port.SetOpen(false);
    }

    void missingPortIsNamed() {
        TSerialPort port;
        port.SetComNumber(PortWithoutDevice);
        QString error;
        try {
            port.SetOpen(true);
        } catch (const ESerialError& e) {
            error = e.message();
        }
        QCOMPARE(error,
                 QStringLiteral("Der COM-Port COM%1 ist nicht vorhanden.").arg(PortWithoutDevice));
        QVERIFY(!IsPortAvailable(PortWithoutDevice));
    }

    // The firmware loader's blocking port on the same COM number.
    void rawPortReadsTheReply() {
        TWineLinuxSim sim(linuxSimulator(), SimPort);
        if (QTest::currentTestFailed())
            return;
        TRawSerialPort port;
        QVERIFY(port.Open(QStringLiteral("COM%1").arg(SimPort), SimBaud, LoaderTimeoutMs));
        const QByteArray& request = LinkProtocol::IdentifyCommand;
        QVERIFY(port.Write(reinterpret_cast<const uint8_t*>(request.constData()),
                           std::size_t(request.size())));
        const QByteArray expected = LinkProtocol::DeviceName.toLatin1() + LinkProtocol::LineEnd;
        QByteArray reply(expected.size(), '\0');
        QVERIFY(port.Read(reinterpret_cast<uint8_t*>(reply.data()), std::size_t(reply.size())));
        QCOMPARE(reply, expected);
        QVERIFY(!port.LineLost());
    }

    void lostConnectionIsReportedOnce_data() {
        QTest::addColumn<Loss>("loss");
        QTest::newRow("simulator killed") << Loss::SimulatorKilled;
        QTest::newRow("device hangs up") << Loss::DeviceHangsUp;
    }

    void lostConnectionIsReportedOnce() {
        QFETCH(Loss, loss);
        TWineLinuxSim sim(linuxSimulator(), SimPort, faultOptions(loss));
        if (QTest::currentTestFailed())
            return;
        TPortOnSim rig;
        rig.port.SetOpen(true);
        rig.arm(Reply::Line);
        if (loss == Loss::SimulatorKilled)
            sim.Kill();
        else
            rig.port.PutString(LinkProtocol::IdentifyCommand);
        QVERIFY(QTest::qWaitFor([&] { return !rig.lost.isEmpty(); }));
        QCOMPARE(rig.lost, QStringList{PortLostText(SimPort)});
        QVERIFY(!rig.port.Open());
    }
};

QTEST_GUILESS_MAIN(tst_serialport_windows)
#include "tst_serialport_windows.moc"
