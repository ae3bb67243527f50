#include "serial/SerialPort.h"

#include "serial/ComPortMap.h"
#include "serial/DataPacketManager.h"
#include "serial/PosixSerialDevice.h"
#include "serial/SerialDispatcher.h"
#include "serial/SerialError.h"
#include "serial/SerialEventPump.h"

#include <system_error>

namespace {

TOpenResult openComPort(const TComDevice& device, const TLineSettings& line) {
    if (!device.mapped)
        return {-1, TOpenFailure::NotFound, ENOENT};
    return OpenSerialDevice(device.path, line);
}

const QString closedPortText = QStringLiteral("Der COM-Port ist nicht geöffnet.");

} // namespace

TSerialPort::TSerialPort(QObject* parent)
    : QObject(parent), pump_(new TSerialEventPump(this)),
      manager_(std::make_unique<TDataPacketManager>()) {
    manager_->SetEventRunner(
        [this](TDataPacket* sender, bool packet, const uint8_t* data, int size) {
            // Only TDispThread calls this, and only while the dispatcher exists.
            return dispatcher_->RunEvent(sender, packet, data, size);
        });
    manager_->SetErrorReporter([this](const QString& text) {
        QMetaObject::invokeMethod(
            this, [text] { ReportSerialError(text); }, Qt::QueuedConnection);
    });
    manager_->SetCancelHook([this] {
        if (dispatcher_)
            dispatcher_->CancelPendingEvent();
    });
}

TSerialPort::~TSerialPort() {
    ClosePort();
    manager_->DetachAll();
}

void TSerialPort::SetComNumber(uint16_t number) {
    if (number == comNumber_)
        return;
    if (!Open()) {
        comNumber_ = number;
        return;
    }
    ClosePort();
    comNumber_ = number;
    OpenPort();
}

void TSerialPort::SetOpen(bool on) {
    if (on == Open())
        return;
    if (on)
        OpenPort();
    else
        ClosePort();
}

void TSerialPort::OpenPort() {
    if (comNumber_ == 0)
        throw ESerialError(QStringLiteral("Es ist kein COM-Port ausgewählt."));
    TLineSettings line;
    line.baud = Baud;
    line.parity = Parity;
    line.dataBits = DataBits;
    line.stopBits = StopBits;
    line.hwFlow = HWFlowOptions;
    line.swFlow = SWFlowOptions;
    line.dtr = DTR;
    line.rts = RTS;
    const TComDevice device = ComDeviceOf(comNumber_, TMapRead::Fresh);
    const TOpenResult opened = openComPort(device, line);
    if (opened.fd < 0)
        throw EPortOpenError(comNumber_, device.path, opened.failure, opened.error);

    auto dispatcher =
        std::make_unique<TSerialDispatcher>(opened.fd, OutSize, comNumber_, *manager_, *pump_);
    try {
        dispatcher->Start();
    } catch (const std::system_error&) {
        dispatcher.reset(); // joins what started, closes the device
        throw ESerialError(
            QStringLiteral("Der COM-Port COM%1 kann nicht geöffnet werden: Die Lesethreads "
                           "ließen sich nicht starten.")
                .arg(comNumber_));
    }
    dispatcher_ = std::move(dispatcher);
    manager_->PortOpened();
}

void TSerialPort::ClosePort() {
    if (!dispatcher_)
        return;
    manager_->PortClosing();
    dispatcher_->Stop();
    dispatcher_.reset();
    manager_->PortClosing(); // once more: the port is closed
}

TSerialDispatcher& TSerialPort::RequireOpen() {
    if (!dispatcher_)
        throw ESerialError(closedPortText);
    return *dispatcher_;
}

void TSerialPort::PutString(const QByteArray& text) {
    TSerialDispatcher& dispatcher = RequireOpen();
    if (!dispatcher.Enqueue(reinterpret_cast<const uint8_t*>(text.constData()),
                            std::size_t(text.size())))
        throw ESerialError(QStringLiteral("Die Sendewarteschlange des COM-Ports ist voll."));
}

void TSerialPort::PutChar(uint8_t byte) {
    TSerialDispatcher& dispatcher = RequireOpen();
    if (!dispatcher.Enqueue(&byte, 1))
        throw ESerialError(QStringLiteral("Die Sendewarteschlange des COM-Ports ist voll."));
}

void TSerialPort::FlushInBuffer() {
    RequireOpen().FlushIn();
}

void TSerialPort::FlushOutBuffer() {
    RequireOpen().FlushOut();
}

bool IsPortAvailable(int comNumber) {
    if (comNumber <= 0)
        return false;
    const TOpenResult opened = openComPort(ComDeviceOf(comNumber), TLineSettings{});
    if (opened.fd >= 0) {
        CloseSerialDevice(opened.fd);
        return true;
    }
    // The port exists; opening it for the conversation will tell the user why it failed.
    return opened.failure == TOpenFailure::InUse || opened.failure == TOpenFailure::NoPermission;
}
