// The window's link commands without a port in use: search, port choices, firmware and PIN.
// The exchanges are the conversation's; here the dialogs around them and cancelling through them.
#include "FirmwareSim.h"
#include "LinkTestSupport.h"
#include "OpenDescriptors.h"
#include "SimProcess.h"
#include "Unprivileged.h"
#include "WindowTest.h"
#include "link/FirmwareDlg.h"
#include "link/PortDialogs.h"
#include "link/SearchDialogs.h"
#include "serial/ComPortMap.h"

using namespace zuvexsim;

namespace {

using Answer = std::function<void(QWidget*)>;
Answer pressKeys(const QList<Qt::Key>& keys) {
    return [=](QWidget* w) {
        for (Qt::Key key : keys)
            QTest::keyClick(w, key);
    };
}
Answer choose(const char* port, const char* button) {
    return [=](QWidget* w) {
        w->findChild<QRadioButton*>(port)->click();
        pressButton(w, button);
    };
}

constexpr int NoPort = 0;                 // no port in use
constexpr int PortBefore = 5;             // before the firmware's port chooser
constexpr int NoDeviceDialogHeight = 137; // without the permission line

// Watches which window dialogs showed, the search dialog's labels, whether its buttons were on.
struct DialogWatch {
    QSet<QString> shown;
    QStringList labels;
    bool searchButtonsEnabled = false;
    QTimer timer;
    DialogWatch() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            for (const QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible())
                    shown << w->objectName();
            TSuchenDlg* dlg = dialog<TSuchenDlg>("SuchenDlg");
            searchButtonsEnabled |=
                dlg->isVisible() && (dlg->OKBtn->isEnabled() || dlg->CancelBtn->isEnabled());
            const QString text = dlg->lblComPortNumber->text();
            if (!text.isEmpty() && (labels.isEmpty() || labels.last() != text))
                labels << text;
        });
        timer.start(PollMs);
    }
};

// A state of the port dialog's buttons for COM1 to COM4.
template <class State> QList<bool> comButtons(QWidget* dialog, State state) {
    QList<bool> states;
    for (int i = 1; i <= 4; ++i)
        states << state(dialog->findChild<QRadioButton*>(QStringLiteral("COM%1Btn").arg(i)));
    return states;
}

// Pulls out `dead` (SIGKILL) once `when` holds; while the no-device dialog asks it is plugged in
// anew on `port` and "Abbrechen" searches again. Notes the descriptors left on the dead line.
struct Unplug {
    Unplug(SimProcess& dead, std::function<bool()> when, int port, QStringList options = {},
           int timeoutMs = SearchAndReadMs)
        : noDevice(
              "KeineAnlageDlg",
              [this, &dead, port, options](QWidget* w) {
                  leftOpen = DescriptorsOn(dead.device());
                  back = std::make_unique<SimProcess>(port, options);
                  pressButton(w, "CancelBtn");
              },
              timeoutMs) {
        QObject::connect(&poll, &QTimer::timeout, [this, &dead, when = std::move(when)] {
            if (!killed && when()) {
                dead.kill();
                killed = true;
            }
        });
        poll.start(PollMs);
    }

    bool killed = false;
    int leftOpen = -1;
    std::unique_ptr<SimProcess> back;
    QTimer poll;
    ModalAnswer noDevice;
};

struct PaintCounter : QObject {
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
    int count = 0;
};

constexpr int DevicePort = 3;
constexpr int SlowRecordAckMs = 200; // the transfer runs long enough to be cut

void startWithSample(QWidget* w) {
    static_cast<TFirmwareDlg*>(w)->Filename->setText(SampleFirmware());
    pressButton(w, "OKBtn");
}

const QString CannotStart = QStringLiteral("Firmware Update kann nicht gestartet werden.");

const QString NewPin = QStringLiteral("4711");

