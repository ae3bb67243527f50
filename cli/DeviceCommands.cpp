// The commands that talk to the telephone system, through the window's own conversation.
#include "cli/Commands.h"
#include "cli/ConfigFiles.h"
#include "cli/Console.h"
#include "cli/DeviceSession.h"
#include "cli/EditorView.h"
#include "cli/PinnedPort.h"
#include "link/FirmwareFile.h"
#include "link/LinkConversation.h"
#include "serial/ComPortMap.h"

#include <QFileInfo>
#include <functional>
#include <optional>

namespace {

// Neither read nor write: a search then ends with the device's identification.
constexpr int IdentifyOperation = 0;

// The session on the port the command line names (--port, --device), or without a port in
// use, so that the conversation searches COM1 to COM20 as the window does.
class TCommandSession {
public:
    explicit TCommandSession(const TCliRequest& request) {
        if (request.comPort != 0 || !request.device.isEmpty())
            pinned_.emplace(request.comPort, request.device);
        if (!request.device.isEmpty())
            session_.NamePortBy(request.device);
    }
    // False when the named port has no device (already reported).
    bool PortUsable() const { return !pinned_ || pinned_->ComNumber() != 0; }
    TTerminalView& View() { return session_.View; }

    // A read or a write by `operation`. Without a port in use the conversation searches first,
    // on the named port alone when there is one: a device that does not answer as a Zuvex 910k
    // gets nothing but the identification request.
    TExitStatus Transfer(TFlow flow, int operation) {
        return session_.Run(flow, [operation](TLinkConversation& conversation) {
            conversation.LinkOperation = operation;
            conversation.StartTransfer();
        });
    }
    // The device's identification, by a search (on the named port alone); it makes the port
    // where the device answered the one in use.
    TExitStatus Identify() {
        return session_.Run(TFlow::Search, [](TLinkConversation& conversation) {
            conversation.LinkOperation = IdentifyOperation;
            conversation.UsedComPort = 0; // a transfer without a port in use searches
            conversation.StartTransfer();
        });
    }
    int UsedComPort() { return session_.Conversation().UsedComPort; }

    TExitStatus LoadFirmware() {
        return session_.Run(TFlow::Firmware, [](TLinkConversation& conversation) {
            conversation.StartFirmwareUpdate();
        });
    }

private:
    std::optional<TPinnedPort> pinned_; // before the session: its port map is the session's
    TDeviceSession session_;
};

// Runs `command` in a session on the port the command line names (or after a search).
TExitStatus onDevice(const TCliRequest& request,
                     const std::function<TExitStatus(TCommandSession&)>& command) {
    TCommandSession session(request);
    return session.PortUsable() ? command(session) : TExitStatus::NoDevice;
}

// Reads the device's image and hands it to `next`; a failed read ends the command.
TExitStatus readDevice(TCommandSession& session,
                       const std::function<TExitStatus(const ConfigImage&)>& next) {
    const TExitStatus status = session.Transfer(TFlow::Read, TLinkConversation::ReadOperation);
    return status == TExitStatus::Done ? next(session.View().ImageReadFromDevice) : status;
}

TExitStatus writeDevice(TCommandSession& session, const TEditorView& toWrite, bool confirmed) {
    session.View().ToWrite = toWrite;
    session.View().Confirmed = confirmed;
    return session.Transfer(TFlow::Write, TLinkConversation::WriteOperation);
}

// The device's path for the user: where the COM port's entry leads.
QString devicePath(int comNumber) {
    const QString path = QString::fromStdString(ComDeviceOf(comNumber).path);
    const QString target = QFileInfo(path).canonicalFilePath();
    return target.isEmpty() ? path : target;
}

} // namespace

TExitStatus FindCommand(const TCliRequest& request) {
    return onDevice(request, [](TCommandSession& session) {
        const TExitStatus status = session.Identify();
        if (status == TExitStatus::Done)
            PrintLine(QStringLiteral("COM%1 (%2): %3")
                          .arg(session.UsedComPort())
                          .arg(devicePath(session.UsedComPort()), session.View().DeviceText));
        return status;
    });
}

TExitStatus ReadCommand(const TCliRequest& request) {
    if (!CheckSaveTarget(request.files[0]))
        return TExitStatus::FileFault;
    return onDevice(request, [&](TCommandSession& session) {
        // Saved only after a good read: a failed one leaves the file as it was, or absent.
        return readDevice(session, [&](const ConfigImage& image) {
            return SaveConfigFile(request.files[0], image) ? TExitStatus::Done
                                                           : TExitStatus::FileFault;
        });
    });
}

TExitStatus WriteCommand(const TCliRequest& request) {
    const std::optional<ConfigImage> file = LoadConfigFile(request.files[0]);
    if (!file)
        return TExitStatus::FileFault;
    return onDevice(request, [&](TCommandSession& session) {
        return writeDevice(session, OpenedInEditor(*file), request.yes);
    });
}

TExitStatus DiffSystemCommand(const TCliRequest& request) {
    const std::optional<ConfigImage> file = LoadConfigFile(request.files[0]);
    if (!file)
        return TExitStatus::FileFault;
    return onDevice(request, [&](TCommandSession& session) {
        return readDevice(session, [&](const ConfigImage& device) {
            // Both sides as the editor shows an opened file: a backup just read compares equal.
            return PrintDifferences(OpenedInEditor(*file).settings,
                                    OpenedInEditor(device).settings);
        });
    });
}

TExitStatus ResetCommand(const TCliRequest& request) {
    if (!request.yes) {
        PrintMessage(
            QStringLiteral("Die Einstellungen der Telefonanlage werden in den werkseitigen "
                           "Auslieferzustand zurückgesetzt.\nZum Bestätigen: zuvex910k "
                           "reset --yes"));
        return TExitStatus::Usage;
    }
    return onDevice(request, [](TCommandSession& session) {
        // The window has read the device before: its reserved bytes go back unchanged.
        return readDevice(session, [&](const ConfigImage& device) {
            return writeDevice(session, FactoryInEditor(device), true);
        });
    });
}

TExitStatus FirmwareCommand(const TCliRequest& request) {
    const QString& file = request.files[0];
    if (const std::optional<QString> refusal = CheckFirmwareFile(file)) {
        PrintFileMessage(file, QString(*refusal).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        return TExitStatus::FileFault;
    }
    return onDevice(request, [&](TCommandSession& session) {
        const TExitStatus found = session.Identify();
        if (found != TExitStatus::Done)
            return found;
        session.View().FirmwareFile = file;
        session.View().FirmwarePort = QStringLiteral("COM%1").arg(session.UsedComPort());
        return session.LoadFirmware();
    });
}
