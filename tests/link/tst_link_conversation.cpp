// The conversation without a window: the real serial layer against the simulator, a recording view.
#include "LinkRig.h"
#include "serial/ComPortMap.h"

using namespace zuvexsim;
using namespace std::string_literals;

namespace {

constexpr int DevicePort = 3;

// An image whose bytes all differ from their neighbours, so a byte out of place shows.
ConfigImage countingImage() {
    ConfigImage image{};
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = std::uint8_t(i * 7 + 1);
    return image;
}

std::string bytesOf(const ConfigImage& image, int count = ConfigImageSize) {
    return std::string(image.begin(), image.begin() + count);
}

// Later than the wait for an image byte's ACK, within the checksum's; within a PIN step's.
constexpr int LateAckMs = 600;
constexpr int LateChecksumAckMs = 1500;
constexpr int LatePinAckMs = 450;
static_assert(LateAckMs > (LinkProtocol::AckTicks + 1) * serialticks::TickMs);
static_assert(LateChecksumAckMs < LinkProtocol::ChecksumAckTicks * serialticks::TickMs);
static_assert(LatePinAckMs < LinkProtocol::LineTicks * serialticks::TickMs);

// Image bytes a fault is set on: the first, one in the middle, the last.
constexpr int FirstByte = 0;
constexpr int MiddleByte = 10;
constexpr int LastByte = ConfigImageSize - 1;

// The acknowledgements of a PIN change.
constexpr int EnqStep = 0;
constexpr int OldPinStep = 1;
constexpr int NewPinStep = 2;

// The line as R (received by the device) and S (sent) marks.
std::string directions(const ZuvexSim& sim) {
    std::string out;
    for (const WireByte& b : sim.traffic())
        out += b.received ? 'R' : 'S';
    return out;
}

// A whole write, stop and wait: the command, its ACK, then each byte only after the ACK before it.
std::string stopAndWaitWrite() {
    std::string out(std::string_view("W0000,3c\r").size(), 'R');
    out += 'S';
    for (int step = 0; step <= WriteChecksumStep; ++step)
        out += "RS";
    return out;
}

} // namespace

class TestLinkConversation : public QObject {
    Q_OBJECT

    std::unique_ptr<TLinkRig> rig;

    // The device on COM3 chosen as the port in use, as after the port dialog.
    ZuvexSim& deviceInUse(const SimFaults& faults = {},
                          const ConfigImage& image = countingImage()) {
        ZuvexSim& device = rig->addDevice(DevicePort, image, faults);
        rig->conversation->ChoosePort(DevicePort);
        return device;
    }

    // After a flow: the collector off, no pause pending, the transfer box gone.
    bool flowEnded() const {
        return !rig->collector->Enabled() && !rig->conversation->Waiting() &&
               !rig->view.transferBoxShowing;
    }

private slots:
    void init() { rig = std::make_unique<TLinkRig>(); }
    void cleanup() { rig.reset(); }

    void readOnPortInUse_data() {
        QTest::addColumn<SimFaults>("device");
        QTest::addColumn<TLinkBox>("seen");
        QTest::addColumn<bool>("imageTaken");
        QTest::newRow("good block") << SimFaults{} << ReadDone << true;
        QTest::newRow("bad checksum")
            << faults([](SimFaults& f) { f.corruptReadChecksum = true; }) << ReadFailed << false;
        QTest::newRow("no reply") << faults([](SimFaults& f) { f.silent = true; }) << TimedOut
                                  << false;
    }
    // One request, one block; only a good checksum hands the image on. No transfer box.
    void readOnPortInUse() {
        QFETCH(SimFaults, device);
        QFETCH(TLinkBox, seen);
        QFETCH(bool, imageTaken);
        ZuvexSim& sim = deviceInUse(device);
        rig->conversation->LinkOperation = TLinkConversation::ReadOperation;
        rig->conversation->StartTransfer();
        QVERIFY(rig->waitForBoxes());
        QCOMPARE(rig->view.boxes, TLinkBoxes{seen});
        QCOMPARE(rig->view.imageRead.has_value(), imageTaken);
        if (imageTaken)
            QCOMPARE(*rig->view.imageRead, countingImage());
        QCOMPARE(sim.received(), std::string("R0000,3c\r"));
        QVERIFY(rig->view.transferBoxes.isEmpty());
        QVERIFY(flowEnded());
        QVERIFY(rig->port->Open());
    }