enum class FirmwareStop { NoFile, FileRefused, NoFreePort, ChoiceCancelled, PortHeldElsewhere };
enum class PinStop { DialogCancelled, ChoiceCancelled, NoFreePort };

} // namespace
Q_DECLARE_METATYPE(Answer)
Q_DECLARE_METATYPE(FirmwareStop)
Q_DECLARE_METATYPE(PinStop)

class TestLinkWindow : public QObject, AppWithSim {
    Q_OBJECT

    void startDevice() { sim = startSim(simOptions(DevicePort, FirmwareRestartMs)); }
    void usePortOfDevice() { form->Conversation->UsedComPort = DevicePort; }

    bool updateEnded() const {
        return !dialog<TFirmwareDlg>("FirmwareDlg")->isVisible() && form->isEnabled();
    }

private slots:
    void initTestCase() { useOneQtPoolThread(); }
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    // Which ports answer is the conversation's; here the search dialog, status bar, editor, title.
    void startupSearchFindsDeviceOnCom3AndReadsIt() {
        auto silent = startSim(silentPortOptions(1));
        ZuvexSim::removePortEntry(2);
        auto sim = startSim(simOptions(3), sampleImage());
        sim->setFirmwareVersion(""); // the device text still names the firmware
        DialogWatch watch;
        QCOMPARE(showAndRead(*form), shownAs(ReadDone));
        QCOMPARE(watch.labels, QStringList({"Suche an COM1", "Suche an COM3"}));
        QVERIFY(watch.shown.contains("SuchenDlg"));
        QVERIFY(!watch.searchButtonsEnabled);
        QCOMPARE(portInUseText(*form), portInUse(3));
        QCOMPARE(part<QLabel>(*form, "StatusPanel0")->text(),
                 QStringLiteral("Zuvex 910k - Firmware "));
        // the editor takes the image once the result box has closed, with the door rule
        QVERIFY(QTest::qWaitFor([&] {
            return part<TEditorPages>(*form)->ReadSettings() == sampleSettingsAfterRead();
        }));
        QCOMPARE(form->windowTitle(), QStringLiteral("Zuvex 910k Konfigurator - Neu.zcf"));
        QVERIFY(form->isEnabled());
    }

    void noDeviceAnswer_data() {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<bool>("searchesAgain");
        QTest::newRow("Suchen button") << press("CancelBtn") << true;
        QTest::newRow("Escape key") << pressKeys({Qt::Key_Escape}) << true;
        QTest::newRow("Enter key") << pressKeys({Qt::Key_Return}) << false;
        QTest::newRow("close box") << Answer([](QWidget* w) { w->close(); }) << false;
    }
    // "Suchen" (or Esc) searches again from COM1; Enter and the close box mean offline.
    void noDeviceAnswer() {
        QFETCH(Answer, answer);
        QFETCH(bool, searchesAgain);
        auto silent = startSim(silentPortOptions(2));
        std::unique_ptr<ZuvexSim> sim;
        DialogWatch watch;
        bool permissionLineShown = true; // every port opens
        int height = 0;
        ModalAnswer none(
            "KeineAnlageDlg",
            [&](QWidget* w) {
                permissionLineShown = w->findChild<QLabel*>("lblBerechtigung")->isVisible();
                height = w->height();
                sim = startSim(simOptions(1)); // the device is plugged in while the dialog asks
                answer(w);
            },
            FlowEndMs);
        std::optional<ModalAnswer> result;
        if (searchesAgain)
            result.emplace("ErgebnisDialog", press("OKBtn"), SearchAndReadMs);
        form->show();
        QCOMPARE(none.caption, QStringLiteral("Keine Zuvex 910k gefunden"));
        QVERIFY(!permissionLineShown);
        QCOMPARE(height, NoDeviceDialogHeight);
        if (searchesAgain) {
            QCOMPARE(shown(*result, SearchAndReadMs), shownAs(ReadDone));
            QCOMPARE(watch.labels,
                     QStringList({"Suche an COM2", "Suche an COM1"})); // label cleared between
        } else {
            QTest::qWait(LongerThanAnyPauseMs);
            QCOMPARE(sim->received(), std::string());
            QCOMPARE(portInUseText(*form), QString());
        }
        QVERIFY(!dialog<TSuchenDlg>("SuchenDlg")->isVisible());
    }

