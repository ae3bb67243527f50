// "Neue Firmware..." and "Neuer Sicherheitscode" in the main window against the simulated
// telephone system. The handshakes and exchanges themselves are the conversation's; here the
// dialogs around them, the transfer the firmware dialog runs, and cancelling through them.
#include "FirmwareSim.h"
#include "LinkTestSupport.h"
#include "Unplug.h"
#include "WindowTest.h"
#include "link/FirmwareDlg.h"
#include "link/FirmwareTransfer.h"
#include "link/PortDialogs.h"
#include "link/RawSerialPort.h"
#include "serial/DataPacket.h"

using namespace zuvexsim;

namespace {

constexpr int DevicePort = 3;
constexpr int SlowRecordAckMs = 200; // the transfer runs long enough to be cut

// Picks the sample firmware and presses "Start".
void startWithSample(QWidget* w) {
    static_cast<TFirmwareDlg*>(w)->Filename->setText(SampleFirmware());
    pressButton(w, "OKBtn");
}

const QString CannotStart = QStringLiteral("Firmware Update kann nicht gestartet werden.");
const ShownBox Loaded("Neue Firmware",
                      {QString(), "Das speichen der Firmware in der Zuvex 910k war erfolgreich."});

const QString NewPin = QStringLiteral("4711");

enum class FirmwareStop { NoFile, FileRefused, NoFreePort, ChoiceCancelled, PortHeldElsewhere };
enum class PinStop { DialogCancelled, ChoiceCancelled, NoFreePort };

} // namespace
Q_DECLARE_METATYPE(FirmwareStop)
Q_DECLARE_METATYPE(PinStop)

class TestFirmwarePinApp : public QObject, AppWithSim {
    Q_OBJECT
    QTimer watch;
    bool portDialogShown = false; // either port choice
    bool transferBoxShown = false;

    void startSim() { sim = ::startSim(simOptions(DevicePort, FirmwareRestartMs)); }
    void usePortOfDevice() { form->Conversation->UsedComPort = DevicePort; }
    QString portInUseText() const { return ::portInUseText(*form); }

    // The firmware dialog has closed and the window is usable again.
    bool updateEnded() const {
        return !dialog<TFirmwareDlg>("FirmwareDlg")->isVisible() && form->isEnabled();
    }

private slots:
    void initTestCase() { useOneQtPoolThread(); }
    void init() {
        openWindow();
        portDialogShown = transferBoxShown = false;
        connect(&watch, &QTimer::timeout, [this] {
            if (!form)
                return;
            portDialogShown |= dialog<TWaehleComPortDlg>("WaehleComPortDlg")->isVisible() ||
                               dialog<TPortDialog>("PortDialog")->isVisible();
            transferBoxShown |= dialog<TUpDownLoad>("UpDownLoad")->isVisible();
        });
        watch.start(PollMs);
    }
    void cleanup() {
        watch.stop();
        watch.disconnect();
        closeWindow();
    }

    // No port in use: the free ports are offered, the chosen one is used; after the transfer
    // the telephone system is searched for again and its configuration read.
    void updateThroughPortChoice() {
        startSim();
        QStringList offered;
        const auto choose = [&](QWidget* w) {
            auto* list = w->findChild<QComboBox*>("CBSchnittstellen");
            for (int i = 0; i < list->count(); ++i)
                offered << list->itemText(i);
            pressButton(w, "OKBtn");
        };
        ModalAnswer firmware("FirmwareDlg", startWithSample);
        ModalAnswer choice("WaehleComPortDlg", choose);
        ModalAnswer loaded("ErgebnisDialog", press("OKBtn"), FirmwareUpdateAndReadMs);
        ModalAnswer read("ErgebnisDialog", press("OKBtn"), FirmwareUpdateAndReadMs);
        action(*form, "NeueFirmware1")->trigger();
        QCOMPARE(shown(loaded, FirmwareUpdateAndReadMs), Loaded);
        QCOMPARE(shown(read, FirmwareUpdateAndReadMs), shownAs(ReadDone));
        QCOMPARE(offered, QStringList{QStringLiteral("COM3")});
        QVERIFY(QTest::qWaitFor([&] { return updateEnded(); }));
        QCOMPARE(portInUseText(), portInUse(DevicePort));
        QVERIFY(!part<QTimer>(*form, "TimerFWUpdate")->isActive());
        QVERIFY(!dialog<TFirmwareDlg>("FirmwareDlg")->TransferRunning);
    }