    // The driver refusing a request (the read sent in the version step): one message, no time-out.
    void refusedRequestEndsTheFlowOnce() {
        rig->addDevice(DevicePort, countingImage());
        rig->port->OutSize = std::string_view("V\r").size() + 1;
        rig->conversation->StartSearch();
        QVERIFY(rig->waitForBoxes());
        QTest::qWait(LongestStepTimeoutMs);
        const TLinkBox queueFull{TLinkBox::ApplicationError,
                                 QString(),
                                 {"Die Sendewarteschlange des COM-Ports ist voll."}};
        QCOMPARE(rig->view.boxes, TLinkBoxes{queueFull});
        QVERIFY(!rig->collector->Enabled());
    }

    void writeOnPortInUse_data() {
        const ConfigImage image = countingImage();
        const std::string command = "W0000,3c\r";
        const std::string whole = command + bytesOf(image) + char(imageChecksum(image));
        const auto through = [&](int byte) { return command + bytesOf(image, byte + 1); };
        using enum AckFault::Kind;
        QTest::addColumn<SimFaults>("device");
        QTest::addColumn<TLinkBox>("seen");
        QTest::addColumn<std::string>("wire");
        QTest::newRow("all acknowledged") << SimFaults{} << WriteDone << whole;
        QTest::newRow("command refused")
            << writeFault(Nak, WriteCommandStep) << WriteFailed << command;
        QTest::newRow("first byte refused")
            << writeFault(Nak, FirstByte) << WriteFailed << through(FirstByte);
        QTest::newRow("middle byte refused")
            << writeFault(Nak, MiddleByte) << WriteFailed << through(MiddleByte);
        QTest::newRow("last byte refused")
            << writeFault(Nak, LastByte) << WriteFailed << through(LastByte);
        QTest::newRow("middle byte answered with another byte")
            << writeFault(Other, MiddleByte) << WriteFailed << through(MiddleByte);
        QTest::newRow("middle byte acknowledged too late")
            << writeFault(Late, MiddleByte, LateAckMs) << TimedOut << through(MiddleByte);
        QTest::newRow("last byte unanswered")
            << writeFault(Silent, LastByte) << TimedOut << through(LastByte);
        QTest::newRow("checksum refused")
            << writeFault(Nak, WriteChecksumStep) << WriteFailed << whole;
        QTest::newRow("checksum unanswered")
            << writeFault(Silent, WriteChecksumStep) << TimedOut << whole;
        QTest::newRow("checksum acknowledged late, in time")
            << writeFault(Late, WriteChecksumStep, LateChecksumAckMs) << WriteDone << whole;
    }
    // Stop and wait: each byte after the previous acknowledgement, nothing after a failure.
    void writeOnPortInUse() {
        QFETCH(SimFaults, device);
        QFETCH(TLinkBox, seen);
        QFETCH(std::string, wire);
        ZuvexSim& sim = deviceInUse(device, ConfigImage{});
        rig->view.imageToWrite = countingImage();
        rig->conversation->LinkOperation = TLinkConversation::WriteOperation;
        rig->conversation->StartTransfer();
        QCOMPARE(rig->view.transferBoxes, QStringList{"Konfiguration programmieren"});
        QVERIFY(rig->waitForBoxes());
        QCOMPARE(rig->view.boxes, TLinkBoxes{seen});
        QTest::qWait(LateAckMs); // a late acknowledgement sends nothing more
        QCOMPARE(sim.received(), wire);
        QCOMPARE(sim.image(), seen == WriteDone ? countingImage() : ConfigImage{});
        if (seen == WriteDone)
            QCOMPARE(directions(sim), stopAndWaitWrite());
        QVERIFY(flowEnded());
    }

