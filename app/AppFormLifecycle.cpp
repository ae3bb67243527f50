#include "app/AppForm.h"

#include <QCloseEvent>
#include <QScreen>
#include <QShowEvent>
#include <QThread>

namespace {
// Places the window in the middle of its screen's desktop (the screen without task bars).
void centreOnDesktop(QWidget* window) {
    QRect frame = window->frameGeometry();
    frame.moveCenter(window->screen()->availableGeometry().center());
    window->move(frame.topLeft());
}
} // namespace

void TAppForm::showEvent(QShowEvent* event) {
    if (FirstShow && !event->spontaneous())
        centreOnDesktop(this);
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TAppForm::FormShow() {
    if (!FirstShow)
        return;
    FirstShow = false;
    LinkOperation = ReadOperation;
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
