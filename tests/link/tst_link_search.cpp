// Finding the telephone system: the start-up search over COM1..COM20, identification, the
// no-device dialog, and the port choices after a free-port scan.
#include "LinkTestSupport.h"
#include "OpenDescriptors.h"
#include "Unplug.h"
#include "Unprivileged.h"
#include "WindowTest.h"
#include "link/PortDialogs.h"
#include "link/SearchDialogs.h"
#include "serial/ComPortMap.h"
#include "serial/DataPacket.h"
#include "serial/SerialPort.h"

#include <sys/stat.h>

using namespace zuvexsim;

namespace {

// How a dialog is answered.
using Answer = std::function<void(QWidget*)>;
Answer pressKeys(const QList<Qt::Key>& keys) {
    return [=](QWidget* w) {
        for (Qt::Key key : keys)
            QTest::keyClick(w, key);
    };
}
// Clicks the port's radio button, then `button`.
Answer choose(const char* port, const char* button) {
    return [=](QWidget* w) {
        w->findChild<QRadioButton*>(port)->click();
        pressButton(w, button);
    };
}

constexpr int NoPort = 0; // no port in use

// The port number before the firmware's port chooser.
constexpr int PortBefore = 5;

// The no-device dialog's height without the permission line.
constexpr int NoDeviceDialogHeight = 137;

// Watches the search dialog: the port labels it showed, whether it showed, its buttons.
struct SearchWatch {
    QStringList labels;
    bool shown = false;
    bool buttonsEnabled = false;
    QTimer timer;
    explicit SearchWatch(TAppFormProbe& form) {
        QObject::connect(&timer, &QTimer::timeout, [this, &form] {
            TSuchenDlg* dlg = dialog<TSuchenDlg>("SuchenDlg");
            if (dlg->isVisible()) {
                shown = true;
                buttonsEnabled |= dlg->OKBtn->isEnabled() || dlg->CancelBtn->isEnabled();
            }
            const QString text = dlg->lblComPortNumber->text();
            if (!text.isEmpty() && (labels.isEmpty() || labels.last() != text))
                labels << text;
        });
        timer.start(PollMs);
    }
};

struct PortChoices {
    QList<bool> enabled;
    QList<bool> checked;
    bool okEnabled = true;
};

PortChoices choicesOf(QWidget* dialog) {
    PortChoices c;
    for (int i = 1; i <= 4; ++i) {
        auto* b = dialog->findChild<QRadioButton*>(QStringLiteral("COM%1Btn").arg(i));
        c.enabled << b->isEnabled();
        c.checked << b->isChecked();
    }
    c.okEnabled = dialog->findChild<QPushButton*>("OKBtn")->isEnabled();
    return c;
}

// Counts the paint events of a widget.
struct PaintCounter : QObject {
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
    int count = 0;
};

} // namespace
Q_DECLARE_METATYPE(Answer)

class TestLinkSearch : public QObject, AppWithSim {
    Q_OBJECT

private slots:
    void initTestCase() { useOneQtPoolThread(); }
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    // Which ports answer and what is read is the conversation's; the window shows the search
    // dialog without buttons, the status bar, the editor and the title.
    void startupSearchFindsDeviceOnCom3AndReadsIt() {
        auto silent = startSim(silentPortOptions(1));
        ZuvexSim::removePortEntry(2);
        auto sim = startSim(simOptions(3), sampleImage());
        sim->setFirmwareVersion(""); // the device text still names the firmware
        SearchWatch watch(*form);
        QCOMPARE(showAndRead(*form), shownAs(ReadDone));
        QCOMPARE(watch.labels, QStringList({"Suche an COM1", "Suche an COM3"}));
        QVERIFY(watch.shown);
        QVERIFY(!watch.buttonsEnabled);
        QVERIFY(!dialog<TSuchenDlg>("SuchenDlg")->isVisible());
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
        SearchWatch watch(*form);
        ModalAnswer none(
            "KeineAnlageDlg",
            [&](QWidget* w) {
                sim = startSim(simOptions(1)); // the device is plugged in while the dialog asks
                answer(w);
            },
            FlowEndMs);
        std::optional<ModalAnswer> result;
        if (searchesAgain)
            result.emplace("ErgebnisDialog", press("OKBtn"), SearchAndReadMs);
        form->show();
        QCOMPARE(none.caption, QStringLiteral("Keine Zuvex 910k gefunden"));
        if (searchesAgain) {
            QCOMPARE(shown(*result, SearchAndReadMs), shownAs(ReadDone));
            QCOMPARE(portInUseText(*form), portInUse(1));
            QCOMPARE(watch.labels,
                     QStringList({"Suche an COM2", "Suche an COM1"})); // label cleared between
        } else {
            QTest::qWait(LongerThanAnyPauseMs);
            QCOMPARE(sim->received(), std::string());
            QCOMPARE(portInUseText(*form), QString());
        }
        QVERIFY(!dialog<TSuchenDlg>("SuchenDlg")->isVisible());
    }

    // The device identifies itself but leaves the version request unanswered: the time-out
    // box, and then the search dialog is gone; nothing is retried and no port is taken.
    void versionTimeOutEndsSearchDialog() {
        auto sim = startSim(simOptions(3));
        SearchWatch watch(*form);
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
        QVERIFY(watch.shown);
        QVERIFY(!dialog<TSuchenDlg>("SuchenDlg")->isVisible());
        QCOMPARE(sim->received(), std::string("T\rV\r"));
        QCOMPARE(portInUseText(*form), NoPortInUse);
        QVERIFY(form->isEnabled());
    }

