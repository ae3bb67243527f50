// The firmware and PIN dialogs on their own: layout, what can be entered, the checks on
// "Start" and OK, and the transfer the firmware dialog runs against the simulated telephone
// system.
#include "FirmwareSim.h"
#include "QtPool.h"
#include "ShownBox.h"
#include "SimStart.h"
#include "app/MessageDialogs.h"
#include "link/FirmwareDlg.h"
#include "link/NeuePINDlg.h"

#include <QtWidgets>

using namespace zuvexsim;

namespace {

constexpr int DevicePort = 3;
const QSize FirmwareDialogSize(399, 333);
constexpr int FullProgress = 100; // percent
constexpr int MemoLines = 7;
constexpr int SmallestReadablePixels = 9;
constexpr int PinDigits = 4;

// Whether "Start", "Abbrechen", the file name and "..." are enabled, in that order.
using Controls = QList<bool>;
const Controls AllEnabled{true, true, true, true};
const Controls ButtonsOnly{true, true, false, false};
const Controls NoneEnabled{false, false, false, false};

const QString TooShort = QStringLiteral("Die PIN muß immer 4-stellig sein!");
const QString Different = QStringLiteral("Die neue PIN und die Wiederholung sind unterschiedlich!");

// One thing the user does in the PIN dialog, to a field or button by its object name.
using PinStep = std::function<void(QWidget& dialog)>;
using PinSteps = QList<PinStep>;

QLineEdit* field(QWidget& dialog, const char* name) {
    return dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
}
PinStep typeIn(const char* name, const char* digits) {
    return [=](QWidget& d) { QTest::keyClicks(field(d, name), digits); };
}
PinStep key(const char* name, Qt::Key key) {
    return [=](QWidget& d) { QTest::keyClick(field(d, name), key); };
}
PinStep enterIn(const char* name) { // focus the field, then Return
    return [=](QWidget& d) {
        field(d, name)->setFocus();
        QTest::keyClick(field(d, name), Qt::Key_Return);
    };
}
PinStep click(const char* button) {
    return [=](QWidget& d) {
        QTest::mouseClick(d.findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
    };
}

} // namespace
Q_DECLARE_METATYPE(PinStep)

class TestFirmwarePinDialogs : public QObject, SimFixture {
    Q_OBJECT
    std::unique_ptr<TFirmwareDlg> firmware;
    std::unique_ptr<TNeuePINDlg> pin;
    std::unique_ptr<TErrorDialog> errorDialog;
    int errorBoxes = 0;

    // Shows the dialog modally; `steps` run inside its modal loop.
    int runFirmware(const std::function<void()>& steps) {
        return ::runDialog(firmware.get(), steps, [this] { return !firmware->TransferRunning; });
    }
    int runPin(const std::function<void()>& steps) { return ::runDialog(pin.get(), steps); }
    Controls enabled() const {
        return {firmware->OKBtn->isEnabled(), firmware->CancelBtn->isEnabled(),
                firmware->Filename->isEnabled(), firmware->BtnSuchen->isEnabled()};
    }
    // The dialog's own focus, whether or not it is the active window just now.
    QLineEdit* focused() const { return qobject_cast<QLineEdit*>(pin->focusWidget()); }

private slots:
    void initTestCase() { useOneQtPoolThread(); }
    void init() {
        firmware = std::make_unique<TFirmwareDlg>();
        errorDialog = std::make_unique<TErrorDialog>();
        pin = std::make_unique<TNeuePINDlg>();
        errorBoxes = 0;
        pin->ShowErrorBox = [this](const QString& caption, const QStringList& lines) {
            ++errorBoxes;
            ShowMessageDialog(errorDialog.get(), caption, lines);
        };
    }
    void cleanup() {
        firmware.reset();
        pin.reset();
        errorDialog.reset();
        sim.reset();
    }

