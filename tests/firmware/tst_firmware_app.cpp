// "Neue Firmware..." in the main window, end to end against the simulated telephone system:
// the port choice, the loading-mode handshake with its watchdog, the transfer, and the search
// and read that follow.
#include "AppWithSim.h"
#include "FirmwareSim.h"
#include "ModalDriver.h"
#include "QtPool.h"
#include "ShownBox.h"
#include "SimProcess.h"
#include "Unplug.h"
#include "WindowParts.h"
#include "app/AppFormProbe.h"
#include "link/FirmwareDlg.h"
#include "link/FirmwareFile.h"
#include "link/LinkConversation.h"
#include "link/PortDialogs.h"
#include "link/RawSerialPort.h"
#include "serial/DataPacket.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <optional>

using namespace zuvexsim;
using namespace std::chrono_literals;

namespace {

std::string sampleBytes() {
    QFile f(SampleFirmware());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return AsString(ParseFirmwareText(f.readAll()).bytes);
}

// Picks the sample firmware and presses "Start".
void startWithSample(QWidget* w) {
    auto* dlg = static_cast<TFirmwareDlg*>(w);
    dlg->Filename->setText(SampleFirmware());
    pressButton(w, "OKBtn");
}

const QString CannotStart = QStringLiteral("Firmware Update kann nicht gestartet werden.");
const ShownBox Loaded("Neue Firmware",
                      {QString(), "Das speichen der Firmware in der Zuvex 910k war erfolgreich."});
const ShownBox ReadDone("Konfiguration Auslesen",
                        {QString(), "Das Auslesen der Konfiguration war erfolgreich."});

} // namespace

class TestFirmwareApp : public QObject, AppWithSim {
    Q_OBJECT
    bool portDialogShown = false;
    QTimer watch;

    void startSim() { sim = ::startSim(simOptions(3, 100)); }

    // Starts the update with the sample firmware (the port chosen by `choose` when a choice
    // comes) and answers the result boxes of the load and of the read that follows.
    std::pair<ShownBox, ShownBox> update(std::function<void(QWidget*)> choose = {}) {
        ModalAnswer dialog("FirmwareDlg", startWithSample);
        std::optional<ModalAnswer> choice;
        if (choose)
            choice.emplace("WaehleComPortDlg", std::move(choose));
        ModalAnswer loaded("ErgebnisDialog", press("OKBtn"), 15000);
        ModalAnswer read("ErgebnisDialog", press("OKBtn"), 15000);
        action(*form, "NeueFirmware1")->trigger();
        return {shown(loaded, 20000), shown(read, 20000)};
    }

private slots:
    void initTestCase() { useOneQtPoolThread(); }
    void init() {
        openWindow();
        portDialogShown = false;
        connect(&watch, &QTimer::timeout, [this] {
            portDialogShown |= form && dialog<TWaehleComPortDlg>("WaehleComPortDlg")->isVisible();
        });
        watch.start(5);
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
        const auto [loaded, read] = update(choose);
        QCOMPARE(loaded, Loaded);
        QCOMPARE(read.caption, ReadDone.caption);
        QCOMPARE(offered, QStringList{QStringLiteral("COM3")});
        // handshake, the records once each, then the search from COM1 and the read
        QCOMPARE(sim->received(), "U\r<" + sampleBytes() + "T\rV\rR0000,3c\r");
        QCOMPARE(AsString(sim->lastFirmware()), sampleBytes());
        QVERIFY(QTest::qWaitFor([&] {
            return !dialog<TFirmwareDlg>("FirmwareDlg")->isVisible() && form->isEnabled();
        }));
        QCOMPARE(form->Conversation->UsedComPort, quint16(3));
        QCOMPARE(form->Conversation->LinkOperation, 1);
        QVERIFY(!part<QTimer>(*form, "TimerFWUpdate")->isActive());
        QVERIFY(!dialog<TFirmwareDlg>("FirmwareDlg")->TransferRunning);
    }

    // A reply other than ">" (or "L") is ignored and the collector waits again; nothing is
    // sent twice. With a port in use no port dialog is shown.
    void strayRepliesIgnored() {
        startSim();
        sim->setStrayBytes("x?", "",
                           unsigned(ReplyKind::LoadPrompt) | unsigned(ReplyKind::LoadReady));
        form->Conversation->UsedComPort = 3;
        const auto [loaded, read] = update();
        QCOMPARE(loaded.caption, Loaded.caption);
        QVERIFY(read.seen);
        QVERIFY(sim->received().rfind("U\r<" + sampleBytes(), 0) == 0);
        QVERIFY(!portDialogShown);
        QVERIFY(
            QTest::qWaitFor([&] { return sim->lastFirmware().size() == sampleBytes().size(); }));
    }

