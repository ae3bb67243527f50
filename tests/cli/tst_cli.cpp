// zuvex910k started as from a shell without a display, against the simulator as COM3.
#include "FileFaults.h"
#include "ProgramRun.h"
#include "SimStart.h"
#include "Unprivileged.h"
#include "cli/ExitStatus.h"
#include "config/ConfigCodec.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <termios.h>

namespace {

constexpr int SimPort = 3;
const QStringList DisplayVariables{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
// Stands in an expected line for the simulator's pseudo-terminal, known only once it runs.
const QString SimDevice = "<pseudo-terminal of the simulator>";
const QString FileA = "a.zcf";
const QString FileB = "b.zcf";
const QString Saved = "saved.zcf";
const QString Report = "report.pdf";
const QString Firmware = "new.zfw";
const QByteArray FirmwareRecords = QByteArray::fromHex("0003414243000144"); // "ABC", then "D"
const std::string OtherDevice = "Modem OK"; // what a device that is no Zuvex 910k answers
const QString FullDisk = "/dev/full";       // every write to it fails: the disk is full
const QString FullFolder = "full";          // on a small disk that has no byte left
const char* const SmallDiskSize = "size=64k";
const QString SharedFolder = "shared"; // a folder every user may write into
constexpr int KilledBySignal = -1;     // the exit status of a program a signal ended
constexpr int SlowAckMs = 150;         // each byte of a write waits this long for its ACK
const QByteArray PdfStart = "%PDF-1.4\n";
constexpr std::uint8_t UnknownDeviceType = 3; // shown and written as Telefon
constexpr std::uint8_t ReservedFill = 0xA5;
constexpr int FirstReservedOfTail = ImageOffset::Wartemusik + 1;

QByteArray bytesOf(const ConfigImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), ConfigImageSize);
}

ConfigImage imageOf(const TEditorSettings& settings) {
    ConfigImage image{};
    encodeImage(settings, image);
    return image;
}

const ConfigImage Factory = imageOf(factorySettings());

// Port 2 a TFE, as the editor leaves it: no external permission, no ring, no door.
ConfigImage port2Tfe() {
    TEditorSettings s = factorySettings();
    s.ports[1] = TPortSettings{.type = TypTfe, .permission = Permission::Nichtamtsberechtigt};
    return imageOf(s);
}

ConfigImage noExternalRing() {
    TEditorSettings s = factorySettings();
    for (TPortSettings& port : s.ports)
        port.externanruf = false;
    return imageOf(s);
}

ConfigImage withUnknownType(ConfigImage image) {
    image[ImageOffset::Typ] = UnknownDeviceType;
    return image;
}

ConfigImage withReservedTail(ConfigImage image) {
    std::fill(image.begin() + FirstReservedOfTail, image.end(), ReservedFill);
    return image;
}

const QByteArray Identification = LinkProtocol::IdentifyCommand + LinkProtocol::VersionCommand;

QByteArray writeOf(const ConfigImage& image) {
    return LinkProtocol::WriteCommand + bytesOf(image) + char(imageChecksum(image));
}

// The line settings of a terminal device, as an opening finds them.
termios lineOf(const std::string& device) {
    termios line{};
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        tcgetattr(fd, &line);
        close(fd);
    }
    return line;
}

// Whether another program that is not root may open `device` now.
bool othersMayOpen(const std::string& device) {
    const ActingAsNobody nobody;
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        close(fd);
    return nobody.unprivileged() && fd >= 0;
}

// One call of the program: what the system holds, the files, the call, and what follows.
struct CliCase {
    bool attached = true; // a system answers on COM3
    ConfigImage system = Factory;
    zuvexsim::SimFaults faults;
    QByteArray fileA, fileB; // written as a.zcf and b.zcf when not empty
    QByteArray firmware;     // written as new.zfw when not empty
    QStringList args;
    QString stdoutTo;        // a file stdout goes to, such as /dev/full; empty: stdout is read
    bool diskFull = false;   // full/ is a folder on a disk with no room left
    bool portDenied = false; // the tool runs as a user who may not open the system's port
    TExitStatus status = TExitStatus::Done;
    QStringList out;                        // lines stdout must hold
    QString err;                            // text stderr must hold; empty: stderr stays empty
    QByteArray wire;                        // what the system received
    QByteArray saved;                       // saved.zcf afterwards; empty: there is none
    std::optional<ConfigImage> systemAfter; // unset: as before
    int reportPages = 0;                    // pages of report.pdf afterwards; 0: there is none
    QByteArray firmwareSent;                // the records the system took
};

} // namespace

