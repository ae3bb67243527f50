// The automatic COM port map: which device each COM number gets on machines of different kinds.
#include "serial/ComPortMap.h"

#include <QStringList>
#include <QTest>

using Machine = std::vector<TFoundPort>;
Q_DECLARE_METATYPE(Machine)

namespace {

constexpr int KernelUartSlots = 32; // the kernel always lists ttyS0 ... ttyS31
constexpr int FewUartSlots = 4;
constexpr int NoRealUart = -1;

TFoundPort found(const std::string& kernelName, TPortKind kind, const std::string& byIdName,
                 bool unknownUart) {
    return {"/dev/" + kernelName, kernelName, byIdName, kind, unknownUart};
}

// A USB adapter, with its name under /dev/serial/by-id/ when udev gives one.
TFoundPort adapter(const std::string& kernelName, const std::string& byIdName = {}) {
    return found(kernelName, TPortKind::Adapter, byIdName, false);
}

// `count` built-in UART slots ttyS0, ttyS1, ... of which only `real` has hardware behind it.
Machine uartSlots(int count, int real = NoRealUart) {
    Machine uarts;
    for (int n = count - 1; n >= 0; --n) // the platform's order is not the COM order
        uarts.push_back(found("ttyS" + std::to_string(n), TPortKind::BuiltinUart, {}, n != real));
    return uarts;
}

Machine operator+(Machine first, const Machine& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

} // namespace

class TestComPortMap : public QObject {
    Q_OBJECT

private slots:
    void automaticMap_data() {
        QTest::addColumn<Machine>("machine");
        QTest::addColumn<QStringList>("com"); // COM1, COM2, ...
        QTest::newRow("no serial port") << Machine{} << QStringList();
        QTest::newRow("32 empty UART slots") << uartSlots(KernelUartSlots) << QStringList();
        QTest::newRow("one real UART among 32 slots")
            << uartSlots(KernelUartSlots, 1) << QStringList{"ttyS1"};
        QTest::newRow("two FTDI adapters and an ACM device after a UART")
            << Machine{adapter("ttyUSB1", "usb-FTDI_FT232R_USB_UART_B2-if00-port0"),
                       adapter("ttyACM0", "usb-Arduino_Uno_7543-if00"),
                       adapter("ttyUSB0", "usb-FTDI_FT232R_USB_UART_A1-if00-port0")} +
                   uartSlots(FewUartSlots, 0)
            << QStringList{"ttyS0", "ttyACM0", "ttyUSB0", "ttyUSB1"};
        QTest::newRow("adapter without a by-id name comes after the named ones")
            << Machine{adapter("ttyUSB0"), adapter("ttyUSB1", "usb-Prolific_PL2303-if00-port0"),
                       adapter("ttyUSB10"), adapter("ttyUSB2")}
            << QStringList{"ttyUSB1", "ttyUSB0", "ttyUSB2", "ttyUSB10"};
        Machine many = uartSlots(FewUartSlots, 3);
        QStringList first{"ttyS3"};
        for (int n = 0; n < MaxComNumber + FewUartSlots; ++n) { // more than there are numbers
            const std::string name = "ttyUSB" + std::to_string(n);
            many.push_back(adapter(name));
            if (first.size() < MaxComNumber)
                first << QString::fromStdString(name);
        }
        QTest::newRow("more than 20 ports: COM20 is the last") << many << first;
    }

    void automaticMap() {
        QFETCH(Machine, machine);
        QFETCH(QStringList, com);
        QStringList devices;
        for (const std::string& device : AutomaticComPorts(machine))
            devices << QString::fromStdString(device).remove(QStringLiteral("/dev/"));
        QCOMPARE(devices, com);
    }
};

QTEST_GUILESS_MAIN(TestComPortMap)
#include "tst_comportmap.moc"
