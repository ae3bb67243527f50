// Reading and writing the configuration image against the simulator, every failure path.
#include "LinkTestSupport.h"
#include "WindowTest.h"

#include <string_view>

using namespace zuvexsim;

namespace {

constexpr int DevicePort = 3;
// What the device has received before a test's flow: the start-up search and read.
constexpr long StartupBytes = std::string_view("T\rV\rR0000,3c\r").size();
constexpr std::size_t WriteCommandBytes = std::string_view("W0000,3c\r").size();
constexpr std::size_t WholeWriteBytes = WriteCommandBytes + ConfigImageSize + 1; // + checksum

enum class Flow { Read, Write, PinChange, Idle };

// What the user does to the window: a click, a key.
using UserInput = std::function<void(TAppFormProbe& window)>;
UserInput clickOn(const char* button) {
    return [button](TAppFormProbe& window) {
        QTest::mouseClick(part<QPushButton>(window, button), Qt::LeftButton);
    };
}

// Notes each dialog that shows and closes it: a test can say that none came, and does not hang
// when one does.
struct ShownDialogs {
    QStringList names;
    QTimer poll;
    ShownDialogs() {
        QObject::connect(&poll, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && qobject_cast<QDialog*>(w)) {
                    names << w->objectName();
                    w->close();
                }
        });
        poll.start(PollMs);
    }
};

} // namespace
Q_DECLARE_METATYPE(Flow)
Q_DECLARE_METATYPE(UserInput)

class TestLinkTransfer : public QObject, AppWithSim {
    Q_OBJECT

    void start(Flow flow) {
        action(*form, flow == Flow::PinChange ? "NewPIN"
                      : flow == Flow::Write   ? "Upload"
                                              : "Download")
            ->trigger();
    }
    // After a flow on the port in use, which stays open.
    bool transferEnded() const { return flowEnded(*form) && form->ComPort1->Open(); }

private slots:
    void initTestCase() { useOneQtPoolThread(); }

    void init() {
        openWindow(simOptions(), sampleImage());
        QVERIFY(readConfiguration(*form));
        QVERIFY(QTest::qWaitFor([&] { return !form->Modified && form->Image == sampleImage(); }));
        sim->clearTraffic();
    }

    void cleanup() { closeWindow(); }

    void failedFlowKeepsTheWindowAsItWas_data() {
        QTest::addColumn<Flow>("flow");
        QTest::addColumn<SimFaults>("device");
        QTest::addColumn<TLinkBox>("seen");
        QTest::newRow("read with a bad checksum")
            << Flow::Read << faults([](SimFaults& f) { f.corruptReadChecksum = true; })
            << ReadFailed;
        QTest::newRow("write refused")
            << Flow::Write << writeFault(AckFault::Kind::Nak, ConfigImageSize / 2) << WriteFailed;
    }
    // Which answers fail is the conversation's; the window keeps the image, editor and caption.
    void failedFlowKeepsTheWindowAsItWas() {
        QFETCH(Flow, flow);
        QFETCH(SimFaults, device);
        QFETCH(TLinkBox, seen);
        part<QCheckBox>(*form, "CBarb21")->click();
        const QString title = form->windowTitle();
        const TEditorSettings before = part<TEditorPages>(*form)->ReadSettings();
        sim->setImage(ConfigImage{});
        sim->setFaults(device);
        ModalAnswer error("ErrorDialog", press("OKBtn"), FlowEndMs);
        start(flow);
        QCOMPARE(shown(error, FlowEndMs), shownAs(seen));
        if (flow == Flow::Read) // a write takes the editor's image first
            QCOMPARE(form->Image, sampleImage());
        QCOMPARE(part<TEditorPages>(*form)->ReadSettings(), before);
        QCOMPARE(form->windowTitle(), title);
        QVERIFY(QTest::qWaitFor([&] { return transferEnded(); }));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    // The transfer box over the locked window, the result, the edits on the device, still "*".
    void writeGood() {
        part<QCheckBox>(*form, "CBarb24")->click(); // port 4 rings for external calls now
        sim->setAckDelay(SlowAckMs);
        ProgResultAnswer result;
        action(*form, "Upload")->trigger();
        QCOMPARE(ShownBox(dialog<TUpDownLoad>("UpDownLoad")->windowTitle(),
                          dialog<TUpDownLoad>("UpDownLoad")->Lines()),
                 ShownBox("Konfiguration programmieren", {QString(), "Übertragung läuft ..."}));
        QVERIFY(dialog<TUpDownLoad>("UpDownLoad")->isVisible());
        QVERIFY(!form->isEnabled());
        QCOMPARE(shown(result, FlowEndMs), shownAs(WriteDone));
        ConfigImage expected = sampleImage();
        TEditorSettings settings = sampleSettingsAfterRead();
        settings.ports[3].externanruf = true;
        encodeImage(settings, expected);
        QVERIFY(QTest::qWaitFor([&] { return sim->image() == expected; }));
        QVERIFY(dialog<TProgErgebnisDialog>("ProgErgebnisDialog")->Lines().isEmpty());
        QVERIFY(form->windowTitle().endsWith('*'));
        QVERIFY(transferEnded());
    }

    void closeLetsTheLineSettle_data() {
        QTest::addColumn<UserInput>("duringPause");
        QTest::newRow("nothing") << UserInput([](TAppFormProbe&) {});
        QTest::newRow("click on Konfiguration speichern") << clickOn("SpeedButton1");
        QTest::newRow("click on Konfiguration auslesen") << clickOn("SpeedButton2");
        QTest::newRow("Ctrl+O") << UserInput([](TAppFormProbe& window) {
            QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
        });
    }
    // Closing with the port open: the line settles under the wait cursor; what the user does
    // meanwhile is dropped with the window: nothing more goes out, no dialog opens.
    void closeLetsTheLineSettle() {
        QFETCH(UserInput, duringPause);
        FileDialogAnswers files(*form);
        QCOMPARE(showAndRead(*form), shownAs(ReadDone)); // on the screen: its shortcuts work
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        sim->clearTraffic();
        ShownDialogs dialogs;
        QVERIFY(!form->close()); // not yet
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QVERIFY(!form->ComPort1->Open());
        duringPause(*form);
        QVERIFY(QTest::qWaitFor([&] { return !form->Conversation->Waiting(); }));
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!form->isVisible());
        QTest::qWait(LongerThanAnyPauseMs);
        QCOMPARE(sim->received(), std::string());
        QCOMPARE(dialogs.names, QStringList());
        QVERIFY(files.requests.isEmpty());
        QVERIFY(!form->ComPort1->Open());
    }