Q_DECLARE_METATYPE(CliCase)

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void runsCommand_data();
    void runsCommand();
    void stopsOnSignal_data();
    void stopsOnSignal();
};

void TestCli::runsCommand_data() {
    QTest::addColumn<CliCase>("c");
    const auto add = [](const char* name, const CliCase& c) { QTest::newRow(name) << c; };
    const ConfigImage backup = withReservedTail(port2Tfe());

    add("find names the port, its device and the system",
        {.args = {"find"},
         .out = {"COM3 (" + SimDevice + "): Zuvex 910k - Firmware 2.14"},
         .wire = Identification});
    add("find on a given device searches that device alone",
        {.args = {"--device", SimDevice, "find"},
         .out = {"COM1 (" + SimDevice + "): Zuvex 910k - Firmware 2.14"},
         .wire = Identification});
    add("read saves the bytes as the system sent them",
        {.system = backup,
         .args = {"read", Saved},
         .wire = Identification + LinkProtocol::ReadCommand,
         .saved = bytesOf(backup)});
    add("read on a given port asks which device it is first",
        {.system = backup,
         .args = {"--port", "COM3", "read", Saved},
         .wire = Identification + LinkProtocol::ReadCommand,
         .saved = bytesOf(backup)});
    add("write on a given port to another device sends it nothing more",
        {.faults = {.identification = OtherDevice},
         .fileA = bytesOf(backup),
         .args = {"--port", "COM3", "write", FileA},
         .status = TExitStatus::NoDevice,
         .err = "Es wurde keine Zuvex 910k gefunden.",
         .wire = LinkProtocol::IdentifyCommand});
    add("reset on a given port to another device sends it nothing more",
        {.faults = {.identification = OtherDevice},
         .args = {"--port", "COM3", "reset", "--yes"},
         .status = TExitStatus::NoDevice,
         .err = "Es wurde keine Zuvex 910k gefunden.",
         .wire = LinkProtocol::IdentifyCommand});
    add("write sends what the editor would send for the file",
        {.fileA = bytesOf(withUnknownType(backup)),
         .args = {"write", FileA},
         .wire = Identification + writeOf(backup),
         .systemAfter = backup});
    add("write refuses a configuration no port rings for",
        {.fileA = bytesOf(noExternalRing()),
         .args = {"write", FileA},
         .status = TExitStatus::Usage,
         .err = "Wollen Sie die Einstellungen in der Anlage speichern?"});
    add("write with --yes writes it all the same",
        {.fileA = bytesOf(noExternalRing()),
         .args = {"write", FileA, "--yes"},
         .wire = Identification + writeOf(noExternalRing()),
         .systemAfter = noExternalRing()});
    add("reset writes the factory settings and keeps the reserved bytes",
        {.system = backup,
         .args = {"reset", "--yes"},
         .wire = Identification + LinkProtocol::ReadCommand + writeOf(withReservedTail(Factory)),
         .systemAfter = withReservedTail(Factory)});
    add("reset refuses without --yes", {.args = {"reset"},
                                        .status = TExitStatus::Usage,
                                        .err = "Zum Bestätigen: zuvex910k reset --yes"});
    add("show prints every setting in German",
        {.attached = false,
         .fileA = bytesOf(port2Tfe()),
         .args = {"show", FileA},
         .out = {"   Intern 2 = TFE", "   Intern 2 = nichtamtsberechtigt",
                 "   Intern 2 = ", "   Wartemusik = ein"}});
    add("show --json prints the same settings as JSON",
        {.attached = false,
         .fileA = bytesOf(port2Tfe()),
         .args = {"show", "--json", FileA},
         .out = {"        \"Intern 2\": \"TFE\",", "        \"Wartemusik\": \"ein\","}});
    add("diff of two files prints what differs",
        {.attached = false,
         .fileA = bytesOf(Factory),
         .fileB = bytesOf(port2Tfe()),
         .args = {"diff", FileA, FileB},
         .status = TExitStatus::Different,
         .out = {"Intern 2: Telefon/Fax/Kombigerät -> TFE",
                 "Intern 2: vollamtsberechtigt + türberechtigt -> nichtamtsberechtigt"}});
    add("diff compares settings, not bytes",
        {.attached = false,
         .fileA = bytesOf(Factory),
         .fileB = bytesOf(withReservedTail(withUnknownType(Factory))),
         .args = {"diff", FileA, FileB}});
    add("diff of a backup against the system it came from",
        {.system = backup,
         .fileA = bytesOf(backup),
         .args = {"diff", FileA},
         .wire = Identification + LinkProtocol::ReadCommand});
    add("diff against a system that changed", {.system = Factory,
                                               .fileA = bytesOf(backup),
                                               .args = {"diff", FileA},
                                               .status = TExitStatus::Different,
                                               .out = {"Intern 2: TFE -> Telefon/Fax/Kombigerät"},
                                               .wire = Identification + LinkProtocol::ReadCommand});
    add("firmware sends the file's records",
        {.firmware = "00 03 41 42 43\n00 01 44\n",
         .args = {"firmware", Firmware},
         .wire = Identification + LinkProtocol::LoadCommand + char(LinkProtocol::LoadConfirm) +
                 FirmwareRecords,
         .firmwareSent = FirmwareRecords});
    add("print writes the one-page report as PDF", {.attached = false,
                                                    .fileA = bytesOf(Factory),
                                                    .args = {"print", FileA, "-o", Report},
                                                    .reportPages = 1});

    add("lost output of show", {.attached = false,
                                .fileA = bytesOf(Factory),
                                .args = {"show", "--json", FileA},
                                .stdoutTo = FullDisk,
                                .status = TExitStatus::FileFault,
                                .err = "Die Ausgabe konnte nicht geschrieben werden. Auf dem "
                                       "Datenträger ist kein Platz mehr frei."});
    add("lost output of find", {.args = {"find"},
                                .stdoutTo = FullDisk,
                                .status = TExitStatus::FileFault,
                                .err = "Die Ausgabe konnte nicht geschrieben werden.",
                                .wire = Identification});
    add("a device that is not there",
        {.args = {"--device", "/nonexistent/ttyUSB9", "read", Saved},
         .status = TExitStatus::NoDevice,
         .err = "Das Gerät /nonexistent/ttyUSB9 ist nicht vorhanden."});
    add("a file given as the device", {.fileA = bytesOf(Factory),
                                       .args = {"--device", FileA, "find"},
                                       .status = TExitStatus::NoDevice,
                                       .err = "Das Gerät a.zcf lässt sich nicht einstellen."});
    add("a port the user may not open is named by find",
        {.args = {"find"},
         .portDenied = true,
         .status = TExitStatus::NoDevice,
         .err = "Es wurde keine Zuvex 910k gefunden. Keine Berechtigung für den COM-Port COM3 (" +
                SimDevice + ")."});
    add("a given port the user may not open",
        {.args = {"--port", "COM3", "read", SharedFolder + "/" + Saved},
         .portDenied = true,
         .status = TExitStatus::NoDevice,
         .err = "Keine Berechtigung für den COM-Port COM3 (" + SimDevice + ")."});
    add("no system", {.attached = false,
                      .args = {"read", Saved},
                      .status = TExitStatus::NoDevice,
                      .err = "Es wurde keine Zuvex 910k gefunden."});
    add("a given device that hangs up is named by its path",
        {.faults = {.hangUpAfter = Identification.size() + LinkProtocol::ReadCommand.size()},
         .args = {"--device", SimDevice, "read", Saved},
         .status = TExitStatus::DeviceFault,
         .err = "Die Verbindung über " + SimDevice + " ist abgebrochen",
         .wire = Identification + LinkProtocol::ReadCommand});
    add("a read with a wrong checksum leaves no file",
        {.faults = {.corruptReadChecksum = true},
         .args = {"read", Saved},
         .status = TExitStatus::DeviceFault,
         .err = "Fehler beim Auslesen der Zuvex 910k.",
         .wire = Identification + LinkProtocol::ReadCommand});
    add("a longer file is not written", {.fileA = bytesOf(backup) + PdfStart,
                                         .args = {"write", FileA},
                                         .status = TExitStatus::FileFault,
                                         .err = "a.zcf: Die Datei ist keine Konfigurationsdatei!"});
    add("a longer file is not printed", {.attached = false,
                                         .fileA = bytesOf(Factory) + PdfStart,
                                         .args = {"print", FileA, "-o", Report},
                                         .status = TExitStatus::FileFault,
                                         .err = "a.zcf: Die Datei ist keine Konfigurationsdatei!"});
    add("a file of the wrong size is not written",
        {.fileA = bytesOf(backup).left(ConfigImageSize - 1),
         .args = {"write", FileA},
         .status = TExitStatus::FileFault,
         .err = "a.zcf: Die Datei ist keine Konfigurationsdatei!"});
    add("a target in a missing folder asks the system nothing",
        {.args = {"read", "no-such-folder/" + Saved},
         .status = TExitStatus::FileFault,
         .err = "no-such-folder/saved.zcf: Die Datei kann nicht angelegt werden. Der Ordner ist "
                "nicht vorhanden."});
    add("a full disk during read names the cause",
        {.args = {"read", FullFolder + "/" + Saved},
         .diskFull = true,
         .status = TExitStatus::FileFault,
         .err = "full/saved.zcf: Die Datei konnte nicht geschrieben werden. Auf dem Datenträger "
                "ist kein Platz mehr frei.",
         .wire = Identification + LinkProtocol::ReadCommand});
    add("a system that refuses a byte",
        {.faults = {.writeFault = {.kind = zuvexsim::AckFault::Kind::Nak,
                                   .at = FirstReservedOfTail}},
         .fileA = bytesOf(backup),
         .args = {"write", FileA},
         .status = TExitStatus::DeviceFault,
         .err = "Fehler beim Programmieren der Zuvex 910k.",
         .wire = Identification + writeOf(backup).left(LinkProtocol::WriteCommand.size() +
                                                       FirstReservedOfTail + 1)});
    add("wrong usage", {.attached = false,
                        .args = {"read"},
                        .status = TExitStatus::Usage,
                        .err = "Aufruf: zuvex910k [--port COMn | --device PFAD] read DATEI.zcf"});
}