    void firmwareLayout() {
        QCOMPARE(firmware->windowTitle(), QStringLiteral("Firmware Update"));
        QCOMPARE(firmware->size(), FirmwareDialogSize);
        QCOMPARE(firmware->Memo1->toPlainText(),
                 "Bitte sichern Sie vor dem Einspielen der neuen Firmware ihre \n"
                 "Einstellungen .\n"
                 "Es kann sein, dass die Einstellungen nach dem Einspielen auf die \n"
                 "Werkseinstellungen zurückgestellt werden.\n"
                 "\n"
                 "Wählen Sie eine Firmwaredatei aus.\n"
                 "Klicken Sie dann auf Start, um mit dem Einspielen zu beginnen.");
        QVERIFY(firmware->Memo1->isReadOnly());
        for (const char* name :
             {"Memo1", "Filename", "BtnSuchen", "ProgressBar1", "OKBtn", "CancelBtn"})
            QVERIFY2(firmware->findChild<QWidget*>(QString::fromLatin1(name)), name);
        QCOMPARE(firmware->BtnSuchen->text(), QStringLiteral("..."));
        QCOMPARE(firmware->OKBtn->text(), QStringLiteral("Start"));
        QVERIFY(firmware->OKBtn->isDefault());
        QCOMPARE(firmware->CancelBtn->text(), QStringLiteral("Abbrechen"));
        QCOMPARE(firmware->ProgressBar1->minimum(), 0);
        QCOMPARE(firmware->ProgressBar1->maximum(), FullProgress);
        QCOMPARE(firmware->FirmwarePortName, QString());
        QVERIFY(!firmware->TransferRunning);
    }

