// Firmware update and PIN change without the window: the record transfer and its raw port end
// to end against the simulated telephone system, and the firmware and PIN dialogs on their own.
#include "FirmwareSim.h"
#include "LinkRig.h"
#include "OpenDescriptors.h"
#include "PtyPair.h"
#include "QtPool.h"
#include "app/MessageDialogs.h"
#include "link/FirmwareDlg.h"
#include "link/NeuePINDlg.h"

#include <QtWidgets>

using namespace zuvexsim;
using Bytes = std::vector<std::uint8_t>;

namespace {

const QString Port = QStringLiteral("COM3");
constexpr int NotAPort = 0;
constexpr int RejectedEveryTime = 100; // more often than the transfer sends a record
const Bytes TwoRecords{0x00, 0x03, 0x41, 0x42, 0x43, 0x00, 0x01, 0x44};

// The hex text of a firmware file holding `bytes`, 16 values a line.
QByteArray firmwareText(const Bytes& bytes) {
    QByteArray text;
    constexpr std::size_t ValuesPerLine = 16;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text += QByteArray::number(bytes[i], 16).rightJustified(2, '0').toUpper();
        text += ((i + 1) % ValuesPerLine == 0 || i + 1 == bytes.size()) ? "\r\n" : " ";
    }
    return text;
}

// `count` records of `payload` bytes each; record i carries the byte i + 1.
Bytes firmwareRecords(std::size_t count, std::size_t payload) {
    Bytes bytes;
    for (std::size_t i = 0; i < count; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(payload >> 8));
        bytes.push_back(static_cast<std::uint8_t>(payload & 0xFF));
        bytes.insert(bytes.end(), payload, static_cast<std::uint8_t>(i + 1));
    }
    return bytes;
}

