// The PIN change from the main window against the simulated telephone system: every outcome
// of the exchange after ENQ, the port choice, and the window usable again after each.
#include "AppWithSim.h"
#include "ModalDriver.h"
#include "QtPool.h"
#include "app/AppFormProbe.h"
#include "link/NeuePINDlg.h"
#include "link/PortDialogs.h"
#include "serial/DataPacket.h"
#include "serial/SerialPort.h"

#include <QAction>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace zuvexsim;
Q_DECLARE_METATYPE(zuvexsim::AckFault::Kind)

namespace {

// Fills the PIN dialog and presses OK.
std::function<void(QWidget*)> enterPins(const QString& oldPin, const QString& newPin) {
    return [=](QWidget* w) {
        auto* dlg = static_cast<TNeuePINDlg*>(w);
        dlg->AltePIN->setText(oldPin);
        dlg->NeuePIN1->setText(newPin);
        dlg->NeuePIN2->setText(newPin);
        dlg->NeuePIN2->setFocus();
        pressButton(w, "OKBtn");
    };
}

const char Enq = 0x05;

} // namespace

class TestPinApp : public QObject, AppWithSim {
    Q_OBJECT
    QTimer watch;
    bool portDialogShown = false;
    bool boxShown = false;       // the transfer box, as the exchange runs
    bool windowDisabled = false; // the main window meanwhile
    QString boxCaption;
    QStringList boxLines;

    bool exchangeEnded() const {
        return form->isEnabled() && !form->UpDownLoad->isVisible() && !form->DataPacket1->Enabled();
    }

private slots:
    void initTestCase() { useOneQtPoolThread(); }
    void init() {
        openWindow(simOptions());
        portDialogShown = boxShown = windowDisabled = false;
        boxCaption.clear();
        boxLines.clear();
        connect(&watch, &QTimer::timeout, [this] {
            if (!form)
                return;
            portDialogShown |= form->PortDialog->isVisible();
            if (form->UpDownLoad->isVisible()) {
                boxShown = true;
                windowDisabled |= !form->isEnabled();
                boxCaption = form->UpDownLoad->windowTitle();
                boxLines = form->UpDownLoad->Lines();
            }
        });
        watch.start(2);
    }
    void cleanup() {
        watch.stop();
        watch.disconnect();
        closeWindow();
    }

    void changed() {
        form->UsedComPort = 3; // a port in use: no port dialog, ENQ at once
        sim->setAckDelay(40);  // long enough to see the transfer box
        ModalAnswer pin("NeuePINDlg", enterPins("0000", "4711"));
        ModalAnswer result("ErgebnisDialog", press("OKBtn"));
        form->NewPIN->trigger();
        QVERIFY(QTest::qWaitFor([&] { return result.seen(); }));
        QCOMPARE(result.caption, QStringLiteral("Neuer Sicherheitscode"));
        QCOMPARE(result.lines,
                 (QStringList{QString(), QStringLiteral("Der Sicherheitscode wurde geändert.")}));
        QCOMPARE(sim->received(), std::string(1, Enq) + "0000" + "54711");
        QCOMPARE(sim->pin(), std::string("4711"));
        QVERIFY(boxShown && windowDisabled);
        QCOMPARE(boxCaption, QStringLiteral("Neuer Sicherheitscode"));
        QCOMPARE(boxLines, (QStringList{QString(), QStringLiteral("Übertragung läuft ...")}));
        QVERIFY(!portDialogShown);
        QVERIFY(QTest::qWaitFor([&] { return exchangeEnded(); }));
        QCOMPARE(form->LinkOperation, 3);
        QCOMPARE(form->PinMessage, (std::array<char, 5>{'5', '4', '7', '1', '1'}));
    }

    void failures_data() {
        QTest::addColumn<QString>("oldPin");
        QTest::addColumn<AckFault::Kind>("kind");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<std::string>("sent");
        const QStringList transfer{QStringLiteral("Fehler!"),
                                   QStringLiteral("Fehler beim Ändern des Sicherheitscodes.")};
        const QStringList timeout{QStringLiteral("Zeitüberschreitung!"),
                                  QStringLiteral("Fehler bei der Datenübertragung.")};
        const std::string enq(1, Enq);
        QTest::newRow("wrong old PIN")
            << "1234" << AckFault::Kind::None << 0 << "Neuer Sicherheitscode"
            << QStringList{QStringLiteral("Fehler!"), QStringLiteral("Die alte PIN ist falsch.")}
            << enq + "1234";
        QTest::newRow("NAK after ENQ")
            << "0000" << AckFault::Kind::Nak << 0 << "Übertragungsfehler" << transfer << enq;
        QTest::newRow("other byte after ENQ")
            << "0000" << AckFault::Kind::Other << 0 << "Übertragungsfehler" << transfer << enq;
        QTest::newRow("other byte after old PIN")
            << "0000" << AckFault::Kind::Other << 1 << "Übertragungsfehler" << transfer
            << enq + "0000";
        QTest::newRow("NAK after new PIN")
            << "0000" << AckFault::Kind::Nak << 2 << "Übertragungsfehler" << transfer
            << enq + "0000" + "54711";
        QTest::newRow("no answer to ENQ")
            << "0000" << AckFault::Kind::Silent << 0 << "Timeout-Fehler" << timeout << enq;
        QTest::newRow("no answer to new PIN")
            << "0000" << AckFault::Kind::Silent << 2 << "Timeout-Fehler" << timeout
            << enq + "0000" + "54711";
    }
    void failures() {
        QFETCH(QString, oldPin);
        QFETCH(AckFault::Kind, kind);
        QFETCH(int, step);
        QFETCH(QString, caption);
        QFETCH(QStringList, lines);
        QFETCH(std::string, sent);
        sim->setPinFault({kind, step, 0x41, 0});
        form->UsedComPort = 3;
        ModalAnswer pin("NeuePINDlg", enterPins(oldPin, "4711"));
        ModalAnswer error("ErrorDialog", press("OKBtn"));
        form->NewPIN->trigger();
        QVERIFY(QTest::qWaitFor([&] { return error.seen(); }));
        QCOMPARE(error.caption, caption);
        QCOMPARE(error.lines, lines);
        QCOMPARE(sim->received(), sent);
        QCOMPARE(sim->pin(), std::string("0000"));
        QVERIFY(QTest::qWaitFor([&] { return exchangeEnded(); }));
    }

