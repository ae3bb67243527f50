#include "serial/SerialPort.h"

#include "serial/ComPortMap.h"
#include "serial/DataPacketManager.h"
#include "serial/SerialDevice.h"
#include "serial/SerialDispatcher.h"
#include "serial/SerialError.h"

#include <QMetaObject>
#include <cerrno>

namespace {

const TOpenOutcome missingDevice{TOpenFailure::NotFound, ENOENT};

QString sendFailedText(const QString& shownName) {
    return QStringLiteral("Die Daten konnten nicht über %1 gesendet werden.").arg(shownName);
}

const QString closedPortText = QStringLiteral("Der COM-Port ist nicht geöffnet.");

} // namespace

TSerialPort::TSerialPort(QObject* parent)
    : QObject(parent), manager_(std::make_unique<TDataPacketManager>()),
      dispatcher_(new TSerialDispatcher(*manager_, this)) {
    manager_->SetTimerHook([this] { dispatcher_->ScheduleTimer(); });
    dispatcher_->OnHangUp = [this] { Lost(); };
    dispatcher_->OnWriteFailed = [this] { ReportSerialError(sendFailedText(shownName())); };
}

TSerialPort::~TSerialPort() {
    ClosePort();
    manager_->DetachAll();
}

bool TSerialPort::Open() const {
    return dispatcher_->Running();
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
    const TOpenOutcome opened =
        device.mapped ? dispatcher_->Start(device.path, line, InSize, OutSize) : missingDevice;
    if (opened.failure != TOpenFailure::None && !GivenDevicePath.isEmpty())
        throw EPortOpenError(GivenDevicePath.toLocal8Bit().toStdString(), opened.failure,
                             opened.error);
    if (opened.failure != TOpenFailure::None)
        throw EPortOpenError(comNumber_, device.path, opened.failure, opened.error);
    openedNumber_ = comNumber_;
    manager_->PortOpened();
}

void TSerialPort::ClosePort() {
    if (!Open())
        return;
    manager_->PortClosing();
    dispatcher_->Stop();
}

void TSerialPort::Lost() {
    // The dispatcher has closed the device already; the collectors stop as on any closing,
    // and an armed one stays Enabled, so the step that ran into the loss can be told.
    manager_->PortClosing();
    const QString text = PortLostText(shownName());
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            if (OnLost)
                OnLost(text);
            else
                ReportSerialError(text);
        },
        Qt::QueuedConnection);
}

TSerialDispatcher& TSerialPort::RequireOpen() {
    if (!Open())
        throw ESerialError(closedPortText);
    return *dispatcher_;
}

void TSerialPort::PutString(const QByteArray& text) {
    Send(reinterpret_cast<const uint8_t*>(text.constData()), std::size_t(text.size()));
}

void TSerialPort::PutChar(uint8_t byte) {
    Send(&byte, 1);
}

void TSerialPort::Send(const uint8_t* bytes, std::size_t count) {
    switch (RequireOpen().Send(bytes, count)) {
    case TSerialDispatcher::TSendResult::Sent:
        return;
    case TSerialDispatcher::TSendResult::NoRoom:
        throw ESerialError(QStringLiteral("Die Sendewarteschlange des COM-Ports ist voll."));
    case TSerialDispatcher::TSendResult::Failed:
        throw ESerialError(sendFailedText(shownName()));
    }
}

void TSerialPort::FlushInBuffer() {
    RequireOpen().FlushIn();
}

void TSerialPort::FlushOutBuffer() {
    RequireOpen().FlushOut();
}

QString TSerialPort::shownName() const {
    return GivenDevicePath.isEmpty() ? QStringLiteral("COM%1").arg(openedNumber_) : GivenDevicePath;
}

QString PortLostText(int comNumber) {
    return PortLostText(QStringLiteral("COM%1").arg(comNumber));
}

QString PortLostText(const QString& shownName) {
    return QStringLiteral("Die Verbindung über %1 ist abgebrochen: Das Gerät wurde getrennt "
                          "oder antwortet nicht mehr.")
        .arg(shownName);
}

bool IsPortAvailable(int comNumber) {
    if (comNumber <= 0)
        return false;
    const TComDevice device = ComDeviceOf(comNumber);
    const TOpenOutcome opened = device.mapped ? ProbeSerialDevice(device.path) : missingDevice;
    if (opened.failure == TOpenFailure::None)
        return true;
    // The port exists; opening it for the conversation will tell the user why it failed.
    return opened.failure == TOpenFailure::InUse || opened.failure == TOpenFailure::NoPermission;
}