void TestCli::runsCommand() {
    QFETCH(CliCase, c);
    TestHome home;
    std::unique_ptr<zuvexsim::ZuvexSim> sim;
    if (c.attached) {
        zuvexsim::SimOptions options = simOptions(SimPort);
        options.faults = c.faults;
        sim = startSim(options, c.system);
    }
    for (const auto& [name, bytes] :
         {std::pair{FileA, c.fileA}, {FileB, c.fileB}, {Firmware, c.firmware}})
        if (!bytes.isEmpty())
            QVERIFY(!home.writeFile(name, bytes).isEmpty());

    const auto withSimDevice = [&](QStringList lines) {
        if (sim)
            lines.replaceInStrings(SimDevice, QString::fromStdString(sim->slavePath()));
        return lines;
    };
    std::optional<SmallDisk> disk;
    if (c.diskFull) {
        QVERIFY(QDir(home.root()).mkdir(FullFolder));
        disk.emplace(home.path(FullFolder), SmallDiskSize);
        SKIP_UNLESS_MOUNTED(*disk);
        disk->fillUp();
    }
    TProgramCall call{ZUVEX910K_EXE, withSimDevice(c.args)};
    if (c.portDenied) {
        if (geteuid() != Root)
            QSKIP("only root can start the tool as another user");
        // the tool as "nobody": it may look up the ports and write into shared/, but only
        // root may open the system's port
        QVERIFY(QDir(home.root()).mkdir(SharedFolder));
        QCOMPARE(chmod(QFile::encodeName(home.root()).constData(), 0755), 0);
        QCOMPARE(chmod(QFile::encodeName(home.path(SharedFolder)).constData(), 0777), 0);
        QCOMPARE(chmod(sim->slavePath().c_str(), 0600), 0);
        call = asNobody(call);
    }

    const ProgramRun run =
        runProgram(call.program, call.args, home.root(), DisplayVariables, c.stdoutTo);

    QCOMPARE(run.exitStatus, exitCode(c.status));
    const QStringList out = QString::fromUtf8(run.out).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : withSimDevice(c.out))
        QVERIFY2(out.contains(line), qPrintable(out.join('\n')));
    const QString err = QString::fromUtf8(run.err);
    QVERIFY2(c.err.isEmpty() ? err.isEmpty() : err.contains(withSimDevice({c.err}).constFirst()),
             qPrintable(err));
    QVERIFY(!QFile::exists(home.registryPath())); // the window's settings are not the tool's
    QCOMPARE(fileBytes(home.path(Saved)), c.saved);
    const QByteArray report = fileBytes(home.path(Report));
    QCOMPARE(report.startsWith("%PDF-"), c.reportPages > 0);
    QCOMPARE(report.count("/Type /Page\n"), c.reportPages);
    if (sim) {
        QCOMPARE(QByteArray::fromStdString(sim->received()), c.wire);
        QCOMPARE(sim->image(), c.systemAfter.value_or(c.system));
        const std::vector<std::uint8_t> sent = sim->lastFirmware();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(sent.data()), qsizetype(sent.size())),
                 c.firmwareSent);
    }
}