    // The telephone system's line goes down (zuvex-sim killed) in the middle of the transfer:
    // one error box that says so, the dialog closes, the search finds nothing; after the
    // device is back, "Suchen" finds it and reads it. No descriptor of the dead line stays open.
    void deviceKilledDuringTransfer() {
        SimProcess dead(DevicePort, {"--reset", "--restart-ms", QString::number(FirmwareRestartMs),
                                     "--ack-delay", QString::number(SlowRecordAckMs)});
        QVERIFY(dead.ready());
        usePortOfDevice();
        ModalAnswer firmware("FirmwareDlg", startWithSample);
        ModalAnswer error("ErrorDialog", press("OKBtn"), FirmwareUpdateAndReadMs);
        // pulled out while the transfer lets the window repaint after a record
        Unplug unplug(
            dead, [&] { return dialog<TFirmwareDlg>("FirmwareDlg")->ProgressBar1->value() > 0; },
            PollMs, DevicePort);
        ModalAnswer read("ErgebnisDialog", press("OKBtn"), FirmwareUpdateAndReadMs);
        action(*form, "NeueFirmware1")->trigger();
        QCOMPARE(shown(read, FirmwareUpdateAndReadMs), shownAs(ReadDone));
        QVERIFY(unplug.killed);
        QCOMPARE(shown(error), ShownBox("Schnittstellenfehler", {"Fehler!", LineLostOnCom3}));
        QVERIFY(unplug.noDevice().seen());
        QCOMPARE(unplug.leftOpen, 0);
        QVERIFY(QTest::qWaitFor([&] { return updateEnded(); }));
        QCOMPARE(portInUseText(), portInUse(DevicePort));
        QVERIFY(!dialog<TFirmwareDlg>("FirmwareDlg")->TransferRunning);
    }

    void handshakeWithoutL_data() {
        QTest::addColumn<bool>("watchdogFires"); // else "Abbrechen" stops the handshake first
        QTest::newRow("watchdog fires") << true;
        QTest::newRow("Abbrechen") << false;
    }
    // No "L": the firmware watchdog reports it while the firmware dialog stays open, unless
    // "Abbrechen" stops the handshake first. Either way the watchdog goes off and the window
    // is usable; with a port in use no port choice comes.
    void handshakeWithoutL() {
        QFETCH(bool, watchdogFires);
        startSim();
        sim->setNeverSendL(true);
        usePortOfDevice();
        QElapsedTimer clock;
        std::optional<ModalAnswer> error;
        ModalAnswer firmware("FirmwareDlg", [&](QWidget* w) {
            clock.start(); // before "Start", which starts the watchdog
            startWithSample(w);
            QVERIFY(QTest::qWaitFor([&] { return sim->received() == "U\r<"; }));
            QVERIFY(part<QTimer>(*form, "TimerFWUpdate")->isActive());
            QVERIFY(!error || error->waitSeen(WatchdogReportMs));
            pressButton(w, "CancelBtn");
        });
        qint64 reportedAfter = 0;
        bool dialogOpenAtReport = false;
        if (watchdogFires)
            error.emplace(
                "ErrorDialog",
                [&](QWidget* w) {
                    reportedAfter = clock.elapsed();
                    dialogOpenAtReport = dialog<TFirmwareDlg>("FirmwareDlg")->isVisible();
                    pressButton(w, "OKBtn");
                },
                WatchdogReportMs);
        action(*form, "NeueFirmware1")->trigger();
        QVERIFY(firmware.seen());
        if (error) {
            QCOMPARE(shown(*error), shownAs(FirmwareNotStarted));
            QVERIFY2(reportedAfter >= FirmwareWatchdogMs,
                     qPrintable(QString::number(reportedAfter)));
            QVERIFY(dialogOpenAtReport);
        }
        QVERIFY(!part<QTimer>(*form, "TimerFWUpdate")->isActive());
        QVERIFY(!form->DataPacket1->Enabled());
        QVERIFY(form->isEnabled());
        QVERIFY(!portDialogShown);
    }

