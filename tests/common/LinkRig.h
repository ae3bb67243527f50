#pragma once

#include "SimStart.h"
#include "link/DeviceLink.h"
#include "link/LinkConversation.h"
#include "link/LinkProtocol.h"
#include "link/LinkView.h"
#include "serial/DataPacket.h"
#include "serial/SerialPort.h"
#include "serial/Ticks.h"

#include <QMetaType>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>
#include <utility>
#include <vector>

// Ceilings for the tests' waits, never asserted durations: generous for a busy sanitizer build.
constexpr int SlowMachineMs = 5000; // what such a build may add to a wait
constexpr int FlowEndMs = 10000;    // a read, write or PIN change ends with its box
constexpr int SearchAndReadMs = FlowEndMs + SlowMachineMs;
constexpr int WatchdogReportMs = FirmwareWatchdogMs + SlowMachineMs;
constexpr int FirmwareUpdateAndReadMs = FirmwareWatchdogMs + SearchAndReadMs + SlowMachineMs;
constexpr std::chrono::milliseconds ModeChangeWait{3000}; // the simulator switches its mode
// The longest time-out a step arms and its tick: once passed, none of the flow is pending.
constexpr int LongestStepTimeoutMs = (LinkProtocol::ChecksumAckTicks + 1) * serialticks::TickMs;
constexpr int LongerThanAnyPauseMs = 500; // a probe's settling, the scan's pause per port
constexpr int ByteOnTheWireMs = 100;
constexpr int PollMs = 5;     // how often a test looks at the window or the conversation
constexpr int SlowAckMs = 40; // the transfer box stays up a while

// What the conversation asked its view to show as a box: results, errors, warnings.
struct TLinkBox {
    enum Kind { Result, Error, ApplicationError, Warning };
    Kind kind = Result;
    QString caption;
    QStringList lines;
    bool operator==(const TLinkBox&) const = default;
};
inline char* toString(const TLinkBox& box) {
    static const char* const kinds[] = {"result", "error", "application error", "warning"};
    return QTest::toString(QString::fromLatin1(kinds[box.kind]) + QStringLiteral(" \"") +
                           box.caption + QStringLiteral("\": ") + box.lines.join(" | "));
}
inline TLinkBox resultBox(const QString& caption, const QString& line) {
    return {TLinkBox::Result, caption, {QString(), line}};
}
inline TLinkBox errorBox(const QString& caption, const QString& line1, const QString& line2) {
    return {TLinkBox::Error, caption, {line1, line2}};
}
inline TLinkBox lineLostBox(int comNumber) { // the device on that port vanished
    return errorBox(QStringLiteral("Schnittstellenfehler"), QStringLiteral("Fehler!"),
                    PortLostText(comNumber));
}

// A device with the faults `set` sets.
template <class Set> zuvexsim::SimFaults faults(Set set) {
    zuvexsim::SimFaults f;
    set(f);
    return f;
}

inline zuvexsim::SimFaults writeFault(zuvexsim::AckFault::Kind kind, int at, int lateMs = 0) {
    return faults([&](zuvexsim::SimFaults& f) { f.writeFault = {kind, at, 0x00, lateMs}; });
}

inline zuvexsim::SimFaults pinFault(zuvexsim::AckFault::Kind kind, int at, int lateMs = 0) {
    return faults([&](zuvexsim::SimFaults& f) { f.pinFault = {kind, at, 0x00, lateMs}; });
}

// The boxes that end the conversation's flows.
inline const TLinkBox ReadDone =
    resultBox("Konfiguration Auslesen", "Das Auslesen der Konfiguration war erfolgreich.");
inline const TLinkBox WriteDone = resultBox("Konfiguration Programmieren",
                                            "Das Programmieren der Konfiguration war erfolgreich.");
inline const TLinkBox ReadFailed =
    errorBox("Übertragungsfehler", "Fehler!", "Fehler beim Auslesen der Zuvex 910k.");
inline const TLinkBox WriteFailed =
    errorBox("Übertragungsfehler", "Fehler!", "Fehler beim Programmieren der Zuvex 910k.");
inline const TLinkBox TimedOut =
    errorBox("Timeout-Fehler", "Zeitüberschreitung!", "Fehler bei der Datenübertragung.");
inline const TLinkBox PinChanged =
    resultBox("Neuer Sicherheitscode", "Der Sicherheitscode wurde geändert.");
inline const TLinkBox WrongOldPin =
    errorBox("Neuer Sicherheitscode", "Fehler!", "Die alte PIN ist falsch.");
inline const TLinkBox PinFailed =
    errorBox("Übertragungsfehler", "Fehler!", "Fehler beim Ändern des Sicherheitscodes.");
inline const TLinkBox NoFreePort =
    errorBox("Schnittstellenfehler", "Fehler!", "Es wurde keine freie Schnittstelle gefunden.");
inline const TLinkBox FirmwareNotStarted =
    errorBox("Fehler", "Fehler!", "Firmware Update konnte nicht gestartet werden.");
using TLinkBoxes = std::vector<TLinkBox>;
Q_DECLARE_METATYPE(TLinkBoxes)
Q_DECLARE_METATYPE(zuvexsim::SimFaults)

