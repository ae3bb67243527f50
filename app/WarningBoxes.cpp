#include "app/WarningBoxes.h"

#include "app/ProgramInfo.h"

#include <QAbstractButton>
#include <QMessageBox>

void ShowWarningBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warnung"), text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("WarningBox"));
    box.exec();
}

bool AskWarningYesNo(QWidget* parent, const QString& objectName, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warnung"), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(objectName);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Ja"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&Nein"));
    return box.exec() == QMessageBox::Yes;
}

void ShowApplicationError(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral(ZUVEX_PROGRAM_TITLE), text,
                    QMessageBox::Ok);
    box.setObjectName(QStringLiteral("ApplicationErrorBox"));
    box.exec();
}