    void firmwareStartRefused_data() {
        QTest::addColumn<FirmwareStop>("stop");
        QTest::addColumn<QStringList>("warning");
        QTest::newRow("no file name")
            << FirmwareStop::NoFile << QStringList{"Keine Datei ausgewählt"};
        // which files are refused is the loader's
        QTest::newRow("refused file")
            << FirmwareStop::FileRefused
            << QStringList{"Auf die Firmwaredatei kann nicht zugegriffen werden.", CannotStart};
        QTest::newRow("no free port")
            << FirmwareStop::NoFreePort
            << QStringList{QStringLiteral("Keine freie COM-Schnittstelle gefunden."), CannotStart};
        QTest::newRow("port choice cancelled")
            << FirmwareStop::ChoiceCancelled
            << QStringList{QStringLiteral("Keine COM-Schnittstelle gewählt, oder die"),
                           QStringLiteral("Schnittstelle ist belegt."), CannotStart};
        QTest::newRow("port in use held elsewhere")
            << FirmwareStop::PortHeldElsewhere
            << QStringList{QStringLiteral("COM-Schnittstelle kann nicht initialisiert werden."),
                           CannotStart};
    }
    // "Start" checks the file, then the port: the warning comes while the firmware dialog stays
    // open; nothing is sent.
    void firmwareStartRefused() {
        QFETCH(FirmwareStop, stop);
        QFETCH(QStringList, warning);
        TRawSerialPort other;
        if (stop != FirmwareStop::NoFreePort)
            startSim();
        if (stop == FirmwareStop::PortHeldElsewhere) {
            usePortOfDevice();
            QVERIFY(other.Open(QStringLiteral("COM3"), FirmwareBaud, FirmwareAckTimeoutMs));
        }
        const QString file = stop == FirmwareStop::NoFile        ? QString()
                             : stop == FirmwareStop::FileRefused ? home->path("fehlt.zfw")
                                                                 : SampleFirmware();
        bool stillOpen = false;
        std::optional<ModalAnswer> box;
        ModalAnswer firmware("FirmwareDlg", [&](QWidget* w) {
            static_cast<TFirmwareDlg*>(w)->Filename->setText(file);
            pressButton(w, "OKBtn");
            QVERIFY(box->waitSeen(ScanTimeoutMs)); // a click during the port scan would wait
            stillOpen = w->isVisible();
            pressButton(w, "CancelBtn");
        });
        std::optional<ModalAnswer> choice;
        if (stop == FirmwareStop::ChoiceCancelled)
            choice.emplace("WaehleComPortDlg", press("CancelBtn"));
        box.emplace("WarningBox", press("OK"));
        action(*form, "NeueFirmware1")->trigger();
        QCOMPARE(shown(*box), ShownBox("Warnung", warning));
        QVERIFY(stillOpen);
        QVERIFY(!choice || choice->seen());
        QVERIFY(!part<QTimer>(*form, "TimerFWUpdate")->isActive());
        if (sim)
            QCOMPARE(sim->received(), std::string());
    }

    void pinChange_data() {
        QTest::addColumn<bool>("portInUse"); // else the port is chosen in the port dialog
        QTest::newRow("port in use") << true;
        QTest::newRow("port chosen first") << false;
    }
    // The PINs go from the dialog's fields to the device; which answers fail, and what goes
    // out, is the conversation's.
    void pinChange() {
        QFETCH(bool, portInUse);
        startSim();
        if (portInUse)
            usePortOfDevice(); // no port dialog, ENQ at once
        ModalAnswer pin("NeuePINDlg", enterPins("0000", NewPin));
        std::optional<ModalAnswer> port;
        if (!portInUse)
            port.emplace("PortDialog", [](QWidget* w) {
                static_cast<TPortDialog*>(w)->COMBtn[DevicePort - 1]->click();
                pressButton(w, "OKBtn");
            });
        ModalAnswer end("ErgebnisDialog", press("OKBtn"));
        action(*form, "NewPIN")->trigger();
        QCOMPARE(shown(end, FlowEndMs), shownAs(PinChanged));
        QCOMPARE(sim->pin(), NewPin.toStdString());
        QVERIFY(!port || port->seen());
        QVERIFY(!portInUse || !portDialogShown);
        if (!portInUse)
            QCOMPARE(portInUseText(), ::portInUse(DevicePort));
        QVERIFY(QTest::qWaitFor([&] { return flowEnded(*form); }));
    }

    void pinNothingSent_data() {
        QTest::addColumn<PinStop>("stop");
        QTest::newRow("PIN dialog cancelled") << PinStop::DialogCancelled;
        QTest::newRow("port choice cancelled") << PinStop::ChoiceCancelled;
        QTest::newRow("no free port") << PinStop::NoFreePort;
    }
    // Nothing is sent when the dialog or the port choice is cancelled, or no port is free.
    void pinNothingSent() {
        QFETCH(PinStop, stop);
        startSim();
        if (stop == PinStop::NoFreePort)
            sim->stop();
        ModalAnswer pin("NeuePINDlg", stop == PinStop::DialogCancelled
                                          ? std::function<void(QWidget*)>(press("CancelBtn"))
                                          : enterPins("0000", NewPin));
        std::optional<ModalAnswer> port;
        std::optional<ModalAnswer> error;
        if (stop == PinStop::ChoiceCancelled)
            port.emplace("PortDialog", press("CancelBtn"));
        if (stop == PinStop::NoFreePort)
            error.emplace("ErrorDialog", press("OKBtn"));
        action(*form, "NewPIN")->trigger();
        QVERIFY(pin.seen());
        QVERIFY(!port || shown(*port, ScanTimeoutMs).seen);
        if (error)
            QCOMPARE(shown(*error, ScanTimeoutMs), shownAs(NoFreePort));
        QCOMPARE(sim->received(), std::string());
        QVERIFY(!transferBoxShown);
        QVERIFY(form->isEnabled());
        QCOMPARE(portInUseText(), NoPortInUse);
    }
};

QTEST_MAIN(TestFirmwarePinApp)
#include "tst_firmware_pin_app.moc"
