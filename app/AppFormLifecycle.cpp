#include "app/AppForm.h"

#include <QCloseEvent>
#include <QShowEvent>
#include <QThread>

void TAppForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TAppForm::FormShow() {
    if (!FirstShow)
        return;
    FirstShow = false;
    LinkOperation = 1;
    SearchPort = 0;
    RunDeviceSearch(true);
}

bool TAppForm::FormCloseQuery() {
    return QuerySaveChanges(QStringLiteral("Wollen Sie die Daten vor dem Beenden speichern?"));
}

void TAppForm::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TAppForm::FormClose() {
    SaveSettings();
    CloseDevicePort();
}