    void writeWarning_data() {
        QTest::addColumn<bool>("writeAnyway");
        QTest::addColumn<std::string>("wire");
        QTest::newRow("yes: written") << true << std::string("W0000,3c\r");
        QTest::newRow("no: nothing sent") << false << std::string();
    }
    // With no port ringing for external calls the user is asked first.
    void writeWarning() {
        QFETCH(bool, writeAnyway);
        QFETCH(std::string, wire);
        ZuvexSim& sim = deviceInUse(writeFault(AckFault::Kind::Nak, WriteCommandStep));
        rig->view.anyExternalRing = false;
        rig->view.writeAnyway = writeAnyway;
        rig->conversation->LinkOperation = TLinkConversation::WriteOperation;
        rig->conversation->StartTransfer();
        if (writeAnyway)
            QVERIFY(rig->waitForBoxes());
        QTest::qWait(ByteOnTheWireMs); // a byte sent although the user said no
        QCOMPARE(sim.received(), wire);
    }

    void search_data() {
        QTest::addColumn<SimFaults>("device");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("portInUse");
        QTest::addColumn<QString>("deviceText");
        QTest::addColumn<int>("noDeviceDialogs");
        const QStringList allThree{QString(), "Suche an COM1", "Suche an COM2", "Suche an COM3"};
        QTest::newRow("device on COM3")
            << SimFaults{} << allThree << QStringLiteral("Verwendeter COM-Port: COM3")
            << QStringLiteral("Zuvex 910k - Firmware 2.14") << 0;
        QTest::newRow("identification with NUL, 0xFF and DEL dropped")
            << faults([](SimFaults& f) {
                   f.identification = "Zuvex\x00 91\xff"
                                      "0k\x7f"s;
               })
            << allThree << QStringLiteral("Verwendeter COM-Port: COM3")
            << QStringLiteral("Zuvex 910k - Firmware 2.14") << 0;
        QTest::newRow("identification in lower case")
            << faults([](SimFaults& f) { f.identification = "zuvex 910k"; }) << allThree
            << QString() << QString() << 1;
        QTest::newRow("identification with a trailing blank")
            << faults([](SimFaults& f) { f.identification = "Zuvex 910k "; }) << allThree
            << QString() << QString() << 1;
        QTest::newRow("another device")
            << faults([](SimFaults& f) { f.identification = "Zuvex 911k"; }) << allThree
            << QString() << QString() << 1;
    }
    // From COM1, past silent ports: the device's port is used and read; else "Offline", no texts.
    void search() {
        QFETCH(SimFaults, device);
        QFETCH(QStringList, labels);
        QFETCH(QString, portInUse);
        QFETCH(QString, deviceText);
        QFETCH(int, noDeviceDialogs);
        rig->addSilentPort(1);
        rig->addSilentPort(2);
        ZuvexSim& sim = rig->addDevice(DevicePort, countingImage(), device);
        rig->conversation->StartSearch();
        QCOMPARE(rig->view.searchDialogs, 1);
        QVERIFY(rig->waitUntilSettled());
        QVERIFY(rig->view.searchEnded);
        QCOMPARE(rig->view.searchLabels, labels);
        QCOMPARE(rig->view.portInUse, portInUse);
        QCOMPARE(rig->view.deviceText, deviceText);
        QCOMPARE(rig->view.noDeviceLines.size(), noDeviceDialogs);
        for (int port : {1, 2})
            QCOMPARE(rig->devices[std::size_t(port - 1)]->received(), std::string("T\r"));
        if (noDeviceDialogs == 0) {
            QVERIFY(rig->waitForBoxes());
            QCOMPARE(rig->view.boxes, TLinkBoxes{ReadDone});
            QCOMPARE(sim.received(), std::string("T\rV\rR0000,3c\r"));
            QCOMPARE(rig->conversation->UsedComPort, DevicePort);
            QVERIFY(rig->port->Open()); // kept for the next command
            QVERIFY(!rig->collector->Enabled());
        } else {
            QCOMPARE(sim.received(), std::string("T\r"));
            QCOMPARE(rig->conversation->UsedComPort, 0);
            QVERIFY(!rig->port->Open());
        }
    }

    // Without COM ports the no-device dialog comes at once, without a search dialog, each time.
    void searchWithoutPorts() {
        rig->view.searchAgain = true;
        rig->conversation->StartSearch();
        QCOMPARE(rig->view.noDeviceLines, QStringList({QString(), QString()}));
        QCOMPARE(rig->view.searchDialogs, 0);
        QVERIFY(rig->view.searchEnded);
        QCOMPARE(rig->view.portInUse, QString());
    }

