#include "app/FileDialogs.h"

#include <QFileDialog>
#include <QStringList>

QString qtFilterFromBars(const QString& bars) {
    const QStringList parts = bars.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        // Qt reads the patterns from the brackets of the description.
        const QString& desc = parts[i];
        entries << (desc.contains(QLatin1Char('(')) ? desc : desc + " (" + parts[i + 1] + ")");
    }
    return entries.join(QStringLiteral(";;"));
}

QString runPlatformFileDialog(const TFileDialogRequest& request) {
    QFileDialog dlg;
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A name that does not exist may be typed in either dialog.
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setNameFilter(qtFilterFromBars(request.filter));
    dlg.setDefaultSuffix(request.defaultSuffix);
    dlg.setDirectory(request.directory);
    dlg.selectFile(request.fileName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().first();
}
