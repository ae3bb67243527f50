// zuvex910k: the telephone system from the command line, with no display.
#include "app/EventLoopChoice.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/StopSignals.h"
#include "serial/SystemErrorText.h"

#include <QApplication>
#include <QLocale>

namespace {
// Qt's own notes (in English, about its run-time directory and the like) would mix with the
// tool's messages, which scripts read; only its fatal errors are let through.
void keepQtQuiet(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        PrintMessage(text);
}

TExitStatus run(const TCliRequest& request) {
    switch (request.command) {
    case TCommand::Show:
        return ShowCommand(request);
    case TCommand::Diff:
        return request.files.size() == 2 ? DiffFilesCommand(request) : DiffSystemCommand(request);
    case TCommand::Print:
        return PrintCommand(request);
    case TCommand::Find:
        return FindCommand(request);
    case TCommand::Read:
        return ReadCommand(request);
    case TCommand::Write:
        return WriteCommand(request);
    case TCommand::Reset:
        return ResetCommand(request);
    case TCommand::Firmware:
        return FirmwareCommand(request);
    }
    return TExitStatus::Usage;
}
// A signal outranks the command's outcome, and output that was lost turns it into a failure:
// a script must not take a cut-off listing for a whole one.
int exitWith(TExitStatus status) {
    if (const std::optional<TExitStatus> stopped = StopSignalStatus()) {
        PrintMessage(QStringLiteral("Abgebrochen."));
        return exitCode(*stopped);
    }
    if (const std::optional<int> error = LostOutputError()) {
        PrintMessage(QStringLiteral("Die Ausgabe konnte nicht geschrieben werden. ") +
                     FileErrorText(*error));
        return exitCode(TExitStatus::FileFault);
    }
    return exitCode(status);
}
} // namespace

int main(int argc, char** argv) {
    // The tool shows no window, but the editor pages it takes the rules from and the PDF
    // writer need a platform: the offscreen one needs no display, and never the user's.
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    chooseEventLoop();
    qInstallMessageHandler(keepQtQuiet);
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); // the report's date
    CatchStopSignals();

    const TCliParsed parsed = ParseCommandLine(app.arguments().mid(1));
    if (const auto* help = std::get_if<TCliHelp>(&parsed)) {
        PrintLine(help->text.trimmed());
        return exitWith(TExitStatus::Done);
    }
    if (const auto* error = std::get_if<TCliUsageError>(&parsed)) {
        PrintMessage(error->text);
        return exitCode(TExitStatus::Usage);
    }
    return exitWith(run(std::get<TCliRequest>(parsed)));
}
