// The PIN dialog: what can be typed, the checks when a field is left and when OK is pressed.
#include "ModalDriver.h"
#include "QtPool.h"
#include "app/MessageDialogs.h"
#include "link/NeuePINDlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <map>
#include <memory>
#include <optional>

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

    // The steps: "AltePIN=12" sets a field's text, "AltePIN:12" types into it,
    // "AltePIN:Tab" presses a key in it, "AltePIN:Enter" puts the focus there and presses
    // Return, "click:OKBtn" clicks a button.
    void entries_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("error"); // the error box's second line; none if empty
        QTest::addColumn<QString>("focus"); // the field with the focus afterwards, if open
        QTest::addColumn<QByteArray>("oldPin");
        const int no = QDialog::Rejected, yes = QDialog::Accepted;
        const struct {
            const char *name, *steps;
            int result;
            QString error;
            const char *focus, *oldPin;
        } rows[] = {
            {"leaving a short field with Tab", "AltePIN:123 AltePIN:Tab", no, TooShort, "AltePIN",
             ""},
            {"leaving a full field is quiet", "AltePIN:1234 AltePIN:Tab", no, "", "NeuePIN1", ""},
            {"cancel from a half-filled field", "AltePIN:12 click:CancelBtn", no, "", "", ""},
            {"Escape from a half-filled field", "NeuePIN1:9 NeuePIN1:Escape", no, "", "", ""},
            // Enter in the field at fault (reaching it leaves only complete fields): OK is the
            // default button
            {"OK: old PIN short", "AltePIN=12 NeuePIN1=5678 NeuePIN2=5678 AltePIN:Enter", no,
             TooShort, "AltePIN", ""},
            {"OK: new PIN short", "AltePIN=1234 NeuePIN2=5678 NeuePIN1:Enter", no, TooShort,
             "NeuePIN1", ""},
            {"OK: repetition short", "AltePIN=1234 NeuePIN1=5678 NeuePIN2=567 NeuePIN2:Enter", no,
             TooShort, "NeuePIN2", ""},
            {"OK: different new PINs", "AltePIN=1234 NeuePIN1=5678 NeuePIN2=5679 NeuePIN2:Enter",
             no, Different, "NeuePIN2", ""},
            {"valid entries close with OK",
             "AltePIN:0815 AltePIN:Tab NeuePIN1:4711 NeuePIN1:Tab "
             "NeuePIN2:4711 click:OKBtn",
             yes, "", "", "0815"},
        };
        for (const auto& r : rows)
            QTest::newRow(r.name) << QString(r.steps) << r.result << r.error << QString(r.focus)
                                  << QByteArray(r.oldPin);
    }
    void entries() {
        QFETCH(QString, steps);
        QFETCH(QString, error);
        QFETCH(QString, focus);
        std::optional<ModalAnswer> box;
        if (!error.isEmpty())
            box.emplace(QStringLiteral("ErrorDialog"), press("OKBtn"));
        const std::map<QString, Qt::Key> keys{
            {"Tab", Qt::Key_Tab}, {"Escape", Qt::Key_Escape}, {"Enter", Qt::Key_Return}};
        const int result = runDialog([&] {
            QCOMPARE(focused(), dlg->AltePIN);
            for (const QString& step : steps.split(u' ')) {
                const QRegularExpression separator("[=:]");
                const QString name = step.section(separator, 0, 0);
                const QString arg = step.section(separator, 1);
                auto* field = dlg->findChild<QLineEdit*>(name);
                if (name == "click") {
                    QTest::mouseClick(dlg->findChild<QPushButton*>(arg), Qt::LeftButton);
                } else if (step.contains(u'=')) {
                    field->setText(arg);
                } else if (keys.count(arg)) {
                    if (arg == "Enter")
                        field->setFocus();
                    QTest::keyClick(field, keys.at(arg));
                } else {
                    QTest::keyClicks(field, arg);
                }
            }
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
