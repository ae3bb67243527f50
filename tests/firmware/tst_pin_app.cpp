// The PIN change from the main window against the simulated telephone system: every outcome
// of the exchange after ENQ, the port choice, and the window usable again after each.
#include "AppWithSim.h"
#include "ModalDriver.h"
#include "QtPool.h"
#include "ShownBox.h"
#include "WindowParts.h"
#include "app/AppFormProbe.h"
#include "link/LinkConversation.h"
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
#include <optional>

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
const ShownBox Changed("Neuer Sicherheitscode", {QString(), "Der Sicherheitscode wurde geändert."});

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
        return form->isEnabled() && !dialog<TUpDownLoad>("UpDownLoad")->isVisible() &&
               !form->DataPacket1->Enabled();
    }

    // Enters the PINs (choosing the port with `choosePort` when asked) and answers the box
    // `box` that ends the exchange; what it showed.
    ShownBox changePin(const QString& oldPin, const QString& newPin,
                       const QString& box = "ErgebnisDialog",
                       std::function<void(QWidget*)> choosePort = {}) {
        ModalAnswer pin("NeuePINDlg", enterPins(oldPin, newPin));
        std::optional<ModalAnswer> port;
        if (choosePort)
            port.emplace("PortDialog", std::move(choosePort));
        ModalAnswer end(box, press("OKBtn"));
        action(*form, "NewPIN")->trigger();
        const ShownBox seen = shown(end, 10000);
        return !port || port->seen() ? seen : ShownBox();
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
            portDialogShown |= dialog<TPortDialog>("PortDialog")->isVisible();
            if (dialog<TUpDownLoad>("UpDownLoad")->isVisible()) {
                boxShown = true;
                windowDisabled |= !form->isEnabled();
                boxCaption = dialog<TUpDownLoad>("UpDownLoad")->windowTitle();
                boxLines = dialog<TUpDownLoad>("UpDownLoad")->Lines();
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
        form->Conversation->UsedComPort = 3; // a port in use: no port dialog, ENQ at once
        sim->setAckDelay(40);                // long enough to see the transfer box
        QCOMPARE(changePin("0000", "4711"), Changed);
        QCOMPARE(sim->received(), std::string(1, Enq) + "0000" + "54711");
        QCOMPARE(sim->pin(), std::string("4711"));
        QVERIFY(boxShown && windowDisabled);
        QCOMPARE(boxCaption, QStringLiteral("Neuer Sicherheitscode"));
        QCOMPARE(boxLines, (QStringList{QString(), QStringLiteral("Übertragung läuft ...")}));
        QVERIFY(!portDialogShown);
        QVERIFY(QTest::qWaitFor([&] { return exchangeEnded(); }));
        QCOMPARE(form->Conversation->LinkOperation, 3);
        QCOMPARE(form->Conversation->PinMessage, (std::array<char, 5>{'5', '4', '7', '1', '1'}));
    }

    // A failed exchange ends with its error box and leaves the window usable; which answers
    // fail, and what goes out before, is the conversation's (tst_link_conversation).
    void failureShowsErrorBox() {
        form->Conversation->UsedComPort = 3;
        QCOMPARE(changePin("1234", "4711", "ErrorDialog"),
                 ShownBox("Neuer Sicherheitscode", {"Fehler!", "Die alte PIN ist falsch."}));
        QCOMPARE(sim->pin(), std::string("0000"));
        QVERIFY(QTest::qWaitFor([&] { return exchangeEnded(); }));
    }

    // The device vanishing during the exchange: one error box, the window usable again.
    void deviceGoesAway() {
        sim->setHangUpAfter(3); // ENQ and two digits of the old PIN
        form->Conversation->UsedComPort = 3;
        ModalAnswer pin("NeuePINDlg", enterPins("0000", "4711"));
        ModalAnswer error("ErrorDialog", press("OKBtn"));
        ModalAnswer second("ErrorDialog", press("OKBtn"), 2500);
        action(*form, "NewPIN")->trigger();
        QCOMPARE(shown(error, 5000),
                 ShownBox("Schnittstellenfehler", {"Fehler!", PortLostText(3)}));
        QTest::qWait(1000); // longer than the exchange's time-out
        QVERIFY(!second.seen());
        QVERIFY(exchangeEnded());
        QVERIFY(!form->ComPort1->Open());
        QCOMPARE(sim->pin(), std::string("0000"));
    }

    // No port in use: the free ports are offered; the chosen one is used.
    void portChosenFirst() {
        const auto choose = [](QWidget* w) {
            auto* dlg = static_cast<TPortDialog*>(w);
            QVERIFY(dlg->COMBtn[2]->isEnabled()); // COM3, the simulator
            QVERIFY(!dlg->COMBtn[0]->isEnabled());
            dlg->COMBtn[2]->click();
            pressButton(w, "OKBtn");
        };
        QCOMPARE(changePin("0000", "2468", "ErgebnisDialog", choose), Changed);
        QCOMPARE(form->Conversation->UsedComPort, quint16(3));
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
        std::optional<ModalAnswer> port;
        std::optional<ModalAnswer> error;
        if (situation == 1)
            port.emplace("PortDialog", press("CancelBtn"));
        if (situation == 2)
            error.emplace("ErrorDialog", press("OKBtn"));
        action(*form, "NewPIN")->trigger();
        QVERIFY(pin.seen());
        QVERIFY(!port || shown(*port, ScanTimeoutMs).seen);
        if (error)
            QCOMPARE(shown(*error, ScanTimeoutMs),
                     ShownBox("Schnittstellenfehler",
                              {"Fehler!", "Es wurde keine freie Schnittstelle gefunden."}));
        QCOMPARE(sim->received(), std::string());
        QVERIFY(!boxShown);
        QVERIFY(form->isEnabled());
        QCOMPARE(form->Conversation->UsedComPort, quint16(0));
    }
};

QTEST_MAIN(TestPinApp)
#include "tst_pin_app.moc"