    // The telephone system's line goes down (zuvex-sim killed) in the middle of the transfer:
    // one error box that says so, the dialog closes, the search finds nothing; after the
    // device is back, "Suchen" finds it and reads it. No descriptor of the dead line stays open.
    void deviceKilledDuringTransfer() {
        SimProcess dead(3, {"--reset", "--restart-ms", "100", "--ack-delay", "200"});
        QVERIFY(dead.ready());
        form->Conversation->UsedComPort = 3;
        ModalAnswer firmware("FirmwareDlg", startWithSample);
        ModalAnswer error("ErrorDialog", press("OKBtn"), 15000);
        // pulled out while the transfer lets the window repaint after a record
        Unplug unplug(
            dead, [&] { return dialog<TFirmwareDlg>("FirmwareDlg")->ProgressBar1->value() > 0; }, 5,
            3);
        ModalAnswer read("ErgebnisDialog", press("OKBtn"), 15000);
        action(*form, "NeueFirmware1")->trigger();
        QCOMPARE(shown(read, 30000).caption, ReadDone.caption);
        QVERIFY(unplug.killed);
        QCOMPARE(shown(error), ShownBox("Schnittstellenfehler",
                                        {"Fehler!", "Die Verbindung zur Zuvex 910k über COM3 "
                                                    "wurde unterbrochen. Bitte prüfen Sie das "
                                                    "Kabel und den USB-Adapter."}));
        QVERIFY(unplug.noDevice().seen());
        QCOMPARE(unplug.leftOpen, 0);
        QVERIFY(QTest::qWaitFor([&] {
            return !dialog<TFirmwareDlg>("FirmwareDlg")->isVisible() && form->isEnabled();
        }));
        QCOMPARE(form->Conversation->UsedComPort, quint16(3));
        QVERIFY(!dialog<TFirmwareDlg>("FirmwareDlg")->TransferRunning);
    }

    // No "L" within 10 s: the watchdog reports it; the collector is off, the dialog open, and
    // time-outs in between sent nothing.
    void watchdogWithoutL() {
        startSim();
        sim->setNeverSendL(true);
        form->Conversation->UsedComPort = 3;
        QElapsedTimer clock;
        bool reported = false;
        qint64 reportedAfter = 0;
        ModalAnswer firmware("FirmwareDlg", [&](QWidget* w) {
            clock.start(); // before "Start", which starts the watchdog
            startWithSample(w);
            QVERIFY(QTest::qWaitFor([&] { return reported; }, 15000));
            pressButton(w, "CancelBtn");
        });
        bool dialogOpenAtReport = false;
        bool collectorOffAtReport = false;
        ModalAnswer error(
            "ErrorDialog",
            [&](QWidget* w) {
                reportedAfter = clock.elapsed();
                dialogOpenAtReport = dialog<TFirmwareDlg>("FirmwareDlg")->isVisible();
                collectorOffAtReport = !form->DataPacket1->Enabled();
                pressButton(w, "OKBtn");
                reported = true;
            },
            15000);
        action(*form, "NeueFirmware1")->trigger();
        QCOMPARE(shown(error),
                 ShownBox("Fehler", {"Fehler!", "Firmware Update konnte nicht gestartet werden."}));
        QVERIFY2(reportedAfter >= 10000, qPrintable(QString::number(reportedAfter)));
        QVERIFY(dialogOpenAtReport);
        QVERIFY(collectorOffAtReport);
        QVERIFY(!part<QTimer>(*form, "TimerFWUpdate")->isActive());
        QCOMPARE(form->Conversation->LinkState, 8);
        QCOMPARE(sim->received(), std::string("U\r<")); // time-outs sent nothing
        QVERIFY(!portDialogShown);
    }

    // "Abbrechen" during the handshake stops it: watchdog and collector go off.
    void cancelStopsHandshake() {
        startSim();
        sim->setNeverSendL(true);
        form->Conversation->UsedComPort = 3;
        ModalAnswer firmware("FirmwareDlg", [&](QWidget* w) {
            startWithSample(w);
            QVERIFY(QTest::qWaitFor([&] { return sim->received() == "U\r<"; }));
            QVERIFY(part<QTimer>(*form, "TimerFWUpdate")->isActive());
            pressButton(w, "CancelBtn");
        });
        action(*form, "NeueFirmware1")->trigger();
        QVERIFY(firmware.seen());
        QVERIFY(!part<QTimer>(*form, "TimerFWUpdate")->isActive());
        QVERIFY(!form->DataPacket1->Enabled());
        QVERIFY(form->isEnabled());
    }

    void startRefusals_data() {
        QTest::addColumn<int>("situation");
        QTest::addColumn<QStringList>("warning");
        QTest::newRow("no free port")
            << 0
            << QStringList{QStringLiteral("Keine freie COM-Schnittstelle gefunden."), CannotStart};
        QTest::newRow("port choice cancelled")
            << 1
            << QStringList{QStringLiteral("Keine COM-Schnittstelle gewählt, oder die"),
                           QStringLiteral("Schnittstelle ist belegt."), CannotStart};
        QTest::newRow("port in use held elsewhere")
            << 2
            << QStringList{QStringLiteral("COM-Schnittstelle kann nicht initialisiert werden."),
                           CannotStart};
    }
    void startRefusals() {
        QFETCH(int, situation);
        QFETCH(QStringList, warning);
        TRawSerialPort other;
        if (situation >= 1)
            startSim();
        if (situation == 2) {
            form->Conversation->UsedComPort = 3;
            QVERIFY(other.Open(QStringLiteral("COM3"), 57600, 10));
        }
        bool stillOpen = false;
        std::optional<ModalAnswer> box;
        ModalAnswer firmware("FirmwareDlg", [&](QWidget* w) {
            startWithSample(w);
            QVERIFY(box->waitSeen(ScanTimeoutMs)); // a click during the port scan would wait
            stillOpen = w->isVisible();
            pressButton(w, "CancelBtn");
        });
        std::optional<ModalAnswer> choice;
        if (situation == 1)
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
};

QTEST_MAIN(TestFirmwareApp)
#include "tst_firmware_app.moc"
