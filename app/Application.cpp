#include "app/Application.h"

#include "app/ProgramInfo.h"
#include "app/WarningBoxes.h"

#include <QLibraryInfo>
#include <QTranslator>
#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The task bar takes the program's name from the application name. No display name: the
    // window system would append it to every window title.
    setApplicationName(QStringLiteral(ZUVEX_PROGRAM_TITLE));
    setApplicationVersion(QStringLiteral(ZUVEX_VERSION));
    // the desktop entry's id, so that the desktop matches the window to its menu entry
    setDesktopFileName(QStringLiteral(ZUVEX_APP_ID));
}

bool TApplication::loadGermanTranslations() {
    auto* translator = new QTranslator(this);
    if (!translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    installTranslator(translator);
    return true;
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowApplicationError(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowApplicationError(QStringLiteral("Unbekannter Fehler."));
    }
    return false;
}
