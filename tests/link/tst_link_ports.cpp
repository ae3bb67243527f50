// The free-port scan, the port dialog and the firmware's port chooser.
#include "LinkTestSupport.h"
#include "ModalDriver.h"
#include "TestHome.h"
#include "WindowParts.h"
#include "app/AppFormProbe.h"
#include "link/LinkConversation.h"
#include "link/PortDialogs.h"
#include "serial/SerialPort.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

using namespace zuvexsim;

namespace {

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

class TestLinkPorts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useOneQtPoolThread(); }

    // The scan enables the free ports; a chosen port is used by the next read directly.
    void choosePortThenRead() {
        TestHome home;
        auto com2 = startSim(2);
        auto com3 = startSim(3);
        TAppFormProbe form;
        PortChoices seen;
        bool okAfterClick = false;
        ModalAnswer dialog(
            "PortDialog",
            [&](QWidget* w) {
                seen = choicesOf(w);
                w->findChild<QRadioButton*>("COM2Btn")->click();
                okAfterClick = choicesOf(w).okEnabled;
                pressButton(w, "OKBtn");
            },
            10000);
        action(form, "COMItem1")->trigger();
        QCOMPARE(shown(dialog, ScanTimeoutMs), ShownBox("COM-Port festlegen", {}));
        QCOMPARE(seen.enabled, QList<bool>({false, true, true, false}));
        QCOMPARE(seen.checked, QList<bool>({false, false, false, false}));
        QVERIFY(!seen.okEnabled);
        QVERIFY(okAfterClick);
        QCOMPARE(form.Conversation->UsedComPort, quint16(2));
        QCOMPARE(part<QLabel>(form, "StatusPanel1")->text(),
                 QStringLiteral("Verwendeter COM-Port: COM2"));
        QVERIFY(!form.ComPort1->Open()); // chosen, not opened
        QCOMPARE(form.ComPort1->ComNumber(), quint16(20));

        QVERIFY(readConfiguration(form));
        QCOMPARE(com2->received(), std::string("R0000,3c\r")); // no identification first
        QCOMPARE(com3->received(), std::string());
        QVERIFY(QTest::qWaitFor([&] { return form.Image == sampleImage(); }));
    }

    // Cancelling changes nothing; the scan leaves the port closed and the port in use kept.
    void cancelKeepsPortInUse() {
        TestHome home;
        auto com3 = startSim(3);
        TAppFormProbe form;
        QVERIFY(readConfiguration(form));
        QVERIFY(form.ComPort1->Open());
        ModalAnswer dialog(
            "PortDialog",
            [](QWidget* w) {
                w->findChild<QRadioButton*>("COM3Btn")->click();
                pressButton(w, "CancelBtn");
            },
            10000);
        action(form, "COMItem1")->trigger();
        QVERIFY(shown(dialog, ScanTimeoutMs).seen);
        QCOMPARE(form.Conversation->UsedComPort, quint16(3));
        QVERIFY(!form.ComPort1->Open());
        QCOMPARE(form.ComPort1->ComNumber(), quint16(20));
        QVERIFY(form.Conversation->PortAvailable[2]); // its own port counts as free once closed
        com3->clearTraffic();
        QVERIFY(readConfiguration(form)); // re-opens COM3 and reads at once
        QCOMPARE(com3->received(), std::string("R0000,3c\r"));
    }

    void onlyPortAboveCom4() {
        TestHome home;
        auto com7 = startSim(7);
        TAppFormProbe form;
        PortChoices seen;
        ModalAnswer dialog(
            "PortDialog",
            [&](QWidget* w) {
                seen = choicesOf(w);
                QTest::keyClick(w, Qt::Key_Return); // OK is disabled: Enter does nothing
                QTest::keyClick(w, Qt::Key_Escape);
            },
            10000);
        action(form, "COMItem1")->trigger();
        QVERIFY(shown(dialog, ScanTimeoutMs).seen);
        QCOMPARE(seen.enabled, QList<bool>({false, false, false, false}));
        QVERIFY(form.Conversation->PortAvailable[6]);
        QCOMPARE(form.Conversation->UsedComPort, quint16(0));
    }

    // The scan keeps the window painting under the wait cursor; a click on it waits.
    void scanDoesNotFreeze() {
        TestHome home;
        TAppFormProbe form;
        ModalAnswer offline("KeineAnlageDlg", press("OKBtn"));
        form.show(); // the start-up search finds nothing
        QVERIFY(offline.seen());
        auto* ring = form.findChild<QCheckBox*>("CBarb21");
        const bool ringBefore = ring->isChecked();
        PaintCounter paints(&form);
        ModalAnswer error("ErrorDialog", press("OKBtn"), ScanTimeoutMs);
        action(form, "COMItem1")->trigger();
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QTest::mouseClick(ring, Qt::LeftButton);
        form.update();
        QVERIFY(QTest::qWaitFor([&] { return paints.count > 0; }));
        QVERIFY(form.Conversation->Waiting());
        QCOMPARE(ring->isChecked(), ringBefore);
        QVERIFY(shown(error, ScanTimeoutMs).seen);
        QVERIFY(!QApplication::overrideCursor());
    }

    void noFreePort() {
        TestHome home;
        TAppFormProbe form;
        ModalAnswer error("ErrorDialog", press("OKBtn"), 10000);
        action(form, "COMItem1")->trigger();
        QCOMPARE(shown(error, ScanTimeoutMs),
                 ShownBox("Schnittstellenfehler",
                          {"Fehler!", "Es wurde keine freie Schnittstelle gefunden."}));
        QVERIFY(!dialog<TPortDialog>("PortDialog")->isVisible());
    }

    void chooseFirmwarePort_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("comNumber");
        QTest::newRow("COM12") << QStringList({"COM1", "COM12"}) << 1 << int(mrOk) << 12;
        QTest::newRow("first entry") << QStringList({"COM3", "COM12"}) << 0 << int(mrOk) << 3;
        QTest::newRow("no number") << QStringList({"COMx"}) << 0 << int(mrCancel) << 5;
        QTest::newRow("nothing selected") << QStringList({"COM2"}) << -1 << int(mrOk) << 5;
    }

    void chooseFirmwarePort() {
        QFETCH(QStringList, entries);
        QFETCH(int, selected);
        QFETCH(int, result);
        QFETCH(int, comNumber);
        TestHome home;
        TAppFormProbe form;
        form.ComPort1->SetComNumber(5);
        TWaehleComPortDlg* dlg = dialog<TWaehleComPortDlg>("WaehleComPortDlg");
        dlg->CBSchnittstellen->clear();
        dlg->CBSchnittstellen->addItems(entries);
        dlg->CBSchnittstellen->setCurrentIndex(selected);
        ModalAnswer answer("WaehleComPortDlg", press("OKBtn"));
        QCOMPARE(dlg->exec(), result);
        QCOMPARE(shown(answer), ShownBox("Dialog", {}));
        QCOMPARE(form.ComPort1->ComNumber(), quint16(comNumber));
        QCOMPARE(form.Conversation->UsedComPort, quint16(0));
    }
};

QTEST_MAIN(TestLinkPorts)
#include "tst_link_ports.moc"
