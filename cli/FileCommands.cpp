// The commands that need no telephone system: each file is taken as the window's editor
// shows it after "Öffnen...".
#include "cli/Commands.h"
#include "cli/ConfigFiles.h"
#include "cli/Console.h"
#include "cli/EditorView.h"
#include "cli/PdfReport.h"
#include "cli/SettingsListing.h"

#include <optional>

namespace {
std::optional<TEditorSettings> openedSettings(const QString& path) {
    const std::optional<ConfigImage> image = LoadConfigFile(path);
    if (!image)
        return std::nullopt;
    return OpenedInEditor(*image).settings;
}
} // namespace

TExitStatus ShowCommand(const TCliRequest& request) {
    const std::optional<TEditorSettings> settings = openedSettings(request.files[0]);
    if (!settings)
        return TExitStatus::FileFault;
    if (request.json) {
        PrintLine(QString::fromUtf8(SettingsJson(ListSettings(*settings))).trimmed());
        return TExitStatus::Done;
    }
    for (const QString& line : SettingsText(*settings))
        PrintLine(line);
    return TExitStatus::Done;
}

TExitStatus DiffFilesCommand(const TCliRequest& request) {
    const std::optional<TEditorSettings> from = openedSettings(request.files[0]);
    const std::optional<TEditorSettings> to = from ? openedSettings(request.files[1]) : from;
    if (!from || !to)
        return TExitStatus::FileFault;
    return PrintDifferences(*from, *to);
}

TExitStatus PrintCommand(const TCliRequest& request) {
    const std::optional<TEditorSettings> settings = openedSettings(request.files[0]);
    if (!settings)
        return TExitStatus::FileFault;
    return PrintReportToPdf(*settings, request.output) ? TExitStatus::Done : TExitStatus::FileFault;
}

TExitStatus PrintDifferences(const TEditorSettings& from, const TEditorSettings& to) {
    const QStringList differing = DifferingSettings(ListSettings(from), ListSettings(to));
    for (const QString& line : differing)
        PrintLine(line);
    return differing.isEmpty() ? TExitStatus::Done : TExitStatus::Different;
}