std::string asString(const Bytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

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
Q_DECLARE_METATYPE(TFirmwareOutcome)
Q_DECLARE_METATYPE(PinStep)

class TestFirmwareTransfer : public QObject, SimFixture {
    Q_OBJECT
    std::unique_ptr<TFirmwareDlg> firmware;
    std::unique_ptr<TNeuePINDlg> pin;
    std::unique_ptr<TErrorDialog> errorDialog;
    int errorBoxes = 0;
    std::vector<int> sleeps;
    std::vector<int> progress;
    QList<ShownBox> reports;
    std::function<void()> onReport; // runs inside the error report

    TFirmwareTransferHooks hooks() {
        TFirmwareTransferHooks h;
        h.progress = [this](int percent) { progress.push_back(percent); };
        h.sleep = [this](int ms) { sleeps.push_back(ms); };
        h.showError = [this](const QString& caption, const QStringList& lines) {
            reports << ShownBox(caption, lines);
            if (onReport)
                onReport();
        };
        return h;
    }

    QString firmwareFile(const QByteArray& text) { return home.writeFile("test.zfw", text); }

    TFirmwareOutcome load(const Bytes& bytes) {
        if (!EnterLoadingMode(Port))
            qWarning("the simulator did not enter loading mode");
        sim->clearTraffic();
        return TransferFirmware(firmwareFile(firmwareText(bytes)), Port, hooks());
    }

    void expectReport(const QString& caption, const QString& line) {
        QCOMPARE(reports, QList<ShownBox>{ShownBox(caption, {QStringLiteral("Fehler!"), line})});
    }

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
        sim = startSim(simOptions(TRawSerialPort::ComNumberOf(Port), FirmwareRestartMs));
        sleeps.clear();
        progress.clear();
        reports.clear();
        onReport = nullptr;
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

    // Every record once, in order; progress counts acknowledged bytes. Bytes after an ACK are
    // drained: four NAKs left in the line would otherwise end the transfer as a damaged file.
    void loads_data() {
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<std::string>("strayAfterAck");
        QTest::addColumn<std::vector<int>>("progress");
        const std::string nakNakNakNakAck = "\x15\x15\x15\x15\x11";
        QTest::newRow("two records")
            << TwoRecords << std::string() << std::vector<int>{0, 5 * 100 / 8};
        QTest::newRow("four records")
            << firmwareRecords(4, 8) << std::string() << std::vector<int>{0, 25, 50, 75};
        QTest::newRow("stray bytes after each acknowledgement")
            << firmwareRecords(3, 4) << nakNakNakNakAck
            << std::vector<int>{0, 6 * 100 / 18, 12 * 100 / 18};
    }
    void loads() {
        QFETCH(Bytes, bytes);
        QFETCH(std::string, strayAfterAck);
        sim->setStrayBytes("", strayAfterAck, static_cast<unsigned>(ReplyKind::RecordAck));
        QCOMPARE(load(bytes), TFirmwareOutcome::Loaded);
        QCOMPARE(sim->received(), asString(bytes));
        QTEST(progress, "progress");
        QCOMPARE(sleeps, LoadedPauses);
        QVERIFY(reports.empty());
        // the telephone system leaves loading mode by itself and keeps what it accepted
        QVERIFY(sim->waitForMode(DeviceMode::Restarting, ModeChangeWait));
        QCOMPARE(sim->lastFirmware(), bytes);
    }

    void rejections_data() {
        QTest::addColumn<int>("record");
        QTest::addColumn<int>("times");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<std::string>("sent");
        const std::string first = asString({0x00, 0x03, 0x41, 0x42, 0x43});
        const std::string second = asString({0x00, 0x01, 0x44});
        // answers 0x11, 0x15, 0x15, 0x11
        QTest::newRow("second record twice rejected")
            << 1 << 2 << int(TFirmwareOutcome::Loaded) << first + second + second + second;
        QTest::newRow("three rejections, then accepted")
            << 0 << 3 << int(TFirmwareOutcome::Loaded) << first + first + first + first + second;
        QTest::newRow("four rejections") << 1 << 4 << int(TFirmwareOutcome::Damaged)
                                         << first + second + second + second + second;
        QTest::newRow("rejected for good")
            << 0 << RejectedEveryTime << int(TFirmwareOutcome::Damaged)
            << first + first + first + first;
    }
    void rejections() {
        QFETCH(int, record);
        QFETCH(int, times);
        QFETCH(int, outcome);
        QFETCH(std::string, sent);
        sim->setRecordRejection(record, times);
        QCOMPARE(int(load(TwoRecords)), outcome);
        QCOMPARE(sim->received(), sent);
        if (outcome == int(TFirmwareOutcome::Loaded)) {
            QVERIFY(reports.empty());
        } else {
            expectReport(QStringLiteral("Fehler"), QStringLiteral("Die Datei ist beschädigt."));
            QCOMPARE(sleeps,
                     std::vector<int>{LoadedPauses.front()}); // no restart wait after a failure
        }
    }

    void noAcknowledgement() {
        sim->setSilentRecord(1);
        // the report comes after the port was closed: it can be opened again at once
        bool portFree = false;
        onReport = [&] {
            TRawSerialPort again;
            portFree = again.Open(Port, FirmwareBaud, FirmwareAckTimeoutMs);
        };
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(load(TwoRecords), TFirmwareOutcome::NoAnswer);
        QVERIFY2(clock.elapsed() >= 2 * FirmwareAckTimeoutMs,
                 qPrintable(QString::number(clock.elapsed())));
        expectReport(QStringLiteral("Schnittstellenfehler"),
                     QStringLiteral("Zuvex 910k antwortet nicht."));
        QVERIFY(portFree);
        QCOMPARE(sim->received(), asString(TwoRecords)); // nothing sent again
    }

    // A device that stops reading: the write gives up (no answer) instead of freezing the window.
    void deviceThatStopsReading() {
        constexpr int DeafCom = 5;
        constexpr std::size_t LargestRecord = 0xFFFF; // more than a pseudo-terminal takes
        PtyPair deaf;                                 // its master is never read
        QVERIFY(deaf.ok());
        QVERIFY(linkComPort(DeafCom, deaf.slavePath()));
        const QString file = firmwareFile(firmwareText(firmwareRecords(1, LargestRecord)));
        QCOMPARE(TransferFirmware(file, QStringLiteral("COM%1").arg(DeafCom), hooks()),
                 TFirmwareOutcome::NoAnswer);
        expectReport(QStringLiteral("Schnittstellenfehler"),
                     QStringLiteral("Zuvex 910k antwortet nicht."));
    }

    // The line goes down in the middle of a record: one report that says so, the port closed.
    void lineLost_data() {
        QTest::addColumn<long>("hangUpAfter"); // bytes received, the handshake's 3 included
        QTest::addColumn<std::string>("sent");
        QTest::newRow("first record") << 5L << asString({0x00, 0x03});
        QTest::newRow("second record") << 9L << asString({0x00, 0x03, 0x41, 0x42, 0x43, 0x00});
    }
    void lineLost() {
        QFETCH(long, hangUpAfter);
        QFETCH(std::string, sent);
        const std::string device = sim->slavePath();
        sim->setHangUpAfter(hangUpAfter);
        QCOMPARE(load(TwoRecords), TFirmwareOutcome::LineLost); // not "no answer" after 8 s
        QCOMPARE(sim->received(), sent);
        expectReport(QStringLiteral("Schnittstellenfehler"), LineLostOnCom3);
        QCOMPARE(DescriptorsOn(device), 0);
    }

    // Not one byte goes out when the port cannot be had or the file is broken.
    void nothingSent_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("held"); // the port held by another program
        QTest::addColumn<TFirmwareOutcome>("outcome");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("line");
        const QString good = firmwareFile(firmwareText(TwoRecords));
        const QString noPort =
            QStringLiteral("Auf die Schnittstelle kann nicht zugegriffen werden.");
        const auto portRow = [&](const char* name, const QString& port, bool held) {
            QTest::newRow(name) << good << port << held << TFirmwareOutcome::PortUnavailable
                                << "Schnittstellenfehler" << noPort;
        };
        portRow("no such port", QStringLiteral("COM9"), false);
        portRow("not a port name", QStringLiteral("LPT1"), false);
        portRow("held by another program", Port, true);
        // a file the loader cannot read, and one it refuses: its first line only
        QTest::newRow("missing file") << home.path("missing.zfw") << Port << false
                                      << TFirmwareOutcome::FileUnreadable << "Fehler"
                                      << "Auf die Firmwaredatei kann nicht zugegriffen werden.";
        QTest::newRow("record past the end")
            << home.writeFile("kurz.zfw", "00 03 41 42 43 00 02 44") << Port << false
            << TFirmwareOutcome::FileRefused << "Fehler"
            << "Die Firmwaredatei ist unvollständig: Der 2. Datensatz reicht über das Ende der "
               "Datei hinaus.";
    }
    void nothingSent() {
        QFETCH(QString, file);
        QFETCH(QString, port);
        QFETCH(bool, held);
        QFETCH(QString, caption);
        QFETCH(QString, line);
        TRawSerialPort other;
        if (held)
            QVERIFY(other.Open(Port, FirmwareBaud, FirmwareAckTimeoutMs));
        else
            QVERIFY(EnterLoadingMode(Port));
        sim->clearTraffic();
        QTEST(TransferFirmware(file, port, hooks()), "outcome");
        expectReport(caption, line);
        QCOMPARE(sim->received(), std::string());
    }

    // ---- the raw port itself ----

    void rawReadTakesAWholeReply() {
        TRawSerialPort port;
        QVERIFY(port.Open(Port, FirmwareBaud, FirmwareAckTimeoutMs));
        const std::uint8_t t[] = {'T', '\r'};
        QVERIFY(port.Write(t, sizeof t));
        std::uint8_t reply[12] = {};
        QVERIFY(port.Read(reply, sizeof reply));
        QCOMPARE(std::string(reply, reply + sizeof reply), std::string("Zuvex 910k\r\n"));
    }

    void rawPortIsExclusive() {
        TRawSerialPort first;
        TRawSerialPort second;
        QVERIFY(first.Open(Port, FirmwareBaud, FirmwareAckTimeoutMs));
        QVERIFY(!second.Open(Port, FirmwareBaud, FirmwareAckTimeoutMs));
        QVERIFY(!second.IsOpen());
        first.Close();
        QVERIFY(!first.IsOpen());
        QVERIFY(second.Open(Port, FirmwareBaud, FirmwareAckTimeoutMs));
        std::uint8_t byte = 0;
        QVERIFY(!first.Read(&byte, 1)); // a closed port reads nothing
        QVERIFY(!first.Write(&byte, 1));
    }

    void portNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number");
        QTest::newRow("COM3") << QStringLiteral("COM3") << 3;
        QTest::newRow("COM20") << QStringLiteral("COM20") << 20;
        QTest::newRow("COM0") << QStringLiteral("COM0") << NotAPort;
        QTest::newRow("COM") << QStringLiteral("COM") << NotAPort;
        QTest::newRow("COMx") << QStringLiteral("COMx") << NotAPort;
        QTest::newRow("com3") << QStringLiteral("com3") << NotAPort;
    }
    void portNames() {
        QFETCH(QString, name);
        QFETCH(int, number);
        QCOMPARE(TRawSerialPort::ComNumberOf(name), number);
    }

    // ---- the dialogs ----

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

    // The seven lines show whole, none wrapped, without scrolling, the memo inside the dialog.
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

    // The dialog closes once the transfer has ended, ready for the next; a failed one: window test.
    void firmwareTransfer() {
        QVERIFY(EnterLoadingMode(Port));
        int cancels = 0;
        QList<ShownBox> results;
        bool closeRefused = false;
        int progressAtResult = -1;
        firmware->OnCancelled = [&] { ++cancels; };
        firmware->Sleep = hooks().sleep;
        firmware->ShowErrorBox = hooks().showError;
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
            firmware->FirmwarePortName = Port;
            firmware->RunFirmwareUpdate();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(results, QList<ShownBox>{FirmwareLoaded});
        QVERIFY(reports.isEmpty());
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
        // the click takes the focus from the short field and presses OK: one report, not two
        QTest::newRow("click on OK from a short field")
            << PinSteps{typeIn("AltePIN", "1"), click("OKBtn")} << no << TooShort << "AltePIN"
            << QByteArray();
        // Enter in the field at fault presses OK, the default (reaching it leaves only full fields)
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

QTEST_MAIN(TestFirmwareTransfer)
#include "tst_firmware_transfer.moc"