    // The version request unanswered: the time-out box, the search dialog gone, no retry, no port.
    void versionTimeOutEndsSearchDialog() {
        auto sim = startSim(simOptions(3));
        DialogWatch watch;
        // silent from the version request on: set before the identification is judged
        auto judge = form->DataPacket1->OnPacket;
        form->DataPacket1->OnPacket = [&](TDataPacket* sender, const uint8_t* data, int size) {
            if (form->Conversation->LinkState == TLinkConversation::IdentifyState)
                sim->setSilent(true);
            judge(sender, data, size);
        };
        ModalAnswer timeout("ErrorDialog", press("OKBtn"));
        bool stuck = false; // the search dialog left open after the box
        QTimer rescue;
        rescue.callOnTimeout([&] {
            stuck = dialog<TSuchenDlg>("SuchenDlg")->isVisible();
            dialog<TSuchenDlg>("SuchenDlg")->reject();
        });
        rescue.start(FlowEndMs);
        form->show(); // returns once the search dialog has ended
        QVERIFY(!stuck);
        QCOMPARE(shown(timeout), shownAs(TimedOut));
        QVERIFY(watch.shown.contains("SuchenDlg"));
        QCOMPARE(sim->received(), std::string("T\rV\r"));
        QCOMPARE(portInUseText(*form), NoPortInUse);
        QVERIFY(form->isEnabled());
    }

    // Without the ports folder each search lists ports anew: an adapter plugged in later is found.
    void automaticMapFindsAdapterPluggedInLater() {
        QVERIFY(QDir(home->portsDir()).removeRecursively());
        SimOptions options;
        options.port = 9;
        options.portsDir = home->path(QStringLiteral("sim")).toStdString();
        ZuvexSim sim(options);
        std::vector<TFoundPort> found{{"/dev/ttyS0", "ttyS0", "", TPortKind::BuiltinUart, true}};
        SetSerialPortLister([&found] { return found; });
        ModalAnswer none("KeineAnlageDlg", [&](QWidget* w) {
            sim.start();
            found.push_back({sim.slavePath(), "ttyUSB0", "usb-FTDI_FT232R_USB_UART_A1-if00-port0",
                             TPortKind::Adapter, false});
            pressButton(w, "CancelBtn");
        });
        const ShownBox read = showAndRead(*form);
        SetSerialPortLister({});
        QVERIFY(none.seen());
        QCOMPARE(read, shownAs(ReadDone));
        QCOMPARE(portInUseText(*form), portInUse(1));
    }

    // Ports without permission are skipped; the no-device dialog names the first and the fix.
    void noPermissionNamedInNoDeviceDialog() {
        if (geteuid() != 0)
            QSKIP("only root can hand the device to another group");
        auto silent = startSim(silentPortOptions(1));
        auto locked = startSim(silentPortOptions(2));
        chmod(silent->slavePath().c_str(), 0666); // COM1 opens for everyone
        std::optional<WithoutPermission> guard;
        guard.emplace(locked->slavePath(), home->path(QString()), "dialout");
        QVERIFY(guard->active());
        QStringList hintLines;
        bool linesFit = true;
        int height = 0;
        ModalAnswer none("KeineAnlageDlg", [&](QWidget* w) {
            guard.reset();
            const auto* label = w->findChild<QLabel*>(QStringLiteral("lblBerechtigung"));
            if (label->isVisible())
                hintLines = label->text().split(u'\n');
            for (const QString& line : hintLines)
                linesFit &= label->fontMetrics().horizontalAdvance(line) <= label->width();
            height = w->height();
            pressButton(w, "OKBtn");
        });
        form->show();
        QVERIFY(none.seen());
        const QString device = QString::fromStdString(locked->slavePath());
        QCOMPARE(hintLines.join(u' '),
                 QStringLiteral("Keine Berechtigung für den COM-Port COM2 (%1). Nehmen Sie Ihren "
                                "Benutzer in die Gruppe „dialout“ auf und melden Sie sich danach "
                                "neu an.")
                     .arg(device));
        QVERIFY(hintLines.size() > 1);
        QVERIFY(linesFit);
        QVERIFY(!hintLines.filter(QStringLiteral("(%1).").arg(device)).isEmpty());
        QVERIFY(height > NoDeviceDialogHeight);
        QCOMPARE(locked->received(), std::string()); // skipped without a probe
        QCOMPARE(silent->received(), std::string("T\r"));
    }

