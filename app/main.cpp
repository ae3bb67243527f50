#include "app/AppForm.h"
#include "app/Application.h"
#include "app/CloseOnSignal.h"
#include "app/EventLoopChoice.h"
#include "app/Pictures.h"
#include "app/StartupErrors.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
    startup::watchStart();
    chooseEventLoop();
    TApplication app(argc, argv);
    startup::startDone();
    app.setWindowIcon(programIcon());
    app.loadGermanTranslations();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TCloseOnSignal closeOnSignal;
    TAppForm form;
    if (TCloseOnSignal::Requested())
        return 0; // a signal during start-up (its settings error box) ends the program
    form.show();
    // The first showing runs the device search in its own modal loops; a window closed in
    // there (by a signal) leaves nothing for the main loop to do.
    return form.isVisible() ? app.exec() : 0;
}
