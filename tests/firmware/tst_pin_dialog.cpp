// The PIN dialog: what can be typed, the checks when a field is left and when OK is pressed.
#include "ModalDriver.h"
#include "QtPool.h"
#include "app/MessageDialogs.h"
#include "link/NeuePINDlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {

const QString TooShort = QStringLiteral("Die PIN muß immer 4-stellig sein!");
const QString Different = QStringLiteral("Die neue PIN und die Wiederholung sind unterschiedlich!");

} // namespace

class TestPinDialog : public QObject {
    Q_OBJECT
    std::unique_ptr<TNeuePINDlg> dlg;
    std::unique_ptr<TErrorDialog> errorDialog;
    int errorBoxes = 0;

    int runDialog(const std::function<void()>& steps) { return ::runDialog(dlg.get(), steps); }

    // The dialog's own focus, whether or not it is the active window just now.
    QLineEdit* focused() const { return qobject_cast<QLineEdit*>(dlg->focusWidget()); }

private slots:
    void initTestCase() { useOneQtPoolThread(); }
    void init() {
        errorDialog = std::make_unique<TErrorDialog>();
        dlg = std::make_unique<TNeuePINDlg>();
        errorBoxes = 0;
        // the main window's calling pattern of the error box
        dlg->ShowErrorBox = [this](const QString& caption, const QStringList& lines) {
            ++errorBoxes;
            errorDialog->setWindowTitle(caption);
            for (const QString& line : lines)
                errorDialog->AddLine(line);
            errorDialog->exec();
            errorDialog->ClearLines();
        };
    }
    void cleanup() {
        dlg.reset();
        errorDialog.reset();
    }

