#include "app/AppForm.h"
#include "app/SafeSave.h"
#include "link/RegularFile.h"

#include <QDir>

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
    // A failure (full disk, a target that is no regular file) never destroys the previous file.
    EditorToImage();
    const auto* bytes = reinterpret_cast<const char*>(Image.data());
    return SaveFileSafely(path, QByteArray(bytes, ConfigImageSize)) == TSaveResult::Saved ? 0 : -1;
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
    CurrentFile = QDir::toNativeSeparators(chosen); // the form the user sees and the settings keep
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
    // Only a regular file is read, and only as much of it as the format needs.
    QByteArray bytes;
    if (ReadRegularFileStart(chosen, ConfigImageSize, bytes) != TReadResult::Read) {
        ShowMessageDialog(
            ErrorDialog.get(), FileAccessCaption,
            {QStringLiteral("Fehler!"), QStringLiteral("Die Datei konnte nicht geöffnet werden.")});
        return;
    }
    if (bytes.size() < ConfigImageSize) {
        ShowMessageDialog(ErrorDialog.get(), FileAccessCaption,
                          {QStringLiteral("Fehler!"),
                           QStringLiteral("Die Datei ist keine Konfigurationsdatei!")});
        return;
    }
    std::copy(bytes.begin(), bytes.end(), Image.begin());
    ImageToEditor();
    CurrentFile = QDir::toNativeSeparators(chosen); // the form the user sees and the settings keep
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
