// The device search: start-up search over COM1..COM20, identification, the no-device dialog.
#include "AppWithSim.h"
#include "LinkTestSupport.h"
#include "ModalDriver.h"
#include "OpenDescriptors.h"
#include "SimProcess.h"
#include "Unplug.h"
#include "Unprivileged.h"
#include "WindowParts.h"
#include "app/AppFormProbe.h"
#include "config/EditorPages.h"
#include "link/LinkConversation.h"
#include "link/SearchDialogs.h"
#include "serial/ComPortMap.h"
#include "serial/DataPacket.h"
#include "serial/SerialPort.h"

#include <QDir>
#include <optional>
#include <sys/stat.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace zuvexsim;

namespace {

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
        timer.start(5);
    }
};

} // namespace

class TestLinkSearch : public QObject, AppWithSim {
    Q_OBJECT

private slots:
    void initTestCase() { useOneQtPoolThread(); }
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void startupSearchFindsDeviceOnCom3AndReadsIt() {
        auto silent = startSim(silentPortOptions(1));
        ZuvexSim::removePortEntry(2);
        auto sim = startSim(3);
        SearchWatch watch(*form);
        QCOMPARE(showAndRead(*form, 15000), readDone());
        QCOMPARE(watch.labels, QStringList({"Suche an COM1", "Suche an COM3"}));
        QVERIFY(watch.shown);
        QVERIFY(!watch.buttonsEnabled);
        QVERIFY(!dialog<TSuchenDlg>("SuchenDlg")->isVisible());
        QCOMPARE(silent->received(), std::string("T\r"));
        QCOMPARE(sim->received(), std::string("T\rV\rR0000,3c\r"));
        QCOMPARE(part<QLabel>(*form, "StatusPanel1")->text(),
                 QStringLiteral("Verwendeter COM-Port: COM3"));
        QCOMPARE(part<QLabel>(*form, "StatusPanel0")->text(),
                 "Zuvex 910k - Firmware " + QString::fromStdString(sim->firmwareVersion()));
        QCOMPARE(form->Conversation->DeviceText, part<QLabel>(*form, "StatusPanel0")->text());
        QCOMPARE(form->Conversation->UsedComPort, quint16(3));
        // the editor takes the image once the result box has closed, with the door rule
        QVERIFY(QTest::qWaitFor([&] {
            return part<TEditorPages>(*form)->ReadSettings() == sampleSettingsAfterRead();
        }));
        QCOMPARE(form->Image, sampleImage());
        QVERIFY(!form->Modified);
        QCOMPARE(form->windowTitle(), QStringLiteral("Zuvex 910k Konfigurator - Neu.zcf"));
        // the port stays open for the next command; the collector is off
        QVERIFY(form->ComPort1->Open());
        QVERIFY(!form->DataPacket1->Enabled());
        QVERIFY(form->isEnabled());
    }

    void emptyVersionLine() {
        auto sim = startSim(3);
        sim->setFirmwareVersion("");
        QVERIFY(readConfiguration(*form));
        QCOMPARE(form->Conversation->DeviceText, QStringLiteral("Zuvex 910k - Firmware "));
    }

    // No COM port at all: the no-device dialog at once; "Offline" leaves no search dialog,
    // empties both status panels, and the next read searches again from COM1.
    void noPortThenOfflineThenReadSearchesAgain() {
        SearchWatch watch(*form);
        ModalAnswer none("KeineAnlageDlg", press("OKBtn"));
        form->show();
        QVERIFY(none.seen()); // answered within the first showing
        QCOMPARE(none.caption, QStringLiteral("Keine Zuvex 910k gefunden"));
        QTest::qWait(50);
        QVERIFY(!watch.shown);
        QVERIFY(!dialog<TSuchenDlg>("SuchenDlg")->isVisible());
        QCOMPARE(part<QLabel>(*form, "StatusPanel0")->text(), QString());
        QCOMPARE(part<QLabel>(*form, "StatusPanel1")->text(), QString());
        QCOMPARE(form->Conversation->UsedComPort, quint16(0));
        QVERIFY(!form->ComPort1->Open());

        auto sim = startSim(3);
        QVERIFY(readConfiguration(*form));
        QCOMPARE(form->Conversation->UsedComPort, quint16(3));
        QCOMPARE(watch.labels, QStringList({"Suche an COM3"}));
        QCOMPARE(part<QLabel>(*form, "StatusPanel1")->text(),
                 QStringLiteral("Verwendeter COM-Port: COM3"));
    }

