#include "app/InputHold.h"

#include <QApplication>
#include <QEvent>
#include <QMetaObject>
#include <QWidget>

namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
        return true;
    default:
        return false;
    }
}

bool blockedByModal(QObject* receiver) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal)
        return false;
    auto* widget = qobject_cast<QWidget*>(receiver);
    return !widget || (widget->window() != modal && !modal->isAncestorOf(widget));
}

} // namespace

TInputHold::TInputHold() = default;

TInputHold::~TInputHold() {
    SetHolding(false);
}

void TInputHold::SetHolding(bool holding) {
    if (holding == holding_)
        return;
    holding_ = holding;
    if (holding) {
        qApp->installEventFilter(this);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        return;
    }
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
    // Posted, so they arrive after the step that ended the pause; a pause begun by that step
    // holds them again, and a modal dialog it opened takes them as it takes any input: those
    // for the windows behind it are lost.
    for (auto& [receiver, event] : std::exchange(held_, {}))
        QMetaObject::invokeMethod(
            this,
            [receiver = receiver, event = std::shared_ptr<QEvent>(std::move(event))] {
                if (receiver && !blockedByModal(receiver))
                    QCoreApplication::sendEvent(receiver, event.get());
            },
            Qt::QueuedConnection);
}

bool TInputHold::eventFilter(QObject* receiver, QEvent* event) {
    if (!isUserInput(event->type()))
        return false;
    held_.emplace_back(receiver, std::unique_ptr<QEvent>(event->clone()));
    return true;
}
