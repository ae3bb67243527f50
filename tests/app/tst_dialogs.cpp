// The shared dialogs: calling pattern, keyboard answers, the programming result box's hold;
// the application object's German platform dialogs and its general error box.
#include "WindowTest.h"
#include "app/Application.h"

#include <stdexcept>

namespace {
// Throws out of its event handler, as a command that fails beyond its own error handling.
class Thrower : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw std::runtime_error("Der Port COM3 existiert nicht.");
        return QObject::event(e);
    }
};
} // namespace

class TestDialogs : public QObject, AppWithSim {
    Q_OBJECT

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void sizesAndFixedBorder() {
        const struct {
            TMessageDialog* d;
            QSize size;
        } all[] = {{dialog<TAboutBox>("AboutBox"), {298, 208}},
                   {dialog<TErrorDialog>("ErrorDialog"), {321, 165}},
                   {dialog<TUpDownLoad>("UpDownLoad"), {313, 214}},
                   {dialog<TProgErgebnisDialog>("ProgErgebnisDialog"), {313, 214}},
                   {dialog<THinweisBox>("HinweisBox"), {321, 165}},
                   {dialog<TErgebnisDialog>("ErgebnisDialog"), {313, 214}}};
        for (const auto& e : all) {
            QCOMPARE(e.d->size(), e.size);
            QCOMPARE(e.d->minimumSize(), e.d->maximumSize());
        }
        QCOMPARE(dialog<TUpDownLoad>("UpDownLoad")->windowTitle(),
                 QStringLiteral("Datenügertragung"));
    }

    void hinweisBoxKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("expected");
        QTest::newRow("Enter answers Ja") << int(Qt::Key_Return) << int(mrYes);
        QTest::newRow("Esc answers Nein") << int(Qt::Key_Escape) << int(mrNo);
        QTest::newRow("close box answers Abbrechen") << 0 << int(mrCancel);
    }
    void hinweisBoxKeys() {
        QFETCH(int, key);
        QFETCH(int, expected);
        ModalAnswer a("HinweisBox", [key](QWidget* w) {
            key ? QTest::keyClick(w, Qt::Key(key)) : void(w->close());
        });
        const int result =
            ShowMessageDialog(dialog<THinweisBox>("HinweisBox"), "Hinweis", {"eins", "", "drei"});
        QVERIFY(a.seen());
        QCOMPARE(a.lines, (QStringList{"eins", "", "drei"}));
        QCOMPARE(result, expected);
        QVERIFY(dialog<THinweisBox>("HinweisBox")
                    ->Lines()
                    .isEmpty()); // lines cleared after the showing
    }

    void errorDialogIgnoresEscAndKeepsFocusOffText() {
        bool stillOpenAfterEsc = false;
        bool focusOnOk = false;
        ModalAnswer a("ErrorDialog", [&](QWidget* w) {
            QTest::keyClick(w, Qt::Key_Escape);
            stillOpenAfterEsc = w->isVisible();
            auto* msg = w->findChild<QPlainTextEdit*>("Message");
            QTest::mouseClick(msg->viewport(), Qt::LeftButton);
            focusOnOk = w->focusWidget() == w->findChild<QPushButton*>("OKBtn");
            QTest::keyClick(w, Qt::Key_Return);
        });
        QCOMPARE(ShowMessageDialog(dialog<TErrorDialog>("ErrorDialog"), "Fehler", {"Fehler!"}),
                 int(mrOk));
        QVERIFY(a.seen());
        QVERIFY(stillOpenAfterEsc);
        QVERIFY(focusOnOk);
    }

    // Twice, to show that each showing has its own fresh wait and adds its line once.
    void progErgebnisHoldsForTwoPointSevenSeconds() {
        for (int round = 0; round < 2; ++round) {
            QElapsedTimer clock;
            qint64 closedAt = -1;
            bool refusedEarly = false;
            QStringList linesAtEnd;
            ModalAnswer a("ProgErgebnisDialog", [&](QWidget* w) {
                auto* dlg = static_cast<TProgErgebnisDialog*>(w);
                auto* ok = dlg->OKBtn;
                QVERIFY(!ok->isEnabled());
                QTest::keyClick(w, Qt::Key_Escape);
                w->close();
                QTest::mouseClick(dlg->Message->viewport(), Qt::LeftButton);
                refusedEarly = w->isVisible();
                QVERIFY(QTest::qWaitFor([&] { return ok->isEnabled(); }, 5000));
                linesAtEnd = dlg->Lines();
                closedAt = clock.elapsed();
                ok->click();
            });
            clock.start();
            dialog<TProgErgebnisDialog>("ProgErgebnisDialog")->ClearLines();
            ShowMessageDialog(dialog<TProgErgebnisDialog>("ProgErgebnisDialog"),
                              "Konfiguration Programmieren",
                              {"", "Das Programmieren der Konfiguration war erfolgreich."});
            QVERIFY(a.seen());
            QVERIFY(refusedEarly);
            QVERIFY2(closedAt >= TProgErgebnisDialog::HoldMs,
                     qPrintable(QString::number(closedAt)));
            QCOMPARE(linesAtEnd,
                     (QStringList{"", "Das Programmieren der Konfiguration war erfolgreich.",
                                  "Die Anlage wurde neu gestartet."}));
            QVERIFY(!dialog<TProgErgebnisDialog>("ProgErgebnisDialog")->Timer1->isActive());
        }
    }

    void transferBoxDisablesWindowUntilClosed() {
        dialog<TUpDownLoad>("UpDownLoad")->show();
        QVERIFY(!form->isEnabled());
        QVERIFY(dialog<TUpDownLoad>("UpDownLoad")->isEnabled());
        QTest::mouseClick(dialog<TUpDownLoad>("UpDownLoad")->CancelBtn,
                          Qt::LeftButton); // "Abbrechen" closes it
        QVERIFY(!dialog<TUpDownLoad>("UpDownLoad")->isVisible());
        QVERIFY(form->isEnabled());
        // closing it by the program when it was never shown still enables the window
        form->setEnabled(false);
        dialog<TUpDownLoad>("UpDownLoad")->CloseBox();
        QVERIFY(form->isEnabled());
    }

    void aboutBox() {
        ModalAnswer a("AboutBox", press("OKBtn"));
        action(*form, "HelpAbout1")->trigger();
        QVERIFY(a.seen());
        QCOMPARE(a.caption, QStringLiteral("Info"));
        auto text = [this](const char* name) {
            return dialog<TAboutBox>("AboutBox")
                ->findChild<QLabel*>(QString::fromLatin1(name))
                ->text();
        };
        QCOMPARE(text("ProductName"), QStringLiteral("Zuvex 910k Konfigurator"));
        QCOMPARE(text("Version"), QStringLiteral("Version 1.0")); // of version 1.0.0
        // the program icon, compiled in from the pictures rendered at build time
        const QPixmap icon =
            dialog<TAboutBox>("AboutBox")->findChild<QLabel*>("ProgramIcon")->pixmap();
        QCOMPARE(icon.size(), QSize(32, 32));
        QVERIFY(!form->windowIcon().availableSizes().isEmpty());
    }

    void germanTranslationsLoaded() {
        QVERIFY(static_cast<TApplication*>(qApp)->loadGermanTranslations());
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
    TestDialogs test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_dialogs.moc"