    void layout() {
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Neuer Sicherheitscode"));
        for (QLineEdit* field : {dlg->AltePIN, dlg->NeuePIN1, dlg->NeuePIN2}) {
            QCOMPARE(field->maxLength(), 4);
            QCOMPARE(field->echoMode(), QLineEdit::Password);
        }
        QCOMPARE(dlg->findChild<QLineEdit*>(QStringLiteral("NeuePIN2")), dlg->NeuePIN2);
        QCOMPARE(dlg->OKBtn->text(), QStringLiteral("OK"));
        QCOMPARE(dlg->CancelBtn->text(), QStringLiteral("Abbrechen"));
        // tab order AltePIN, NeuePIN1, NeuePIN2, OKBtn, CancelBtn
        auto nextTabStop = [](QWidget* w) {
            do
                w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus));
            return w;
        };
        QCOMPARE(nextTabStop(dlg->AltePIN), static_cast<QWidget*>(dlg->NeuePIN1));
        QCOMPARE(nextTabStop(dlg->NeuePIN1), static_cast<QWidget*>(dlg->NeuePIN2));
        QCOMPARE(nextTabStop(dlg->NeuePIN2), static_cast<QWidget*>(dlg->OKBtn));
        QCOMPARE(nextTabStop(dlg->OKBtn), static_cast<QWidget*>(dlg->CancelBtn));
    }

    void onlyDigitsCanBeTyped() {
        runDialog([&] {
            QCOMPARE(focused(), dlg->AltePIN);
            QTest::keyClicks(dlg->AltePIN, QStringLiteral("1a 2-3.X"));
            QKeyEvent umlaut(QEvent::KeyPress, Qt::Key_Udiaeresis, Qt::NoModifier,
                             QStringLiteral("ü"));
            QApplication::sendEvent(dlg->AltePIN, &umlaut);
            QCOMPARE(dlg->AltePIN->text(), QStringLiteral("123"));
            QTest::keyClick(dlg->AltePIN, Qt::Key_Backspace);
            QCOMPARE(dlg->AltePIN->text(), QStringLiteral("12"));
            QTest::keyClicks(dlg->AltePIN, QStringLiteral("3456"));
            QCOMPARE(dlg->AltePIN->text(), QStringLiteral("1234")); // four at most
            // neither can non-digits be put in any other way
            dlg->NeuePIN1->insert(QStringLiteral("4x"));
            QCOMPARE(dlg->NeuePIN1->text(), QString());
            dlg->NeuePIN1->insert(QStringLiteral("42"));
            QCOMPARE(dlg->NeuePIN1->text(), QStringLiteral("42"));
        });
        QCOMPARE(errorBoxes, 0);
        QVERIFY(TNeuePINDlg::PINKeyPress(QChar(8)));
        QVERIFY(!TNeuePINDlg::PINKeyPress(QLatin1Char(' ')));
    }

    void leavingShortFieldWithTab() {
        ModalAnswer box(QStringLiteral("ErrorDialog"), [](QWidget* d) { pressButton(d, "OKBtn"); });
        runDialog([&] {
            QTest::keyClicks(dlg->AltePIN, QStringLiteral("123"));
            QTest::keyClick(dlg->AltePIN, Qt::Key_Tab);
            QVERIFY(QTest::qWaitFor([&] { return box.seen(); }));
            QVERIFY(
                QTest::qWaitFor([&] { return QApplication::activeModalWidget() == dlg.get(); }));
            QCOMPARE(focused(), dlg->AltePIN);
            QVERIFY(dlg->isVisible());
        });
        QCOMPARE(box.caption, QStringLiteral("Eingabefehler"));
        QCOMPARE(box.lines, (QStringList{QStringLiteral("Fehler!"), TooShort}));
        QCOMPARE(errorBoxes, 1); // the field that briefly got the focus reports nothing
    }

    void leavingFullFieldIsQuiet() {
        runDialog([&] {
            QTest::keyClicks(dlg->AltePIN, QStringLiteral("1234"));
            QTest::keyClick(dlg->AltePIN, Qt::Key_Tab);
            QCOMPARE(focused(), dlg->NeuePIN1);
        });
        QCOMPARE(errorBoxes, 0);
    }

    void cancelFromHalfFilledField() {
        const int result = runDialog([&] {
            QTest::keyClicks(dlg->AltePIN, QStringLiteral("12"));
            QTest::mouseClick(dlg->CancelBtn, Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(errorBoxes, 0);
        QVERIFY(dlg->OldPin.isEmpty());
    }

    void escapeFromHalfFilledField() {
        const int result = runDialog([&] {
            QTest::keyClicks(dlg->NeuePIN1, QStringLiteral("9"));
            QTest::keyClick(dlg->NeuePIN1, Qt::Key_Escape);
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(errorBoxes, 0);
    }

    void okChecks_data() {
        QTest::addColumn<QString>("oldPin");
        QTest::addColumn<QString>("new1");
        QTest::addColumn<QString>("new2");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("line");
        QTest::newRow("old PIN short") << "12"
                                       << "5678"
                                       << "5678"
                                       << "AltePIN" << TooShort;
        QTest::newRow("new PIN short") << "1234"
                                       << ""
                                       << "5678"
                                       << "NeuePIN1" << TooShort;
        QTest::newRow("repetition short") << "1234"
                                          << "5678"
                                          << "567"
                                          << "NeuePIN2" << TooShort;
        QTest::newRow("different new PINs") << "1234"
                                            << "5678"
                                            << "5679"
                                            << "NeuePIN2" << Different;
    }
    void okChecks() {
        QFETCH(QString, oldPin);
        QFETCH(QString, new1);
        QFETCH(QString, new2);
        QFETCH(QString, field);
        QFETCH(QString, line);
        ModalAnswer box(QStringLiteral("ErrorDialog"), [](QWidget* d) { pressButton(d, "OKBtn"); });
        const int result = runDialog([&] {
            dlg->AltePIN->setText(oldPin);
            dlg->NeuePIN1->setText(new1);
            dlg->NeuePIN2->setText(new2);
            // Enter in the field at fault (reaching it leaves only complete fields)
            auto* at = dlg->findChild<QLineEdit*>(field);
            at->setFocus();
            QTest::keyClick(at, Qt::Key_Return); // OK is the default button
            QVERIFY(QTest::qWaitFor([&] { return box.seen(); }));
            QVERIFY(
                QTest::qWaitFor([&] { return QApplication::activeModalWidget() == dlg.get(); }));
            QVERIFY(dlg->isVisible()); // the dialog stays open
            QVERIFY(focused());
            QCOMPARE(focused()->objectName(), field);
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(box.caption, QStringLiteral("Eingabefehler"));
        QCOMPARE(box.lines, (QStringList{QStringLiteral("Fehler!"), line}));
        QCOMPARE(errorBoxes, 1);
    }

    // A click on OK that leaves a short field reports it once, not twice.
    void clickOkFromShortField() {
        ModalAnswer box(QStringLiteral("ErrorDialog"), [](QWidget* d) { pressButton(d, "OKBtn"); });
        // answers a second box, should the click bring one up as well
        ModalAnswer second(
            QStringLiteral("ErrorDialog"), [](QWidget* d) { pressButton(d, "OKBtn"); }, 5000);
        runDialog([&] {
            QTest::keyClicks(dlg->AltePIN, QStringLiteral("1"));
            QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
            QVERIFY(QTest::qWaitFor([&] { return box.seen(); }));
            QTest::qWait(1200);
            QCOMPARE(focused(), dlg->AltePIN);
        });
        QCOMPARE(errorBoxes, 1);
    }

    void validEntriesCloseWithOk() {
        const int result = runDialog([&] {
            QTest::keyClicks(dlg->AltePIN, QStringLiteral("0815"));
            QTest::keyClick(dlg->AltePIN, Qt::Key_Tab);
            QTest::keyClicks(dlg->NeuePIN1, QStringLiteral("4711"));
            QTest::keyClick(dlg->NeuePIN1, Qt::Key_Tab);
            QTest::keyClicks(dlg->NeuePIN2, QStringLiteral("4711"));
            QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(dlg->OldPin, QByteArray("0815"));
        QCOMPARE(errorBoxes, 0);
        // shown again: empty fields, focus in the old PIN
        runDialog([&] {
            QCOMPARE(dlg->AltePIN->text(), QString());
            QCOMPARE(dlg->NeuePIN1->text(), QString());
            QCOMPARE(dlg->NeuePIN2->text(), QString());
            QCOMPARE(focused(), dlg->AltePIN);
        });
        QCOMPARE(errorBoxes, 0);
    }
};

QTEST_MAIN(TestPinDialog)
#include "tst_pin_dialog.moc"
