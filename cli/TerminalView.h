#pragma once

#include "cli/EditorView.h"
#include "cli/ExitStatus.h"
#include "link/LinkView.h"

#include <QString>
#include <functional>
#include <optional>

// Which event ends the flow the tool waits for.
enum class TFlow {
    Search,   // the device has answered (identification and version)
    Read,     // the image has been read
    Write,    // the image has been written and the device has restarted
    Firmware, // the firmware has been sent
};

// The conversation's view on a terminal: no dialogs, messages in German on stderr, and the
// outcome of the running flow as the tool's exit status. Questions are answered by the
// command line (--yes); there is nobody to ask.
class TTerminalView : public TLinkView {
public:
    // Starts a flow: no outcome yet.
    void Begin(TFlow flow);
    const std::optional<TExitStatus>& Outcome() const { return outcome_; }
    std::function<void()> Finished; // once the running flow has its outcome
    // A signal ends the running flow with `status`; the tool says why as it ends.
    void Stop(TExitStatus status) { finish(status); }

    // What the tool brings to a write and a firmware load.
    TEditorView ToWrite;
    bool Confirmed = false; // --yes: write even when no port rings for external calls
    QString FirmwareFile;
    QString FirmwarePort;        // "COM3"
    QString FirmwarePortShownAs; // how messages name it; empty: as FirmwarePort

    // What the device told.
    ConfigImage ImageReadFromDevice{};
    QString DeviceText;

    void ShowTransferBox(const QString& caption) override;
    void HideTransferBox() override;
    void ShowResult(int operation, const QString& caption, const QStringList& lines) override;
    void ShowErrorBox(const QString& caption, const QStringList& lines) override;
    void ShowApplicationError(const QString& text) override;
    void ShowWarning(const QString& text) override;
    bool AskWarningQuestion(const QString& name, const QString& text) override;
    ConfigImage ImageToWrite() override;
    bool AnyExternalRing() override;
    void ImageRead(const ConfigImage& image) override;
    void ShowSearchLabel(const QString& text) override;
    void RunSearchDialog() override;
    void SearchEnded() override;
    bool NoDeviceFound(const QString& permissionLine) override;
    void ShowDeviceText(const QString& text) override;
    void ShowPortInUse(const QString& text) override;
    bool RunPortChoice() override;
    bool RunFirmwarePortChoice(const QStringList& entries) override;
    void RunFirmwareTransfer() override;
    void SetWaiting(bool waiting) override;

private:
    // The first outcome of a flow counts; what the conversation does after it is not asked for
    // and not reported.
    void finish(TExitStatus status);
    void fail(const QString& message, TExitStatus status);

    TFlow flow_ = TFlow::Search;
    std::optional<TExitStatus> outcome_;
};
