#pragma once

#include <QAction>
#include <QApplication>
#include <QWidget>

// The window's parts as a user finds them: by object name, dialogs among the top-level windows.

inline QAction* action(const QWidget& window, const char* name) {
    return window.findChild<QAction*>(QString::fromLatin1(name));
}

// A child of `window` of type T; with a name, the one of that object name.
template <class T> T* part(const QWidget& window, const char* name = nullptr) {
    return name ? window.findChild<T*>(QString::fromLatin1(name)) : window.findChild<T*>();
}

// The top-level dialog of that object name (the window's dialogs have no parent).
template <class T> T* dialog(const char* name) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String(name))
            if (auto* found = dynamic_cast<T*>(widget))
                return found;
    return nullptr;
}
