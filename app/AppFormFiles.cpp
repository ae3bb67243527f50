#include "app/AppForm.h"

#include <QFile>
#include <QSaveFile>

namespace {
const QString FileFilter =
    QStringLiteral("Zuvex 910k Dateien (*.zcf)|*.zcf|Alle Dateien (*.*)|*.*");
const QString FileAccessCaption = QStringLiteral("Fehler bei Dateizugriff");
} // namespace

bool TAppForm::QuerySaveChanges(const QString& secondLine) {
    if (!Modified)
        return true;
    const int answer = ShowMessageDialog(
        HinweisBox.get(), QStringLiteral("Hinweis"),
        {QStringLiteral("Die Daten wurden geändert und nicht gespeichert!"), secondLine});
    if (answer == mrYes)
        return SaveConfiguration() == 0;
    return answer == mrNo;
}

int TAppForm::writeImageToFile(const QString& path) {
    // Written beside the target and renamed over it only when complete, so a failure
    // never destroys the previous file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    EditorToImage();
    const auto* bytes = reinterpret_cast<const char*>(Image.data());
    if (file.write(bytes, ConfigImageSize) != ConfigImageSize || !file.commit())
        return -1;
    return 0;
}

int TAppForm::SaveConfiguration() {
    // After "Ja", a cancelled save dialog stops the asking command: the changes are kept.
    if (Untitled)
        return saveAs() == SaveOutcome::Saved ? 0 : -1;
    if (writeImageToFile(CurrentFile) != 0) {
        ShowMessageDialog(
            ErrorDialog.get(), FileAccessCaption,
            {QStringLiteral("Fehler!"), QStringLiteral("Die Datei konnte nicht geöffnet werden.")});
        return -1;
    }
    ClearModified();
    return 0;
}

int TAppForm::SaveConfigurationAs() {
    return saveAs() == SaveOutcome::Failed ? -1 : 0;
}

TAppForm::SaveOutcome TAppForm::saveAs() {
    TFileDialogRequest request;
    request.save = true;
    request.filter = FileFilter;
    request.defaultSuffix = QStringLiteral("zcf");
    request.directory = directoryPart(CurrentFile);
    request.fileName = fileNamePart(CurrentFile);
    const QString chosen = FileDialogProvider(request);
    if (chosen.isEmpty())
        return SaveOutcome::Cancelled;
    CurrentFile = chosen;
    if (writeImageToFile(CurrentFile) != 0) {
        ShowMessageDialog(
            ErrorDialog.get(), FileAccessCaption,
            {QStringLiteral("Fehler!"),
             QStringLiteral("Die Datei konnte nicht geöffnet oder angelegt werden.")});
        return SaveOutcome::Failed;
    }
    Untitled = false;
    ClearModified();
    WorkDir = directoryPart(CurrentFile);
    return SaveOutcome::Saved;
}

void TAppForm::OpenConfiguration() {
    TFileDialogRequest request;
    request.filter = FileFilter;
    request.defaultSuffix = QStringLiteral("zcf");
    request.directory = directoryPart(CurrentFile);
    request.fileName = QStringLiteral("*.zcf");
    const QString chosen = FileDialogProvider(request);
    if (chosen.isEmpty())
        return;
    QFile file(chosen);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowMessageDialog(
            ErrorDialog.get(), FileAccessCaption,
            {QStringLiteral("Fehler!"), QStringLiteral("Die Datei konnte nicht geöffnet werden.")});
        return;
    }
    const QByteArray bytes = file.read(ConfigImageSize);
    file.close();
    if (bytes.size() < ConfigImageSize) {
        ShowMessageDialog(ErrorDialog.get(), FileAccessCaption,
                          {QStringLiteral("Fehler!"),
                           QStringLiteral("Die Datei ist keine Konfigurationsdatei!")});
        return;
    }
    std::copy(bytes.begin(), bytes.end(), Image.begin());
    ImageToEditor();
    CurrentFile = chosen;
    Untitled = false;
    ClearModified();
    WorkDir = directoryPart(CurrentFile);
}

void TAppForm::FileNew1Execute() {
    if (QuerySaveChanges(QStringLiteral("Wollen Sie die Daten jetzt speichern?")))
        NewConfiguration();
}

void TAppForm::FileOpen1Execute() {
    if (QuerySaveChanges(QStringLiteral("Wollen Sie die Daten jetzt speichern?")))
        OpenConfiguration();
}

void TAppForm::FileSaveAs1Execute() {
    SaveConfigurationAs();
}
