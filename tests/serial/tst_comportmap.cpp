// The automatic COM port map: which device each COM number gets on machines of different kinds.
#include "serial/ComPortMap.h"

#include <QStringList>
#include <QTest>

namespace {

// "ttyS0" a built-in UART, "ttyS5?" an empty UART slot, "ttyUSB0=usb-FTDI..." an adapter
// with its by-id name, "ttyACM1=" an adapter without one.
std::vector<TFoundPort> machine(const QStringList& ports) {
    std::vector<TFoundPort> found;
    for (const QString& entry : ports) {
        TFoundPort port;
        const QString name = entry.section(QLatin1Char('='), 0, 0).remove(QLatin1Char('?'));
        port.kernelName = name.toStdString();
        port.device = "/dev/" + port.kernelName;
        port.byIdName = entry.section(QLatin1Char('='), 1).toStdString();
        port.kind = entry.contains(QLatin1Char('=')) ? TPortKind::Adapter : TPortKind::BuiltinUart;
        port.unknownUart = entry.endsWith(QLatin1Char('?'));
        found.push_back(port);
    }
    return found;
}

QStringList uarts(int count, int firstReal = -1) {
    QStringList list;
    for (int n = count - 1; n >= 0; --n) // the platform's order is not the COM order
        list << QStringLiteral("ttyS%1%2").arg(n).arg(n == firstReal ? "" : "?");
    return list;
}

} // namespace

class TestComPortMap : public QObject {
    Q_OBJECT

private slots:
    void automaticMap_data() {
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<QStringList>("com"); // COM1, COM2, ...
        QTest::newRow("no serial port") << QStringList() << QStringList();
        QTest::newRow("32 empty UART slots") << uarts(32) << QStringList();
        QTest::newRow("one real UART among 32 slots") << uarts(32, 1) << QStringList{"ttyS1"};
        QTest::newRow("two FTDI adapters and an ACM device after a UART")
            << (QStringList{"ttyUSB1=usb-FTDI_FT232R_USB_UART_B2-if00-port0",
                            "ttyACM0=usb-Arduino_Uno_7543-if00",
                            "ttyUSB0=usb-FTDI_FT232R_USB_UART_A1-if00-port0"}
                << uarts(4, 0))
            << QStringList{"ttyS0", "ttyACM0", "ttyUSB0", "ttyUSB1"};
        QTest::newRow("adapter without a by-id name comes after the named ones")
            << QStringList{"ttyUSB0=", "ttyUSB1=usb-Prolific_PL2303-if00-port0",
                           "ttyUSB10=", "ttyUSB2="}
            << QStringList{"ttyUSB1", "ttyUSB0", "ttyUSB2", "ttyUSB10"};
        QStringList many = uarts(4, 3);
        QStringList first20{"ttyS3"};
        for (int n = 0; n < 24; ++n) {
            many << QStringLiteral("ttyUSB%1=").arg(n);
            if (first20.size() < 20)
                first20 << QStringLiteral("ttyUSB%1").arg(n);
        }
        QTest::newRow("more than 20 ports: COM20 is the last") << many << first20;
    }

    void automaticMap() {
        QFETCH(QStringList, found);
        QFETCH(QStringList, com);
        QStringList devices;
        for (const std::string& device : AutomaticComPorts(machine(found)))
            devices << QString::fromStdString(device).remove(QStringLiteral("/dev/"));
        QCOMPARE(devices, com);
    }
};

QTEST_GUILESS_MAIN(TestComPortMap)
#include "tst_comportmap.moc"