    void pinChange_data() {
        QTest::addColumn<SimFaults>("device");
        QTest::addColumn<QByteArray>("oldPin");
        QTest::addColumn<TLinkBox>("seen");
        QTest::addColumn<std::string>("wire");
        QTest::addColumn<std::string>("pinAfter");
        using enum AckFault::Kind;
        const QByteArray rightPin = "0000";
        const std::string enq = "\x05";
        const std::string allSent = enq + "0000" + "54321";
        const std::string unchanged = "0000";
        const std::string changed = "4321";
        QTest::newRow("changed") << SimFaults{} << rightPin << PinChanged << allSent << changed;
        QTest::newRow("old PIN wrong")
            << SimFaults{} << QByteArray("1234") << WrongOldPin << enq + "1234" << unchanged;
        QTest::newRow("ENQ refused")
            << pinFault(Nak, EnqStep) << rightPin << PinFailed << enq << unchanged;
        QTest::newRow("ENQ answered with another byte")
            << pinFault(Other, EnqStep) << rightPin << PinFailed << enq << unchanged;
        QTest::newRow("old PIN answered with another byte")
            << pinFault(Other, OldPinStep) << rightPin << PinFailed << enq + "0000" << unchanged;
        QTest::newRow("new PIN refused")
            << pinFault(Nak, NewPinStep) << rightPin << PinFailed << allSent << unchanged;
        QTest::newRow("ENQ unanswered")
            << pinFault(Silent, EnqStep) << rightPin << TimedOut << enq << unchanged;
        QTest::newRow("new PIN unanswered")
            << pinFault(Silent, NewPinStep) << rightPin << TimedOut << allSent << unchanged;
        QTest::newRow("old PIN acknowledged late, in time")
            << pinFault(Late, OldPinStep, LatePinAckMs) << rightPin << PinChanged << allSent
            << changed;
    }
    // ENQ, the old PIN, "5" and the new PIN, each acknowledged; the transfer box shows.
    void pinChange() {
        QFETCH(SimFaults, device);
        QFETCH(QByteArray, oldPin);
        QFETCH(TLinkBox, seen);
        QFETCH(std::string, wire);
        QFETCH(std::string, pinAfter);
        ZuvexSim& sim = deviceInUse(device);
        rig->conversation->StartPinChange(oldPin, "4321");
        QCOMPARE(rig->view.transferBoxes, QStringList{"Neuer Sicherheitscode"});
        QCOMPARE(rig->conversation->LinkOperation, TLinkConversation::PinOperation);
        QVERIFY(rig->waitForBoxes());
        QCOMPARE(rig->view.boxes, TLinkBoxes{seen});
        QCOMPARE(sim.received(), wire);
        QCOMPARE(sim.pin(), pinAfter);
        QCOMPARE(rig->conversation->PinMessage, (std::array<char, 5>{'5', '4', '3', '2', '1'}));
        QVERIFY(flowEnded());
    }

