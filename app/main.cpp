#include "app/AppForm.h"
#include "app/Application.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    app.loadGermanTranslations();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TAppForm form;
    form.show();
    return app.exec();
}
