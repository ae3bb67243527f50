#include "LinkRig.h"

#include "SimStart.h"
#include "serial/DataPacket.h"
#include "serial/SerialPort.h"

#include <QTest>

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

TLinkBox lineLostBox(int comNumber) {
    return errorBox(QStringLiteral("Schnittstellenfehler"), QStringLiteral("Fehler!"),
                    PortLostText(comNumber));
}

TLinkRig::TLinkRig()
    : port(std::make_unique<TSerialPort>()), collector(std::make_unique<TDataPacket>()) {
    SetUpDeviceLink(*port, *collector, watchdog, WatchdogMs);
    conversation = std::make_unique<TLinkConversation>(*port, *collector, watchdog, view);
    view.conversation = conversation.get();
    RouteToConversation(*port, *collector, watchdog, *conversation);
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
    return QTest::qWaitFor([&] { return view.boxes.size() >= count; }, FlowEndMs);
}

bool TLinkRig::waitUntilSettled() {
    return QTest::qWaitFor([&] { return !conversation->Waiting() && !conversation->SearchRunning; },
                           FlowEndMs);
}