    void portScan_data() {
        QTest::addColumn<bool>("withDevice");
        QTest::addColumn<int>("portChoices");
        QTest::addColumn<TLinkBoxes>("seen");
        QTest::newRow("a port opens") << true << 1 << TLinkBoxes{};
        QTest::newRow("no port opens") << false << 0 << TLinkBoxes{NoFreePort};
    }
    // The scan tries COM1 to COM20, a pause each, the window free meanwhile; offers what opened.
    void portScan() {
        QFETCH(bool, withDevice);
        QFETCH(int, portChoices);
        QFETCH(TLinkBoxes, seen);
        if (withDevice)
            rig->addDevice(DevicePort, countingImage());
        int ticksDuringScan = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { ticksDuringScan += rig->view.waiting ? 1 : 0; });
        tick.start(PollMs);
        rig->conversation->ChoosePortAfterScan();
        QVERIFY(rig->conversation->Waiting());
        QVERIFY(rig->waitUntilSettled());
        QCOMPARE(rig->view.waits, MaxComNumber);
        QVERIFY(ticksDuringScan > 0);
        QCOMPARE(rig->view.portChoices, portChoices);
        QCOMPARE(rig->view.boxes, seen);
        for (int n = 1; n <= MaxComNumber; ++n)
            QCOMPARE(rig->conversation->PortAvailable[std::size_t(n - 1)],
                     withDevice && n == DevicePort);
        QVERIFY(!rig->port->Open());
    }

    void cancelEndsPendingSteps_data() {
        QTest::addColumn<bool>("search"); // else: the PIN change's port scan
        QTest::newRow("search's probe pause") << true;
        QTest::newRow("PIN change's port scan") << false;
    }
    // A cancel during a pause ends the flow there: no byte goes out afterwards.
    void cancelEndsPendingSteps() {
        QFETCH(bool, search);
        ZuvexSim& sim = rig->addDevice(DevicePort, countingImage());
        rig->view.portToChoose = DevicePort;
        if (search)
            rig->conversation->StartSearch();
        else
            rig->conversation->StartPinChange("0000", "4321");
        QVERIFY(rig->conversation->Waiting());
        rig->conversation->Cancel();
        QVERIFY(!rig->view.waiting);
        QTest::qWait(LongerThanAnyPauseMs);
        QCOMPARE(sim.received(), std::string());
        QCOMPARE(rig->view.portChoices, 0);
        QVERIFY(rig->view.boxes.empty());
    }

    void firmwareHandshake_data() {
        QTest::addColumn<SimFaults>("device");
        QTest::addColumn<TLinkBoxes>("seen");
        QTest::addColumn<int>("transfers");
        QTest::newRow("loading mode entered") << SimFaults{} << TLinkBoxes{ReadDone} << 1;
        QTest::newRow("no L") << faults([](SimFaults& f) { f.neverSendL = true; })
                              << TLinkBoxes{FirmwareNotStarted} << 0;
        QTest::newRow("stray replies before \">\" and \"L\" ignored") << faults([](SimFaults& f) {
            f.strayBefore = "x?";
            f.strayOn = unsigned(ReplyKind::LoadPrompt) | unsigned(ReplyKind::LoadReady);
        }) << TLinkBoxes{ReadDone} << 1;
    }
    // "U\r", ">" answered "<", "L": the transfer, then search and read; without "L" the watchdog.
    void firmwareHandshake() {
        QFETCH(SimFaults, device);
        QFETCH(TLinkBoxes, seen);
        QFETCH(int, transfers);
        ZuvexSim& sim = deviceInUse(device);
        // The transfer is the firmware dialog's; here the device just leaves loading mode.
        rig->view.onFirmwareTransfer = [&] {
            QVERIFY(sim.waitForMode(DeviceMode::Command, ModeChangeWait));
        };
        rig->conversation->StartFirmwareUpdate();
        QCOMPARE(rig->conversation->LinkState, TLinkConversation::LoadPromptState);
        QVERIFY(rig->waitForBoxes(seen.size()));
        QVERIFY(rig->waitUntilSettled());
        QCOMPARE(rig->view.boxes, seen);
        QCOMPARE(rig->view.firmwareTransfers, transfers);
        QVERIFY(!rig->watchdog.isActive());
        QVERIFY(!rig->collector->Enabled());
        if (transfers == 0)
            QCOMPARE(rig->conversation->LinkState, TLinkConversation::LoadReadyState);
        const std::string handshake = "U\r<";
        QCOMPARE(sim.received(), transfers ? handshake + "T\rV\rR0000,3c\r" : handshake);
    }

    // Without a port in use the ports that open are offered; the handshake goes to the chosen.
    void firmwarePortChoice() {
        ZuvexSim& sim = rig->addDevice(DevicePort, countingImage(),
                                       faults([](SimFaults& f) { f.neverSendL = true; }));
        rig->conversation->StartFirmwareUpdate();
        QVERIFY(rig->conversation->Waiting());
        QVERIFY(QTest::qWaitFor([&] { return rig->conversation->LinkState != 0; }, FlowEndMs));
        QCOMPARE(rig->view.firmwarePortEntries, QStringList{"COM3"});
        QCOMPARE(rig->port->ComNumber(), DevicePort);
        const std::string handshake = "U\r<";
        QVERIFY(QTest::qWaitFor([&] { return sim.received().size() >= handshake.size(); }));
        QCOMPARE(sim.received(), handshake);
        rig->conversation->StopFirmwareHandshake();
        QVERIFY(!rig->watchdog.isActive());
        QVERIFY(!rig->collector->Enabled());
    }
};

QTEST_GUILESS_MAIN(TestLinkConversation)
#include "tst_link_conversation.moc"
