// The PIN dialog: what can be typed, the checks when a field is left and when OK is pressed.
#include "ModalDriver.h"
#include "QtPool.h"
#include "app/MessageDialogs.h"
#include "link/NeuePINDlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <optional>

namespace {

const QString TooShort = QStringLiteral("Die PIN muß immer 4-stellig sein!");
const QString Different = QStringLiteral("Die neue PIN und die Wiederholung sind unterschiedlich!");

// One thing the user does in the PIN dialog, to a field or button by its object name.
struct PinStep {
    enum Kind { TypeIn, Fill, Key, EnterIn, Click } kind;
    QString target;
    QString text;
    Qt::Key key = Qt::Key_unknown;
};
using PinSteps = QList<PinStep>;

PinStep typeIn(const char* field, const char* digits) {
    return {PinStep::TypeIn, field, digits, Qt::Key_unknown};
}
PinStep fill(const char* field, const char* digits) { // set without typing
    return {PinStep::Fill, field, digits, Qt::Key_unknown};
}
PinStep key(const char* field, Qt::Key key) {
    return {PinStep::Key, field, {}, key};
}
PinStep enterIn(const char* field) { // focus the field, then Return
    return {PinStep::EnterIn, field, {}, Qt::Key_Return};
}
PinStep click(const char* button) {
    return {PinStep::Click, button, {}, Qt::Key_unknown};
}

} // namespace
Q_DECLARE_METATYPE(PinStep)

class TestPinDialog : public QObject {
    Q_OBJECT
    std::unique_ptr<TNeuePINDlg> dlg;
    std::unique_ptr<TErrorDialog> errorDialog;
    int errorBoxes = 0;

    int runDialog(const std::function<void()>& steps) { return ::runDialog(dlg.get(), steps); }

    void perform(const PinStep& step) {
        auto* field = dlg->findChild<QLineEdit*>(step.target);
        switch (step.kind) {
        case PinStep::TypeIn:
            QTest::keyClicks(field, step.text);
            break;
        case PinStep::Fill:
            field->setText(step.text);
            break;
        case PinStep::Key:
            QTest::keyClick(field, step.key);
            break;
        case PinStep::EnterIn:
            field->setFocus();
            QTest::keyClick(field, step.key);
            break;
        case PinStep::Click:
            QTest::mouseClick(dlg->findChild<QPushButton*>(step.target), Qt::LeftButton);
            break;
        }
    }

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
        const QList<QWidget*> tabOrder{dlg->AltePIN, dlg->NeuePIN1, dlg->NeuePIN2, dlg->OKBtn,
                                       dlg->CancelBtn};
        for (qsizetype i = 0; i + 1 < tabOrder.size(); ++i) {
            QWidget* next = tabOrder[i]->nextInFocusChain();
            while (!(next->focusPolicy() & Qt::TabFocus))
                next = next->nextInFocusChain();
            QCOMPARE(next, tabOrder[i + 1]);
        }
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

