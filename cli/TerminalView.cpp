#include "cli/TerminalView.h"

#include "cli/Console.h"
#include "link/FirmwareTransfer.h"
#include "link/LinkProtocol.h"

#include <QEventLoop>
#include <QTimer>

namespace {
// A box's caption and its lines, the empty ones left out, as one message line.
QString boxText(const QString& caption, const QStringList& lines) {
    QStringList parts{caption};
    for (const QString& line : lines)
        if (!line.isEmpty())
            parts << line;
    return parts.join(QLatin1Char(' '));
}

// A box text with the line breaks a terminal takes.
QString plainLines(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// "Firmware [#########...........]  45 %" on one line of the terminal.
void showProgress(int percent) {
    constexpr int Width = 40;
    const int done = percent * Width / 100;
    const QString bar = QString(done, QLatin1Char('#')) + QString(Width - done, QLatin1Char('.'));
    PrintProgress(QStringLiteral("\rFirmware [%1] %2 %").arg(bar).arg(percent, 3));
}

TExitStatus firmwareStatus(TFirmwareOutcome outcome) {
    switch (outcome) {
    case TFirmwareOutcome::Loaded:
        return TExitStatus::Done;
    case TFirmwareOutcome::FileUnreadable:
    case TFirmwareOutcome::FileRefused:
        return TExitStatus::FileFault;
    default:
        return TExitStatus::DeviceFault;
    }
}
} // namespace

void TTerminalView::Begin(TFlow flow) {
    flow_ = flow;
    outcome_.reset();
}

void TTerminalView::finish(TExitStatus status) {
    if (outcome_)
        return;
    outcome_ = status;
    if (Finished)
        Finished();
}

void TTerminalView::fail(const QString& message, TExitStatus status) {
    if (outcome_)
        return;
    PrintMessage(message);
    finish(status);
}

void TTerminalView::ShowTransferBox(const QString&) {}

void TTerminalView::HideTransferBox() {}

void TTerminalView::ShowResult(int, const QString&, const QStringList&) {
    if (flow_ == TFlow::Write)
        waitMs(LinkProtocol::DeviceRestartMs); // so that the next command finds it listening
    if (flow_ != TFlow::Read)                  // a read ends with its image
        finish(TExitStatus::Done);
}

void TTerminalView::ShowErrorBox(const QString& caption, const QStringList& lines) {
    fail(boxText(caption, lines), TExitStatus::DeviceFault);
}

void TTerminalView::ShowApplicationError(const QString& text) {
    fail(text, TExitStatus::DeviceFault);
}

void TTerminalView::ShowWarning(const QString& text) {
    fail(plainLines(text), TExitStatus::DeviceFault);
}

bool TTerminalView::AskWarningQuestion(const QString&, const QString& text) {
    if (Confirmed)
        return true;
    fail(plainLines(text) + QStringLiteral("\nMit --yes wird trotzdem geschrieben."),
         TExitStatus::Usage);
    return false;
}

ConfigImage TTerminalView::ImageToWrite() {
    return ToWrite.image;
}

bool TTerminalView::AnyExternalRing() {
    return ToWrite.anyExternalRing;
}

void TTerminalView::ImageRead(const ConfigImage& image) {
    ImageReadFromDevice = image;
    if (flow_ == TFlow::Read)
        finish(TExitStatus::Done);
}

void TTerminalView::ShowSearchLabel(const QString&) {}

void TTerminalView::RunSearchDialog() {}

void TTerminalView::SearchEnded() {
    if (flow_ == TFlow::Search && !DeviceText.isEmpty())
        finish(TExitStatus::Done);
}

bool TTerminalView::NoDeviceFound(const QString& permissionLine) {
    fail(QStringList{QStringLiteral("Es wurde keine Zuvex 910k gefunden."), permissionLine}
             .join(QLatin1Char(' '))
             .trimmed(),
         TExitStatus::NoDevice);
    return false; // offline: nobody is there to plug the system in
}

void TTerminalView::ShowDeviceText(const QString& text) {
    DeviceText = text;
}

void TTerminalView::ShowPortInUse(const QString&) {}

bool TTerminalView::RunPortChoice() {
    return false; // the port comes from the command line or the search
}

bool TTerminalView::RunFirmwarePortChoice(const QStringList&) {
    return false; // the firmware goes to the port the search found
}

void TTerminalView::RunFirmwareTransfer() {
    TFirmwareTransferHooks hooks;
    hooks.portShownAs = FirmwarePortShownAs;
    const bool onTerminal = ProgressShown();
    if (onTerminal)
        hooks.progress = showProgress;
    hooks.showError = [](const QString& caption, const QStringList& lines) {
        PrintMessage(boxText(caption, lines));
    };
    const TFirmwareOutcome outcome = TransferFirmware(FirmwareFile, FirmwarePort, hooks);
    if (onTerminal) {
        if (outcome == TFirmwareOutcome::Loaded)
            showProgress(100);
        PrintProgress(QStringLiteral("\n"));
    }
    finish(firmwareStatus(outcome));
}

void TTerminalView::SetWaiting(bool) {}
