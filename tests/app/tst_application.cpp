// The application object: German platform dialogs and the general error display.
#include "ShownBox.h"
#include "app/Application.h"

#include <QTest>
#include <QTimer>
#include <stdexcept>

namespace {
class Thrower : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw std::runtime_error("Der Port COM3 existiert nicht.");
        return QObject::event(e);
    }
};
} // namespace

class TestApplication : public QObject {
    Q_OBJECT
private slots:
    void germanTranslationsLoaded() {
        auto* app = static_cast<TApplication*>(qApp);
        QVERIFY(app->loadGermanTranslations());
        QCOMPARE(QCoreApplication::translate("QFileDialog", "&Open"), QStringLiteral("&Öffnen"));
    }

    void escapingFailureShownAndLoopGoesOn() {
        Thrower thrower;
        ModalAnswer box("ApplicationErrorBox", press("OK"));
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QCOMPARE(shown(box, 5000),
                 ShownBox("Zuvex 910k Konfigurator", {"Der Port COM3 existiert nicht."}));
        bool later = false;
        QTimer::singleShot(0, [&] { later = true; });
        QVERIFY(QTest::qWaitFor([&] { return later; }));
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_application.moc"