// A signal while a write is under way: the tool sends nothing more, gives the line back as it
// was and leaves the port open to others; a killed tool leaves no exclusive flag behind.
void TestCli::stopsOnSignal_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("exitStatus");
    QTest::newRow("Ctrl+C") << SIGINT << exitCode(TExitStatus::Interrupted);
    QTest::newRow("SIGTERM") << SIGTERM << exitCode(TExitStatus::Terminated);
    QTest::newRow("SIGKILL") << SIGKILL << KilledBySignal;
}

void TestCli::stopsOnSignal() {
    QFETCH(int, signal);
    QFETCH(int, exitStatus);
    TestHome home;
    zuvexsim::SimOptions options = simOptions(SimPort);
    options.faults.ackDelayMs = SlowAckMs;
    const auto sim = startSim(options, Factory);
    const std::string device = sim->slavePath();
    QCOMPARE(chmod(device.c_str(), 0666), 0); // so that others may try to open it
    const termios lineBefore = lineOf(device);
    QVERIFY(!home.writeFile(FileA, bytesOf(port2Tfe())).isEmpty());
    const QByteArray firstByteWritten =
        Identification + LinkProtocol::WriteCommand + bytesOf(port2Tfe()).left(1);

    StartedProgram program(ZUVEX910K_EXE, {"write", FileA}, home.root(), DisplayVariables);
    QVERIFY(program.started());
    QVERIFY(QTest::qWaitFor([&] {
        return QByteArray::fromStdString(sim->received()).size() >= firstByteWritten.size();
    }));
    program.sendSignal(signal);
    const std::string receivedAtSignal = sim->received();
    const ProgramRun run = program.waitForEnd();

    QCOMPARE(run.exitStatus, exitStatus);
    QVERIFY(QByteArray::fromStdString(receivedAtSignal).startsWith(firstByteWritten));
    QCOMPARE(sim->received(), receivedAtSignal);
    QVERIFY(othersMayOpen(device));
    if (exitStatus == KilledBySignal)
        return; // nobody is left to give the line back
    QCOMPARE(QString::fromUtf8(run.err), QString("zuvex910k: Abgebrochen.\n"));
    const termios lineAfter = lineOf(device);
    QCOMPARE(lineAfter.c_cflag, lineBefore.c_cflag);
    QCOMPARE(lineAfter.c_iflag, lineBefore.c_iflag);
    QCOMPARE(lineAfter.c_lflag, lineBefore.c_lflag);
    QCOMPARE(cfgetospeed(&lineAfter), cfgetospeed(&lineBefore));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