    void warningWhenNoPortRings_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Nein") << false;
        QTest::newRow("Ja") << true;
    }
    // What goes out is the conversation's; the window asks and is usable again either way.
    void warningWhenNoPortRings() {
        QFETCH(bool, yes);
        for (const char* name : {"CBarb21", "CBarb22", "CBarb23"})
            part<QCheckBox>(*form, name)->click();
        ModalAnswer warning("ExternanrufWarnung",
                            [yes](QWidget* w) { pressButton(w, yes ? "&Ja" : "&Nein"); });
        std::optional<ProgResultAnswer> result;
        if (yes)
            result.emplace();
        action(*form, "Upload")->trigger();
        QCOMPARE(shown(warning),
                 ShownBox("Warnung",
                          {"Achtung!",
                           "Sie haben die Einstellungen so gewählt, dass ein Externanruf an "
                           "keinem Endgerät signalisiert wird.",
                           "Wenn Sie die Einstellungen in der Anlage speichern, werden Sie von "
                           "extern nicht erreichbar sein.",
                           "Wollen Sie die Einstellungen in der Anlage speichern?"}));
        if (yes)
            QVERIFY(shown(*result, FlowEndMs).seen);
        QVERIFY(QTest::qWaitFor([&] { return transferEnded(); }));
    }

    // The factory reset writes the factory settings over the reserved bytes of the last read.
    void factoryResetWritesFactoryImage() {
        ModalAnswer question("WerkseinstellungQuestion", press("&Ja"));
        ProgResultAnswer result;
        action(*form, "Werkseinstellung")->trigger();
        QVERIFY(question.seen());
        QVERIFY(shown(result, FlowEndMs).seen);
        ConfigImage expected = sampleImage();
        encodeImage(factorySettings(), expected);
        QVERIFY(QTest::qWaitFor([&] { return sim->image() == expected; }));
    }

    // "Abbrechen" in the transfer box stops the write: nothing more goes out, no error box.
    void cancelStopsTheWrite() {
        sim->setAckDelay(SlowAckMs);
        action(*form, "Upload")->trigger();
        QVERIFY(
            QTest::qWaitFor([&] { return sim->received().size() > WriteCommandBytes; }, FlowEndMs));
        pressButton(dialog<TUpDownLoad>("UpDownLoad"), "CancelBtn");
        QVERIFY(transferEnded());
        QTest::qWait(ByteOnTheWireMs);
        const std::size_t sent = sim->received().size();
        QTest::qWait(LongerThanAnyPauseMs);
        QCOMPARE(sim->received().size(), sent);
        QVERIFY(sent < WholeWriteBytes);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void deviceGoesAway_data() {
        QTest::addColumn<Flow>("flow");
        QTest::addColumn<long>("hangUpAfter"); // bytes received by then
        QTest::newRow("during a read")
            << Flow::Read << StartupBytes + long(std::string_view("R000").size());
        QTest::newRow("during a write")
            << Flow::Write << StartupBytes + long(WriteCommandBytes) + ConfigImageSize / 2;
        QTest::newRow("during a PIN change") << Flow::PinChange
                                             << StartupBytes + long(std::string_view("\x05"
                                                                                     "00")
                                                                        .size());
        QTest::newRow("while idle") << Flow::Idle << StartupBytes;
    }
    // Unplugged: one error box (none while idle), the port closed; plugged in, the next read works.
    void deviceGoesAway() {
        QFETCH(Flow, flow);
        QFETCH(long, hangUpAfter);
        std::optional<ModalAnswer> pinEntry; // comes before the box that ends the flow
        if (flow == Flow::Idle) {
            sim->stop();
        } else {
            if (flow == Flow::PinChange)
                pinEntry.emplace("NeuePINDlg", enterPins("0000", "4711"));
            ModalAnswer error("ErrorDialog", press("OKBtn"), FlowEndMs);
            sim->setHangUpAfter(hangUpAfter);
            start(flow);
            QCOMPARE(shown(error, FlowEndMs), shownAs(lineLostBox(DevicePort)));
            if (flow == Flow::PinChange)
                QCOMPARE(sim->pin(), std::string("0000")); // nothing half changed
        }
        {
            ModalAnswer second("ErrorDialog", press("OKBtn"), FlowEndMs);
            QTest::qWait(LongestStepTimeoutMs);
            QVERIFY(!second.seen());
        }
        QVERIFY(flowEnded(*form));
        QVERIFY(!form->ComPort1->Open());
        sim->stop();
        sim->setHangUpAfter(-1);
        sim->start();
        QVERIFY(readConfiguration(*form));
    }
};

QTEST_MAIN(TestLinkTransfer)
#include "tst_link_transfer.moc"
