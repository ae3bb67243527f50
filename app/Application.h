#pragma once

#include <QApplication>

// The application object: German platform dialogs, and the general error display for any
// failure that escapes an event handler.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    // Loads Qt's German translations; false when they are not installed.
    bool loadGermanTranslations();
};