    // The seven lines show as seven lines, none wrapped, all of them without scrolling, and
    // the memo lies inside the dialog.
    void firmwareMemoShowsItsLinesWhole() {
        firmware->show();
        QVERIFY(QTest::qWaitForWindowExposed(firmware.get()));
        QTextDocument* text = firmware->Memo1->document();
        QCOMPARE(text->blockCount(), MemoLines);
        for (QTextBlock block = text->begin(); block.isValid(); block = block.next())
            QVERIFY2(block.layout()->lineCount() == 1, qPrintable(block.text()));
        QCOMPARE(firmware->Memo1->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(firmware->Memo1->verticalScrollBar()->maximum(), 0);
        const QRect memo(firmware->Memo1->mapTo(firmware.get(), QPoint()), firmware->Memo1->size());
        QVERIFY(firmware->rect().contains(memo));
        QVERIFY(firmware->Memo1->font().pixelSize() >= SmallestReadablePixels);
    }

    void firmwareFileChoice() {
        TFileDialogRequest asked;
        QString answer = QStringLiteral("/tmp/neu.zfw");
        firmware->FileDialogProvider = [&](const TFileDialogRequest& r) {
            asked = r;
            return answer;
        };
        QTest::mouseClick(firmware->BtnSuchen, Qt::LeftButton);
        QVERIFY(!asked.save);
        QCOMPARE(asked.defaultSuffix, QStringLiteral("ZFW"));
        QCOMPARE(asked.fileName, QStringLiteral("*.zfw"));
        QCOMPARE(firmware->Filename->text(), answer);
        answer.clear(); // cancelled: the name stays
        QTest::mouseClick(firmware->BtnSuchen, Qt::LeftButton);
        QCOMPARE(firmware->Filename->text(), QStringLiteral("/tmp/neu.zfw"));
    }

    // The transfer closes the dialog (not before it has ended) and leaves it ready for the next
    // file; that a failed one does the same is the window's test.
    void firmwareTransfer() {
        sim = startSim(simOptions(DevicePort, FirmwareRestartMs));
        QVERIFY(EnterLoadingMode(QStringLiteral("COM3")));
        int cancels = 0;
        std::vector<int> sleeps;
        QList<ShownBox> errors;
        QList<ShownBox> results;
        bool closeRefused = false;
        int progressAtResult = -1;
        firmware->OnCancelled = [&] { ++cancels; };
        firmware->Sleep = [&](int ms) { sleeps.push_back(ms); };
        firmware->ShowErrorBox = [&](const QString& c, const QStringList& l) {
            errors << ShownBox(c, l);
        };
        firmware->ShowResultBox = [&](const QString& c, const QStringList& l) {
            results << ShownBox(c, l);
            QVERIFY(firmware->TransferRunning);
            QCOMPARE(enabled(), NoneEnabled);
            firmware->reject(); // Esc or the close box while the transfer runs
            closeRefused = firmware->isVisible();
            progressAtResult = firmware->ProgressBar1->value();
        };
        const int result = runFirmware([&] {
            firmware->Filename->setText(SampleFirmware());
            firmware->FirmwarePortName = QStringLiteral("COM3");
            firmware->RunFirmwareUpdate();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(results, QList<ShownBox>{ShownBox("Neue Firmware",
                                                   {QString(), "Das speichen der Firmware in der "
                                                               "Zuvex 910k war erfolgreich."})});
        QVERIFY(errors.isEmpty());
        QVERIFY(!firmware->TransferRunning);
        QCOMPARE(enabled(), ButtonsOnly);
        QCOMPARE(cancels, 0);
        QVERIFY(closeRefused);
        QVERIFY(progressAtResult > 0 && progressAtResult < FullProgress);
        QCOMPARE(sleeps, LoadedPauses); // the dialog's own sleep
        // shown again, the dialog is ready for the next file
        runFirmware([&] {
            QCOMPARE(enabled(), AllEnabled);
            QCOMPARE(firmware->ProgressBar1->value(), 0);
        });
    }

    void pinLayout() {
        QCOMPARE(pin->windowTitle(), QStringLiteral("Neuer Sicherheitscode"));
        for (QLineEdit* field : {pin->AltePIN, pin->NeuePIN1, pin->NeuePIN2}) {
            QCOMPARE(field->maxLength(), PinDigits);
            QCOMPARE(field->echoMode(), QLineEdit::Password);
        }
        QCOMPARE(pin->OKBtn->text(), QStringLiteral("OK"));
        QCOMPARE(pin->CancelBtn->text(), QStringLiteral("Abbrechen"));
        const QList<QWidget*> tabOrder{pin->AltePIN, pin->NeuePIN1, pin->NeuePIN2, pin->OKBtn,
                                       pin->CancelBtn};
        for (qsizetype i = 0; i + 1 < tabOrder.size(); ++i) {
            QWidget* next = tabOrder[i]->nextInFocusChain();
            while (!(next->focusPolicy() & Qt::TabFocus))
                next = next->nextInFocusChain();
            QCOMPARE(next, tabOrder[i + 1]);
        }
    }

    void pinOnlyDigitsCanBeTyped() {
        runPin([&] {
            QCOMPARE(focused(), pin->AltePIN);
            QTest::keyClicks(pin->AltePIN, QStringLiteral("1a 2-3.X"));
            QKeyEvent umlaut(QEvent::KeyPress, Qt::Key_Udiaeresis, Qt::NoModifier,
                             QStringLiteral("ü"));
            QApplication::sendEvent(pin->AltePIN, &umlaut);
            QCOMPARE(pin->AltePIN->text(), QStringLiteral("123"));
            QTest::keyClick(pin->AltePIN, Qt::Key_Backspace);
            QCOMPARE(pin->AltePIN->text(), QStringLiteral("12"));
            QTest::keyClicks(pin->AltePIN, QStringLiteral("3456"));
            QCOMPARE(pin->AltePIN->text(), QStringLiteral("1234")); // four at most
            // neither can non-digits be put in any other way
            pin->NeuePIN1->insert(QStringLiteral("4x"));
            QCOMPARE(pin->NeuePIN1->text(), QString());
            pin->NeuePIN1->insert(QStringLiteral("42"));
            QCOMPARE(pin->NeuePIN1->text(), QStringLiteral("42"));
        });
        QCOMPARE(errorBoxes, 0);
        QVERIFY(!TNeuePINDlg::PINKeyPress(QLatin1Char(' ')));
    }

    void pinEntries_data() {
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
        // the click takes the focus from the short field and presses OK: one report, not two
        QTest::newRow("click on OK from a short field")
            << PinSteps{typeIn("AltePIN", "1"), click("OKBtn")} << no << TooShort << "AltePIN"
            << QByteArray();
        QTest::newRow("OK: old PIN short")
            << PinSteps{typeIn("AltePIN", "12"), typeIn("NeuePIN1", "5678"),
                        typeIn("NeuePIN2", "5678"), enterIn("AltePIN")}
            << no << TooShort << "AltePIN" << QByteArray();
        QTest::newRow("OK: new PIN short")
            << PinSteps{typeIn("AltePIN", "1234"), typeIn("NeuePIN2", "5678"), enterIn("NeuePIN1")}
            << no << TooShort << "NeuePIN1" << QByteArray();
        QTest::newRow("OK: repetition short")
            << PinSteps{typeIn("AltePIN", "1234"), typeIn("NeuePIN1", "5678"),
                        typeIn("NeuePIN2", "567"), enterIn("NeuePIN2")}
            << no << TooShort << "NeuePIN2" << QByteArray();
        QTest::newRow("OK: different new PINs")
            << PinSteps{typeIn("AltePIN", "1234"), typeIn("NeuePIN1", "5678"),
                        typeIn("NeuePIN2", "5679"), enterIn("NeuePIN2")}
            << no << Different << "NeuePIN2" << QByteArray();
        QTest::newRow("valid entries close with OK")
            << PinSteps{typeIn("AltePIN", "0815"),  key("AltePIN", Qt::Key_Tab),
                        typeIn("NeuePIN1", "4711"), key("NeuePIN1", Qt::Key_Tab),
                        typeIn("NeuePIN2", "4711"), click("OKBtn")}
            << int(QDialog::Accepted) << QString() << closed << QByteArray("0815");
    }
    void pinEntries() {
        QFETCH(PinSteps, steps);
        QFETCH(QString, error);
        QFETCH(QString, focus);
        std::optional<ModalAnswer> box;
        if (!error.isEmpty())
            box.emplace(QStringLiteral("ErrorDialog"), press("OKBtn"));
        const int result = runPin([&] {
            QCOMPARE(focused(), pin->AltePIN);
            for (const PinStep& step : steps)
                step(*pin);
            if (box) {
                QVERIFY(box->waitSeen());
                QVERIFY(waitUntilModal(pin.get()));
                QVERIFY(pin->isVisible()); // the dialog stays open
            }
            if (!focus.isEmpty()) {
                QVERIFY(focused());
                QCOMPARE(focused()->objectName(), focus);
            }
        });
        QTEST(result, "result");
        QTEST(pin->OldPin, "oldPin");
        if (box) {
            QCOMPARE(box->caption, QStringLiteral("Eingabefehler"));
            QCOMPARE(box->lines, (QStringList{QStringLiteral("Fehler!"), error}));
        }
        // only the field at fault reports, not the one that briefly got the focus
        QCOMPARE(errorBoxes, box ? 1 : 0);
        // shown again: empty fields, focus in the old PIN
        runPin([&] {
            for (QLineEdit* field : {pin->AltePIN, pin->NeuePIN1, pin->NeuePIN2})
                QCOMPARE(field->text(), QString());
            QCOMPARE(focused(), pin->AltePIN);
        });
        QCOMPARE(errorBoxes, box ? 1 : 0);
    }
};

QTEST_MAIN(TestFirmwarePinDialogs)
#include "tst_firmware_pin_dialogs.moc"
