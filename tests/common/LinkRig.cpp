#include "LinkRig.h"

#include "SimStart.h"
#include "link/LinkArming.h"
#include "serial/DataPacket.h"
#include "serial/SerialPort.h"

#include <QTest>
#include <utility>

char* toString(const TLinkBox& box) {
    static const char* const kinds[] = {"result", "error", "application error", "warning"};
    return QTest::toString(QString::fromLatin1(kinds[box.kind]) + QStringLiteral(" \"") +
                           box.caption + QStringLiteral("\": ") + box.lines.join(" | "));
}

TLinkBox resultBox(const QString& caption, const QString& line) {
    return {TLinkBox::Result, caption, {QString(), line}};
}

TLinkBox errorBox(const QString& caption, const QString& line1, const QString& line2) {
    return {TLinkBox::Error, caption, {line1, line2}};
}

TLinkBox warningBox(const QString& text) {
    return {TLinkBox::Warning, QString(), {text}};
}

void TRecordingLinkView::ShowTransferBox(const QString& caption) {
    transferBoxes << caption;
    transferBoxShowing = true;
}

void TRecordingLinkView::HideTransferBox() {
    transferBoxShowing = false;
}

void TRecordingLinkView::ShowResult(int, const QString& caption, const QStringList& lines) {
    boxes.push_back({TLinkBox::Result, caption, lines});
}

void TRecordingLinkView::ShowErrorBox(const QString& caption, const QStringList& lines) {
    boxes.push_back({TLinkBox::Error, caption, lines});
}

void TRecordingLinkView::ShowApplicationError(const QString& text) {
    boxes.push_back({TLinkBox::ApplicationError, QString(), {text}});
}

void TRecordingLinkView::ShowWarning(const QString& text) {
    boxes.push_back(warningBox(text));
}

bool TRecordingLinkView::AskWarningQuestion(const QString&, const QString&) {
    return writeAnyway;
}

ConfigImage TRecordingLinkView::ImageToWrite() {
    return imageToWrite;
}

bool TRecordingLinkView::AnyExternalRing() {
    return anyExternalRing;
}

void TRecordingLinkView::ImageRead(const ConfigImage& image) {
    imageRead = image;
}

void TRecordingLinkView::ShowSearchLabel(const QString& text) {
    searchLabels << text;
}

void TRecordingLinkView::RunSearchDialog() {
    ++searchDialogs;
    searchEnded = false;
}

void TRecordingLinkView::SearchEnded() {
    searchEnded = true;
}

bool TRecordingLinkView::NoDeviceFound(const QString& permissionLine) {
    noDeviceLines << permissionLine;
    return std::exchange(searchAgain, false); // a second give-up works offline
}

void TRecordingLinkView::ShowDeviceText(const QString& text) {
    deviceText = text;
}

void TRecordingLinkView::ShowPortInUse(const QString& text) {
    portInUse = text;
}

bool TRecordingLinkView::RunPortChoice() {
    ++portChoices;
    if (portToChoose == 0)
        return false;
    conversation->ChoosePort(portToChoose);
    return true;
}

bool TRecordingLinkView::RunFirmwarePortChoice(const QStringList& entries) {
    firmwarePortEntries = entries;
    if (!chooseFirmwarePort)
        return false;
    conversation->SetFirmwarePort(entries.front().mid(3).toInt());
    return true;
}

void TRecordingLinkView::RunFirmwareTransfer() {
    ++firmwareTransfers;
    if (onFirmwareTransfer)
        onFirmwareTransfer();
}

void TRecordingLinkView::SetWaiting(bool on) {
    waiting = on;
    waits += on ? 1 : 0;
}

TLinkRig::TLinkRig()
    : port(std::make_unique<TSerialPort>()), collector(std::make_unique<TDataPacket>()) {
    port->Baud = 57600;
    port->AutoOpen = false;
    setUpCollector(*collector);
    collector->SetComPort(port.get());
    conversation = std::make_unique<TLinkConversation>(*port, *collector, watchdog, view);
    view.conversation = conversation.get();
    port->OnLost = [this](const QString& text) { conversation->ComPort1Lost(text); };
    collector->OnPacket = [this](TDataPacket* sender, const uint8_t* data, int size) {
        conversation->DataPacket1Packet(sender, data, size);
    };
    collector->OnTimeout = [this](TDataPacket* sender) {
        conversation->DataPacket1Timeout(sender);
    };
    watchdog.setInterval(WatchdogMs);
    QObject::connect(&watchdog, &QTimer::timeout, conversation.get(),
                     [this] { conversation->TimerFWUpdateTimer(); });
}

TLinkRig::~TLinkRig() {
    conversation->Cancel();
    port->SetOpen(false);
}

zuvexsim::ZuvexSim& TLinkRig::addDevice(int comNumber, const ConfigImage& image,
                                        const zuvexsim::SimFaults& faults) {
    zuvexsim::SimOptions options = simOptions(comNumber);
    options.faults = faults;
    devices.push_back(startSim(options, image));
    return *devices.back();
}

void TLinkRig::addSilentPort(int comNumber) {
    devices.push_back(startSim(zuvexsim::silentPortOptions(comNumber)));
}

bool TLinkRig::waitForBoxes(std::size_t count) {
    return QTest::qWaitFor([&] { return view.boxes.size() >= count; }, 10000);
}

bool TLinkRig::waitUntilSettled() {
    return QTest::qWaitFor([&] { return !conversation->Waiting() && !conversation->SearchRunning; },
                           10000);
}