// A TLinkView that records what the conversation shows and answers its questions as told.
class TRecordingLinkView : public TLinkView {
public:
    // answers
    bool writeAnyway = true;  // the write warning
    bool searchAgain = false; // the no-device dialog: false is "Offline"
    int portToChoose = 0;     // the port choice; 0 cancels it
    ConfigImage imageToWrite{};
    bool anyExternalRing = true;
    TLinkConversation* conversation = nullptr;
    std::function<void()> onFirmwareTransfer; // runs as the firmware transfer

    // what was shown
    TLinkBoxes boxes;
    QStringList transferBoxes; // captions
    bool transferBoxShowing = false;
    QStringList searchLabels;
    int searchDialogs = 0;
    bool searchEnded = false;
    QStringList noDeviceLines; // the permission line of each no-device dialog
    QString deviceText;
    QString portInUse;
    int portChoices = 0;
    QStringList firmwarePortEntries;
    int firmwareTransfers = 0;
    std::optional<ConfigImage> imageRead;
    bool waiting = false;
    int waits = 0; // pauses and scans begun

    void ShowTransferBox(const QString& caption) override {
        transferBoxes << caption;
        transferBoxShowing = true;
    }
    void HideTransferBox() override { transferBoxShowing = false; }
    void ShowResult(int, const QString& caption, const QStringList& lines) override {
        boxes.push_back({TLinkBox::Result, caption, lines});
    }
    void ShowErrorBox(const QString& caption, const QStringList& lines) override {
        boxes.push_back({TLinkBox::Error, caption, lines});
    }
    void ShowApplicationError(const QString& text) override {
        boxes.push_back({TLinkBox::ApplicationError, QString(), {text}});
    }
    void ShowWarning(const QString& text) override {
        boxes.push_back({TLinkBox::Warning, QString(), {text}});
    }
    bool AskWarningQuestion(const QString&, const QString&) override { return writeAnyway; }
    ConfigImage ImageToWrite() override { return imageToWrite; }
    bool AnyExternalRing() override { return anyExternalRing; }
    void ImageRead(const ConfigImage& image) override { imageRead = image; }
    void ShowSearchLabel(const QString& text) override { searchLabels << text; }
    void RunSearchDialog() override {
        ++searchDialogs;
        searchEnded = false;
    }
    void SearchEnded() override { searchEnded = true; }
    bool NoDeviceFound(const QString& permissionLine) override {
        noDeviceLines << permissionLine;
        // a second give-up works offline
        return std::exchange(searchAgain, false);
    }
    void ShowDeviceText(const QString& text) override { deviceText = text; }
    void ShowPortInUse(const QString& text) override { portInUse = text; }
    bool RunPortChoice() override {
        ++portChoices;
        if (portToChoose == 0)
            return false;
        conversation->ChoosePort(portToChoose);
        return true;
    }
    bool RunFirmwarePortChoice(const QStringList& entries) override { // the first entry
        firmwarePortEntries = entries;
        conversation->SetFirmwarePort(entries.front().mid(3).toInt());
        return true;
    }
    void RunFirmwareTransfer() override {
        ++firmwareTransfers;
        if (onFirmwareTransfer)
            onFirmwareTransfer();
    }
    void SetWaiting(bool on) override {
        waiting = on;
        waits += on ? 1 : 0;
    }
};

// The conversation on the real serial layer with a recording view, in a fresh settings home.
class TLinkRig {
public:
    TLinkRig() {
        SetUpDeviceLink(*port, *collector, watchdog, WatchdogMs);
        conversation = std::make_unique<TLinkConversation>(*port, *collector, watchdog, view);
        view.conversation = conversation.get();
        RouteToConversation(*port, *collector, watchdog, *conversation);
    }
    ~TLinkRig() {
        conversation->Cancel();
        port->SetOpen(false);
    }

    // A simulator on COM<port> holding `image`, with `faults`.
    zuvexsim::ZuvexSim& addDevice(int comNumber, const ConfigImage& image,
                                  const zuvexsim::SimFaults& faults = {}) {
        zuvexsim::SimOptions options = simOptions(comNumber);
        options.faults = faults;
        devices.push_back(startSim(options, image));
        return *devices.back();
    }
    // A COM port whose device never answers.
    void addSilentPort(int comNumber) {
        devices.push_back(startSim(zuvexsim::silentPortOptions(comNumber)));
    }

    // Waits until the view has shown `count` boxes; false when they did not come.
    bool waitForBoxes(std::size_t count = 1) {
        return QTest::qWaitFor([&] { return view.boxes.size() >= count; }, FlowEndMs);
    }
    // Waits until no pause or scan is pending and the search has ended.
    bool waitUntilSettled() {
        return QTest::qWaitFor(
            [&] { return !conversation->Waiting() && !conversation->SearchRunning; }, FlowEndMs);
    }

    // The window's watchdog is longer; the conversation's steps are the same.
    static constexpr int WatchdogMs = 1500;

    TestHome home;
    std::vector<std::unique_ptr<zuvexsim::ZuvexSim>> devices;
    std::unique_ptr<TSerialPort> port = std::make_unique<TSerialPort>();
    std::unique_ptr<TDataPacket> collector = std::make_unique<TDataPacket>();
    QTimer watchdog;
    TRecordingLinkView view;
    std::unique_ptr<TLinkConversation> conversation;
};