    void entries_data() {
        QTest::addColumn<PinSteps>("steps");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("error"); // the error box's second line; none if empty
        QTest::addColumn<QString>("focus"); // the field with the focus afterwards, if open
        QTest::addColumn<QByteArray>("oldPin");
        const int no = QDialog::Rejected;
        const QString closed;
        QTest::newRow("leaving a short field with Tab")
            << PinSteps{typeIn("AltePIN", "123"), key("AltePIN", Qt::Key_Tab)} << no << TooShort
            << "AltePIN" << QByteArray();
        QTest::newRow("leaving a full field is quiet")
            << PinSteps{typeIn("AltePIN", "1234"), key("AltePIN", Qt::Key_Tab)} << no << QString()
            << "NeuePIN1" << QByteArray();
        QTest::newRow("cancel from a half-filled field")
            << PinSteps{typeIn("AltePIN", "12"), click("CancelBtn")} << no << QString() << closed
            << QByteArray();
        QTest::newRow("Escape from a half-filled field")
            << PinSteps{typeIn("NeuePIN1", "9"), key("NeuePIN1", Qt::Key_Escape)} << no << QString()
            << closed << QByteArray();
        // Enter in the field at fault (reaching it leaves only complete fields): OK is the
        // default button
        QTest::newRow("OK: old PIN short")
            << PinSteps{fill("AltePIN", "12"), fill("NeuePIN1", "5678"), fill("NeuePIN2", "5678"),
                        enterIn("AltePIN")}
            << no << TooShort << "AltePIN" << QByteArray();
        QTest::newRow("OK: new PIN short")
            << PinSteps{fill("AltePIN", "1234"), fill("NeuePIN2", "5678"), enterIn("NeuePIN1")}
            << no << TooShort << "NeuePIN1" << QByteArray();
        QTest::newRow("OK: repetition short")
            << PinSteps{fill("AltePIN", "1234"), fill("NeuePIN1", "5678"), fill("NeuePIN2", "567"),
                        enterIn("NeuePIN2")}
            << no << TooShort << "NeuePIN2" << QByteArray();
        QTest::newRow("OK: different new PINs")
            << PinSteps{fill("AltePIN", "1234"), fill("NeuePIN1", "5678"), fill("NeuePIN2", "5679"),
                        enterIn("NeuePIN2")}
            << no << Different << "NeuePIN2" << QByteArray();
        QTest::newRow("valid entries close with OK")
            << PinSteps{typeIn("AltePIN", "0815"),  key("AltePIN", Qt::Key_Tab),
                        typeIn("NeuePIN1", "4711"), key("NeuePIN1", Qt::Key_Tab),
                        typeIn("NeuePIN2", "4711"), click("OKBtn")}
            << int(QDialog::Accepted) << QString() << closed << QByteArray("0815");
    }
    void entries() {
        QFETCH(PinSteps, steps);
        QFETCH(QString, error);
        QFETCH(QString, focus);
        std::optional<ModalAnswer> box;
        if (!error.isEmpty())
            box.emplace(QStringLiteral("ErrorDialog"), press("OKBtn"));
        const int result = runDialog([&] {
            QCOMPARE(focused(), dlg->AltePIN);
            for (const PinStep& step : steps)
                perform(step);
            if (box) {
                QVERIFY(box->waitSeen());
                QVERIFY(waitUntilModal(dlg.get()));
                QVERIFY(dlg->isVisible()); // the dialog stays open
            }
            if (!focus.isEmpty()) {
                QVERIFY(focused());
                QCOMPARE(focused()->objectName(), focus);
            }
        });
        QTEST(result, "result");
        QTEST(dlg->OldPin, "oldPin");
        if (box) {
            QCOMPARE(box->caption, QStringLiteral("Eingabefehler"));
            QCOMPARE(box->lines, (QStringList{QStringLiteral("Fehler!"), error}));
        }
        // only the field at fault reports, not the one that briefly got the focus
        QCOMPARE(errorBoxes, box ? 1 : 0);
        // shown again: empty fields, focus in the old PIN
        runDialog([&] {
            for (QLineEdit* field : {dlg->AltePIN, dlg->NeuePIN1, dlg->NeuePIN2})
                QCOMPARE(field->text(), QString());
            QCOMPARE(focused(), dlg->AltePIN);
        });
        QCOMPARE(errorBoxes, box ? 1 : 0);
    }

    // A click on OK that leaves a short field reports it once, not twice.
    void clickOkFromShortField() {
        ModalAnswer box(QStringLiteral("ErrorDialog"), press("OKBtn"));
        // answers a second box, should the click bring one up as well
        ModalAnswer second(QStringLiteral("ErrorDialog"), press("OKBtn"));
        runDialog([&] {
            QTest::keyClicks(dlg->AltePIN, QStringLiteral("1"));
            QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
            QVERIFY(box.waitSeen());
            QTest::qWait(1200);
            QCOMPARE(focused(), dlg->AltePIN);
        });
        QCOMPARE(errorBoxes, 1);
    }
};

QTEST_MAIN(TestPinDialog)
#include "tst_pin_dialog.moc"