    // The device vanishing during the exchange: one error box, the window usable again.
    void deviceGoesAway() {
        sim->setHangUpAfter(3); // ENQ and two digits of the old PIN
        form->UsedComPort = 3;
        ModalAnswer pin("NeuePINDlg", enterPins("0000", "4711"));
        ModalAnswer error("ErrorDialog", press("OKBtn"));
        ModalAnswer second("ErrorDialog", press("OKBtn"), 2500);
        form->NewPIN->trigger();
        QVERIFY(QTest::qWaitFor([&] { return error.seen(); }));
        QCOMPARE(error.caption, QStringLiteral("Schnittstellenfehler"));
        QCOMPARE(error.lines, (QStringList{QStringLiteral("Fehler!"), PortLostText(3)}));
        QTest::qWait(1000); // longer than the exchange's time-out
        QVERIFY(!second.seen());
        QVERIFY(exchangeEnded());
        QVERIFY(!form->ComPort1->Open());
        QCOMPARE(sim->pin(), std::string("0000"));
    }

    // An answer late but within 12 ticks is still taken.
    void lateAnswerWithinLimit() {
        sim->setPinFault({AckFault::Kind::Late, 1, 0x00, 450});
        form->UsedComPort = 3;
        ModalAnswer pin("NeuePINDlg", enterPins("0000", "1357"));
        ModalAnswer result("ErgebnisDialog", press("OKBtn"));
        form->NewPIN->trigger();
        QVERIFY(QTest::qWaitFor([&] { return result.seen(); }));
        QCOMPARE(sim->pin(), std::string("1357"));
        QVERIFY(QTest::qWaitFor([&] { return exchangeEnded(); }));
    }

    // No port in use: the free ports are offered; the chosen one is used.
    void portChosenFirst() {
        ModalAnswer pin("NeuePINDlg", enterPins("0000", "2468"));
        ModalAnswer port("PortDialog", [](QWidget* w) {
            auto* dlg = static_cast<TPortDialog*>(w);
            QVERIFY(dlg->COMBtn[2]->isEnabled()); // COM3, the simulator
            QVERIFY(!dlg->COMBtn[0]->isEnabled());
            dlg->COMBtn[2]->click();
            pressButton(w, "OKBtn");
        });
        ModalAnswer result("ErgebnisDialog", press("OKBtn"));
        form->NewPIN->trigger();
        QVERIFY(QTest::qWaitFor([&] { return result.seen(); }, 10000));
        QVERIFY(port.seen());
        QCOMPARE(form->UsedComPort, quint16(3));
        QCOMPARE(sim->pin(), std::string("2468"));
        QVERIFY(QTest::qWaitFor([&] { return exchangeEnded(); }));
    }

    // Nothing is sent when the dialog or the port choice is cancelled, or no port is free.
    void nothingSent_data() {
        QTest::addColumn<int>("situation");
        QTest::newRow("PIN dialog cancelled") << 0;
        QTest::newRow("port choice cancelled") << 1;
        QTest::newRow("no free port") << 2;
    }
    void nothingSent() {
        QFETCH(int, situation);
        if (situation == 2)
            sim->stop();
        ModalAnswer pin("NeuePINDlg", situation == 0
                                          ? std::function<void(QWidget*)>(press("CancelBtn"))
                                          : enterPins("0000", "4711"));
        std::unique_ptr<ModalAnswer> port;
        std::unique_ptr<ModalAnswer> error;
        if (situation == 1)
            port = std::make_unique<ModalAnswer>("PortDialog", press("CancelBtn"));
        if (situation == 2)
            error = std::make_unique<ModalAnswer>("ErrorDialog", press("OKBtn"));
        form->NewPIN->trigger();
        QVERIFY(pin.seen());
        if (port)
            QVERIFY(port->seen());
        if (error) {
            QVERIFY(error->seen());
            QCOMPARE(error->caption, QStringLiteral("Schnittstellenfehler"));
            QCOMPARE(error->lines,
                     (QStringList{QStringLiteral("Fehler!"),
                                  QStringLiteral("Es wurde keine freie Schnittstelle gefunden.")}));
        }
        QCOMPARE(sim->received(), std::string());
        QVERIFY(!boxShown);
        QVERIFY(form->isEnabled());
        QCOMPARE(form->UsedComPort, quint16(0));
    }
};

QTEST_MAIN(TestPinApp)
#include "tst_pin_app.moc"
