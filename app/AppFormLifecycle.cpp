#include "app/AppForm.h"
#include "link/LinkConversation.h"

#include <QCloseEvent>
#include <QScreen>
#include <QShowEvent>

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
    Conversation->StartSearch();
}

bool TAppForm::FormCloseQuery() {
    return QuerySaveChanges(QStringLiteral("Wollen Sie die Daten vor dem Beenden speichern?"));
}

void TAppForm::closeEvent(QCloseEvent* event) {
    if (!PortSettled) {
        if (ClosingStarted || !FormCloseQuery()) {
            event->ignore(); // refused, or the line is settling already
            return;
        }
        FormClose(); // settles at once when the port was closed
        ClosingStarted = !PortSettled;
        if (!PortSettled) {
            event->ignore(); // closed again once the line has settled
            return;
        }
    }
    PortSettled = ClosingStarted = false;
    event->accept();
}

void TAppForm::FormClose() {
    SaveSettings();
    // The device's side of the line settles for a second before the window goes; the
    // conversation's pending steps end here, so nothing more is sent.
    Conversation->CloseDevicePort([this] {
        PortSettled = true;
        if (ClosingStarted)
            close();
    });
}
