#include "config/ApplicationHint.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>
#include <QWidget>

namespace Hint {
void set(QObject* object, const QString& hint) {
    object->setProperty(Property, hint);
}

QString of(const QObject* object) {
    return object->property(Property).toString();
}

QString shortPart(const QString& hint) {
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.left(bar);
}

QString longPart(const QString& hint) {
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.mid(bar + 1);
}

QString forTopic(int topic) {
    return QStringLiteral("|") + QString::number(topic);
}

QString ofAction(const QAction* action) {
    if (!action)
        return QString();
    QString hint = of(action);
    if (hint.isEmpty() && action->menu())
        hint = of(action->menu());
    return hint;
}

QString resolve(const QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        QString hint = of(widget);
        // A tool button shows the hint of its action unless it has its own.
        if (hint.isEmpty())
            if (auto* button = qobject_cast<const QToolButton*>(widget))
                hint = ofAction(button->defaultAction());
        if (!hint.isEmpty())
            return hint;
    }
    return QString();
}
} // namespace Hint

TApplicationHint::TApplicationHint(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

TApplicationHint::~TApplicationHint() {
    if (qApp)
        qApp->removeEventFilter(this);
}

void TApplicationHint::SetHint(const QString& hint) {
    if (hint == current_)
        return;
    current_ = hint;
    if (OnApplicationHint)
        OnApplicationHint(current_);
}

void TApplicationHint::watchMenu(QMenu* menu) {
    connect(menu, &QMenu::hovered, this, &TApplicationHint::menuHovered, Qt::UniqueConnection);
    connect(menu, &QObject::destroyed, this, &TApplicationHint::menuDestroyed,
            Qt::UniqueConnection);
}

void TApplicationHint::menuHovered(QAction* action) {
    SetHint(Hint::ofAction(action));
}

void TApplicationHint::menuDestroyed(QObject* menu) {
    openMenus_.remove(menu);
}

void TApplicationHint::hoverWidget(QWidget* widget) {
    if (openMenus_.isEmpty())
        SetHint(Hint::resolve(widget));
}

bool TApplicationHint::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Show:
        if (auto* menu = qobject_cast<QMenu*>(watched)) {
            // Opening a menu highlights its title: the hint of the menu's own item.
            watchMenu(menu);
            openMenus_.insert(menu);
            SetHint(Hint::ofAction(menu->menuAction()));
        }
        break;
    case QEvent::Hide:
        if (openMenus_.remove(watched))
            SetHint(QString());
        break;
    case QEvent::MouseMove: {
        // The platform window sees the event first; only the widgets' copies count.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget)
            break;
        // Without a button the event goes to the widget under the pointer; with one it
        // goes to the widget that grabbed the mouse.
        if (auto* mouse = static_cast<QMouseEvent*>(event); mouse->buttons() != Qt::NoButton)
            widget = QApplication::widgetAt(mouse->globalPosition().toPoint());
        if (widget)
            hoverWidget(widget);
        break;
    }
    case QEvent::Enter:
        if (auto* widget = qobject_cast<QWidget*>(watched))
            hoverWidget(widget);
        break;
    case QEvent::Leave:
        // The pointer left one of our windows: nothing of ours is under it now. Entering
        // another window resolves again.
        if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->isWindow())
            hoverWidget(nullptr);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