    // Closing the search dialog's window ends only the dialog: the search goes on.
    void closingSearchDialogKeepsSearching() {
        auto silent = startSim(silentPortOptions(1));
        auto sim = startSim(simOptions(2));
        ModalAnswer search("SuchenDlg", [](QWidget* w) { w->close(); });
        QCOMPARE(showAndRead(*form), shownAs(ReadDone));
        QVERIFY(search.seen());
        QCOMPARE(portInUseText(*form), portInUse(2));
    }

    // Without the ports folder the COM numbers come from the ports the machine lists, read
    // afresh by each search: an adapter plugged in while the no-device dialog asks becomes COM1.
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

    // Ports the user may not open are skipped; the no-device dialog then names the first one
    // and how to get the permission, its device path whole on one line. Without such a port
    // it is as always.
    void noPermissionNamedInNoDeviceDialog_data() {
        QTest::addColumn<bool>("denied");
        QTest::newRow("COM2 without permission") << true;
        QTest::newRow("every port opens") << false;
    }
    void noPermissionNamedInNoDeviceDialog() {
        QFETCH(bool, denied);
        if (denied && geteuid() != 0)
            QSKIP("only root can hand the device to another group");
        auto silent = startSim(silentPortOptions(1));
        auto locked = startSim(silentPortOptions(2));
        chmod(silent->slavePath().c_str(), 0666); // COM1 opens for everyone
        std::optional<WithoutPermission> guard;
        if (denied)
            guard.emplace(locked->slavePath(), home->path(QString()), "dialout");
        QVERIFY(!guard || guard->active());
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
        if (!denied) {
            QCOMPARE(hintLines, QStringList());
            QCOMPARE(height, NoDeviceDialogHeight);
            return;
        }
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

    // COM1's line goes down as the probe arrives (the pseudo-terminal's master closed): the
    // search moves on without a message and finds the device on COM2.
    void lineDownDuringProbe() {
        ZuvexSim gone(silentPortOptions(1));
        gone.setHangUpAfter(1);
        gone.start();
        auto sim = startSim(simOptions(2));
        QCOMPARE(showAndRead(*form), shownAs(ReadDone));
        QCOMPARE(gone.received(), std::string("T"));
        QCOMPARE(portInUseText(*form), portInUse(2));
        QCOMPARE(DescriptorsOn(gone.slavePath()), 0);
    }

    // The device's line goes down (zuvex-sim killed) while the search waits for its answer:
    // the search goes on without a message, the no-device dialog comes, and once the device
    // is back "Suchen" finds it. No descriptor of the dead line is left open.
    void deviceKilledDuringSearch() {
        SimProcess dead(1, QStringList{"--silent"});
        QVERIFY(dead.ready());
        // pulled out once the probe "T\r" is out and its answer pending
        Unplug unplug(
            dead,
            [&] {
                return dialog<TSuchenDlg>("SuchenDlg")->lblComPortNumber->text() == "Suche an COM1";
            },
            PollMs, 1, {"--reset"}, FlowEndMs);
        QCOMPARE(showAndRead(*form), shownAs(ReadDone));
        QVERIFY(unplug.killed);
        QVERIFY(unplug.noDevice().seen());
        QCOMPARE(unplug.leftOpen, 0);
        QVERIFY(unplug.back && unplug.back->ready());
        QCOMPARE(portInUseText(*form), portInUse(1));
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
    // The scan enables the free ports among COM1 to COM4, OK only once one is chosen; the scan
    // leaves the port closed, and the next read goes to the port in use at once.
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
        PortChoices seen;
        bool okOnceChosen = false;
        ModalAnswer choice(
            "PortDialog",
            [&](QWidget* w) {
                seen = choicesOf(w);
                answer(w);
                okOnceChosen = choicesOf(w).okEnabled;
            },
            ScanTimeoutMs);
        action(*form, "COMItem1")->trigger();
        QCOMPARE(shown(choice, ScanTimeoutMs), ShownBox("COM-Port festlegen", {}));
        QTEST(seen.enabled, "offered");
        QCOMPARE(seen.checked, QList<bool>({false, false, false, false}));
        QVERIFY(!seen.okEnabled);
        QCOMPARE(okOnceChosen, portAfter != NoPort);
        QCOMPARE(portInUseText(*form), portAfter ? portInUse(portAfter) : NoPortInUse);
        QVERIFY(!form->ComPort1->Open());                             // chosen, not opened
        QCOMPARE(form->ComPort1->ComNumber(), quint16(MaxComNumber)); // the scan's last
        for (int port : devices)
            QVERIFY(form->Conversation->PortAvailable[std::size_t(port - 1)]);
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

    // The scan keeps the window painting under the wait cursor and a click on it waits; with
    // no free port the error box comes instead of the port dialog.
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
        QVERIFY(form->Conversation->Waiting());
        QCOMPARE(ring->isChecked(), ringBefore);
        QCOMPARE(shown(error, ScanTimeoutMs), shownAs(NoFreePort));
        QVERIFY(!dialog<TPortDialog>("PortDialog")->isVisible());
        QVERIFY(!QApplication::overrideCursor());
    }

    // The firmware's port chooser sets the port's number from the chosen entry; an entry
    // without a number cancels, no entry chosen keeps the number.
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
};

QTEST_MAIN(TestLinkSearch)
#include "tst_link_search.moc"