    // COM1's line goes down at the probe: the search goes on silently to COM2. Closing the search
    // dialog's window meanwhile ends only the dialog, not the search.
    void lineDownDuringProbe() {
        ZuvexSim gone(silentPortOptions(1));
        gone.setHangUpAfter(1);
        gone.start();
        auto sim = startSim(simOptions(2));
        ModalAnswer search("SuchenDlg", [](QWidget* w) { w->close(); });
        QCOMPARE(showAndRead(*form), shownAs(ReadDone));
        QVERIFY(search.seen());
        QCOMPARE(gone.received(), std::string("T"));
        QCOMPARE(DescriptorsOn(gone.slavePath()), 0);
    }

    // zuvex-sim killed while the search waits for its answer: no message, no descriptor left
    // open; the no-device dialog comes and, the device back, "Suchen" finds it.
    void deviceKilledDuringSearch() {
        SimProcess dead(1, QStringList{"--silent"});
        QVERIFY(dead.ready());
        // pulled out once the probe "T\r" is out and its answer pending
        Unplug unplug(
            dead,
            [&] {
                return dialog<TSuchenDlg>("SuchenDlg")->lblComPortNumber->text() == "Suche an COM1";
            },
            1, {"--reset"}, FlowEndMs);
        QCOMPARE(showAndRead(*form), shownAs(ReadDone));
        QVERIFY(unplug.killed);
        QVERIFY(unplug.noDevice.seen());
        QCOMPARE(unplug.leftOpen, 0);
        QVERIFY(form->isEnabled());
    }

    void portChoice_data() {
        QTest::addColumn<QList<int>>("devices");
        QTest::addColumn<bool>("readFirst"); // a port in use before the scan
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QList<bool>>("offered"); // COM1 to COM4
        QTest::addColumn<int>("portAfter");       // the port in use afterwards
        QTest::newRow("COM2 chosen") << QList<int>{2, 3} << false << choose("COM2Btn", "OKBtn")
                                     << QList<bool>{false, true, true, false} << 2;
        // its own port counts as free once the scan has closed it
        QTest::newRow("cancelled: the port in use kept")
            << QList<int>{3} << true << choose("COM3Btn", "CancelBtn")
            << QList<bool>{false, false, true, false} << 3;
        QTest::newRow("only COM7: nothing offered, Enter does nothing")
            << QList<int>{7} << false << pressKeys({Qt::Key_Return, Qt::Key_Escape})
            << QList<bool>{false, false, false, false} << NoPort;
    }
    // The free ports among COM1 to COM4 enabled, OK once one is chosen; the next read goes to it.
    void portChoice() {
        QFETCH(QList<int>, devices);
        QFETCH(bool, readFirst);
        QFETCH(Answer, answer);
        QFETCH(int, portAfter);
        std::vector<std::unique_ptr<ZuvexSim>> sims;
        for (int port : devices)
            sims.push_back(startSim(simOptions(port)));
        if (readFirst)
            QVERIFY(readConfiguration(*form));
        QList<bool> offered;
        QList<bool> checked;
        bool okAtFirst = true;
        bool okOnceChosen = false;
        ModalAnswer choice(
            "PortDialog",
            [&](QWidget* w) {
                offered = comButtons(w, [](QRadioButton* b) { return b->isEnabled(); });
                checked = comButtons(w, [](QRadioButton* b) { return b->isChecked(); });
                okAtFirst = w->findChild<QPushButton*>("OKBtn")->isEnabled();
                answer(w);
                okOnceChosen = w->findChild<QPushButton*>("OKBtn")->isEnabled();
            },
            ScanTimeoutMs);
        action(*form, "COMItem1")->trigger();
        QCOMPARE(shown(choice, ScanTimeoutMs), ShownBox("COM-Port festlegen", {}));
        QTEST(offered, "offered");
        QCOMPARE(checked, QList<bool>({false, false, false, false}));
        QVERIFY(!okAtFirst);
        QCOMPARE(okOnceChosen, portAfter != NoPort);
        QCOMPARE(portInUseText(*form), portAfter ? portInUse(portAfter) : NoPortInUse);
        QVERIFY(!form->ComPort1->Open());                             // chosen, not opened
        QCOMPARE(form->ComPort1->ComNumber(), quint16(MaxComNumber)); // the scan's last
        if (portAfter == NoPort)
            return;
        for (auto& sim : sims)
            sim->clearTraffic();
        QVERIFY(readConfiguration(*form));
        for (std::size_t i = 0; i < sims.size(); ++i) // no identification first
            QCOMPARE(sims[i]->received(), devices[qsizetype(i)] == portAfter
                                              ? std::string("R0000,3c\r")
                                              : std::string());
    }