    void noDeviceAnswer_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("searchesAgain");
        QTest::newRow("Suchen button") << "button" << true;
        QTest::newRow("Escape key") << "escape" << true;
        QTest::newRow("Enter key") << "enter" << false;
        QTest::newRow("close box") << "close" << false;
    }

    // "Suchen" (or Esc) searches again from COM1; Enter and the close box mean offline.
    void noDeviceAnswer() {
        QFETCH(QString, how);
        QFETCH(bool, searchesAgain);
        auto silent = startSim(silentPortOptions(2));
        std::unique_ptr<ZuvexSim> sim;
        SearchWatch watch(*form);
        ModalAnswer none(
            "KeineAnlageDlg",
            [&](QWidget* w) {
                sim = startSim(1); // the device is plugged in while the dialog asks
                if (how == "button")
                    pressButton(w, "CancelBtn");
                else if (how == "escape")
                    QTest::keyClick(w, Qt::Key_Escape);
                else if (how == "enter")
                    QTest::keyClick(w, Qt::Key_Return);
                else
                    w->close();
            },
            10000);
        std::optional<ModalAnswer> result;
        if (searchesAgain)
            result.emplace("ErgebnisDialog", press("OKBtn"), 10000);
        form->show();
        QVERIFY(none.seen());
        if (searchesAgain) {
            QCOMPARE(shown(*result, 10000), readDone());
            QCOMPARE(form->Conversation->UsedComPort, quint16(1));
            QCOMPARE(sim->received(), std::string("T\rV\rR0000,3c\r"));
            QCOMPARE(watch.labels,
                     QStringList({"Suche an COM2", "Suche an COM1"})); // label cleared between
        } else {
            QTest::qWait(300);
            QCOMPARE(form->Conversation->UsedComPort, quint16(0));
            QCOMPARE(sim->received(), std::string());
            QCOMPARE(part<QLabel>(*form, "StatusPanel1")->text(), QString());
        }
        QVERIFY(!dialog<TSuchenDlg>("SuchenDlg")->isVisible());
        QCOMPARE(silent->received(), std::string("T\r"));
    }

    // The device identifies itself but leaves the version request unanswered: the time-out
    // box, and then the search dialog is gone; nothing is retried and no port is taken.
    void versionTimeOutEndsSearchDialog() {
        auto sim = startSim(3);
        SearchWatch watch(*form);
        // silent from the version request on: set before the identification is judged
        auto judge = form->DataPacket1->OnPacket;
        form->DataPacket1->OnPacket = [&](TDataPacket* sender, const uint8_t* data, int size) {
            if (form->Conversation->LinkState == 1)
                sim->setSilent(true);
            judge(sender, data, size);
        };
        ModalAnswer timeout("ErrorDialog", press("OKBtn"));
        bool stuck = false; // the search dialog left open after the box
        QTimer rescue;
        rescue.callOnTimeout([&] {
            stuck = dialog<TSuchenDlg>("SuchenDlg")->isVisible(),
            dialog<TSuchenDlg>("SuchenDlg")->reject();
        });
        rescue.start(6000);
        form->show(); // returns once the search dialog has ended
        QVERIFY(!stuck);
        QCOMPARE(shown(timeout), timeoutError());
        QVERIFY(watch.shown);
        QVERIFY(!dialog<TSuchenDlg>("SuchenDlg")->isVisible());
        QVERIFY(!form->Conversation->SearchRunning);
        QCOMPARE(sim->received(), std::string("T\rV\r"));
        QCOMPARE(form->Conversation->UsedComPort, quint16(0));
        QVERIFY(form->isEnabled());
    }

    // Closing the search dialog's window ends only the dialog: the search goes on.
    void closingSearchDialogKeepsSearching() {
        auto silent = startSim(silentPortOptions(1));
        auto sim = startSim(2);
        ModalAnswer search("SuchenDlg", [](QWidget* w) { w->close(); });
        QCOMPARE(showAndRead(*form), readDone());
        QVERIFY(search.seen());
        QCOMPARE(form->Conversation->UsedComPort, quint16(2));
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
        QCOMPARE(read, readDone());
        QCOMPARE(form->Conversation->UsedComPort, quint16(1));
        QCOMPARE(sim.received(), std::string("T\rV\rR0000,3c\r"));
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
            QCOMPARE(height, 137);
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
        QVERIFY(height > 137);
        QCOMPARE(locked->received(), std::string()); // skipped without a probe
        QCOMPARE(silent->received(), std::string("T\r"));
    }

    // COM1's line goes down as the probe arrives (the pseudo-terminal's master closed): the
    // search moves on without a message and finds the device on COM2.
    void lineDownDuringProbe() {
        ZuvexSim gone(silentPortOptions(1));
        gone.setHangUpAfter(1);
        gone.start();
        auto sim = startSim(2);
        QCOMPARE(showAndRead(*form), readDone());
        QCOMPARE(gone.received(), std::string("T"));
        QCOMPARE(form->Conversation->UsedComPort, quint16(2));
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
            20, 1, {"--reset"}, 10000);
        QCOMPARE(showAndRead(*form, 15000), readDone());
        QVERIFY(unplug.killed);
        QVERIFY(unplug.noDevice().seen());
        QCOMPARE(unplug.leftOpen, 0);
        QVERIFY(unplug.back && unplug.back->ready());
        QCOMPARE(form->Conversation->UsedComPort, quint16(1));
        QVERIFY(form->isEnabled());
    }
};

QTEST_MAIN(TestLinkSearch)
#include "tst_link_search.moc"