    // The window paints under the wait cursor, a click waits; no free port: an error box instead.
    void scanDoesNotFreeze() {
        QVERIFY(showOffline());
        auto* ring = form->findChild<QCheckBox*>("CBarb21");
        const bool ringBefore = ring->isChecked();
        PaintCounter paints(form.get());
        ModalAnswer error("ErrorDialog", press("OKBtn"), ScanTimeoutMs);
        action(*form, "COMItem1")->trigger();
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QTest::mouseClick(ring, Qt::LeftButton);
        form->update();
        QVERIFY(QTest::qWaitFor([&] { return paints.count > 0; }));
        QCOMPARE(ring->isChecked(), ringBefore);
        QCOMPARE(shown(error, ScanTimeoutMs), shownAs(NoFreePort));
        QVERIFY(!QApplication::overrideCursor());
    }

    // The chosen entry sets the port number; an entry without one cancels, none chosen keeps it.
    void chooseFirmwarePort_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("comNumber");
        const int first = 0;
        const int second = 1;
        const int none = -1;
        QTest::newRow("COM12") << QStringList({"COM1", "COM12"}) << second << int(mrOk) << 12;
        QTest::newRow("first entry") << QStringList({"COM3", "COM12"}) << first << int(mrOk) << 3;
        QTest::newRow("no number") << QStringList({"COMx"}) << first << int(mrCancel) << PortBefore;
        QTest::newRow("nothing selected")
            << QStringList({"COM2"}) << none << int(mrOk) << PortBefore;
    }
    void chooseFirmwarePort() {
        QFETCH(QStringList, entries);
        QFETCH(int, selected);
        QFETCH(int, comNumber);
        form->ComPort1->SetComNumber(PortBefore);
        TWaehleComPortDlg* dlg = dialog<TWaehleComPortDlg>("WaehleComPortDlg");
        dlg->CBSchnittstellen->clear();
        dlg->CBSchnittstellen->addItems(entries);
        dlg->CBSchnittstellen->setCurrentIndex(selected);
        ModalAnswer answer("WaehleComPortDlg", press("OKBtn"));
        QTEST(dlg->exec(), "result");
        QCOMPARE(shown(answer), ShownBox("Dialog", {}));
        QCOMPARE(form->ComPort1->ComNumber(), quint16(comNumber));
        QCOMPARE(portInUseText(*form), NoPortInUse);
    }
    // No port in use: the free ports are offered; after the transfer the device is found and read.
    void updateThroughPortChoice() {
        startDevice();
        ModalAnswer firmware("FirmwareDlg", startWithSample);
        ModalAnswer choice("WaehleComPortDlg", press("OKBtn"));
        ModalAnswer loaded("ErgebnisDialog", press("OKBtn"), FirmwareUpdateAndReadMs);
        ModalAnswer read("ErgebnisDialog", press("OKBtn"), FirmwareUpdateAndReadMs);
        action(*form, "NeueFirmware1")->trigger();
        QCOMPARE(shown(loaded, FirmwareUpdateAndReadMs), FirmwareLoaded);
        QCOMPARE(shown(read, FirmwareUpdateAndReadMs), shownAs(ReadDone));
        const QComboBox* offered = dialog<TWaehleComPortDlg>("WaehleComPortDlg")->CBSchnittstellen;
        QCOMPARE(offered->count(), 1);
        QCOMPARE(offered->itemText(0), QStringLiteral("COM3"));
        QVERIFY(QTest::qWaitFor([&] { return updateEnded(); }));
    }

    // zuvex-sim killed during the transfer: one error box, the dialog closed, no descriptor left
    // open; the search finds nothing until the device is back, then "Suchen" finds it.
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
            DevicePort);
        ModalAnswer read("ErgebnisDialog", press("OKBtn"), FirmwareUpdateAndReadMs);
        action(*form, "NeueFirmware1")->trigger();
        QCOMPARE(shown(read, FirmwareUpdateAndReadMs), shownAs(ReadDone));
        QVERIFY(unplug.killed);
        QCOMPARE(shown(error), ShownBox("Schnittstellenfehler", {"Fehler!", LineLostOnCom3}));
        QVERIFY(unplug.noDevice.seen());
        QCOMPARE(unplug.leftOpen, 0);
        QVERIFY(QTest::qWaitFor([&] { return updateEnded(); }));
        QVERIFY(!dialog<TFirmwareDlg>("FirmwareDlg")->TransferRunning);
    }

    void handshakeWithoutL_data() {
        QTest::addColumn<bool>("watchdogFires"); // else "Abbrechen" stops the handshake first
        QTest::newRow("watchdog fires") << true;
        QTest::newRow("Abbrechen") << false;
    }
    // No "L": the watchdog reports it (the dialog open) unless "Abbrechen" comes first; then off.
    void handshakeWithoutL() {
        QFETCH(bool, watchdogFires);
        startDevice();
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
        QVERIFY(form->isEnabled());
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
    // "Start" checks the file, then the port: a warning, the dialog stays open, nothing sent.
    void firmwareStartRefused() {
        QFETCH(FirmwareStop, stop);
        QFETCH(QStringList, warning);
        TRawSerialPort other;
        if (stop != FirmwareStop::NoFreePort)
            startDevice();
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

    // The PINs go from the dialog to the device over the port chosen first; the rest: conversation.
    void pinChange() {
        startDevice();
        ModalAnswer pin("NeuePINDlg", enterPins("0000", NewPin));
        ModalAnswer port("PortDialog", choose("COM3Btn", "OKBtn"));
        ModalAnswer end("ErgebnisDialog", press("OKBtn"));
        action(*form, "NewPIN")->trigger();
        QCOMPARE(shown(end, FlowEndMs), shownAs(PinChanged));
        QCOMPARE(sim->pin(), NewPin.toStdString());
        QVERIFY(port.seen());
        QCOMPARE(portInUseText(*form), portInUse(DevicePort));
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
        startDevice();
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
        DialogWatch watch;
        action(*form, "NewPIN")->trigger();
        QVERIFY(pin.seen());
        QVERIFY(!port || shown(*port, ScanTimeoutMs).seen);
        if (error)
            QCOMPARE(shown(*error, ScanTimeoutMs), shownAs(NoFreePort));
        QCOMPARE(sim->received(), std::string());
        QVERIFY(!watch.shown.contains("UpDownLoad"));
        QVERIFY(form->isEnabled());
        QCOMPARE(portInUseText(*form), NoPortInUse);
    }
};

QTEST_MAIN(TestLinkWindow)
#include "tst_link_window.moc"
