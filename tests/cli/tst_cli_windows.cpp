// zuvex910k.exe started as from cmd.exe, under Wine against the Linux simulator on COM4.
#include "WineLinuxSim.h"
#include "cli/ExitStatus.h"
#include "config/ConfigCodec.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int SimPort = 4; // COM3 is the serial test's, which may run beside this one
const QString SimComPort = QStringLiteral("COM4");
const QString SimDevicePath = QStringLiteral("\\\\.\\COM4");
const QString PortWithoutDevice = QStringLiteral("COM9"); // no dosdevices link in the prefix
const QString FileA = QStringLiteral("a.zcf");
const QString Saved = QStringLiteral("saved.zcf");
const QString LinuxRoot = QStringLiteral("Z:"); // Wine's drive of the Linux root

QByteArray bytesOf(const ConfigImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), ConfigImageSize);
}

QByteArray imageOf(const TEditorSettings& settings) {
    ConfigImage image{};
    encodeImage(settings, image);
    return bytesOf(image);
}

const QByteArray Factory = imageOf(factorySettings());

// Port 2 a TFE, as the editor leaves it: no external permission, no ring, no door.
QByteArray port2Tfe() {
    TEditorSettings s = factorySettings();
    s.ports[1] = TPortSettings{.type = TypTfe, .permission = Permission::Nichtamtsberechtigt};
    return imageOf(s);
}

// One call of the tool and what follows from it.
struct TCliCase {
    QByteArray fileA; // written as a.zcf when not empty
    QStringList args;
    TExitStatus status = TExitStatus::Done;
    QString out;           // a line stdout must hold; empty: none asked for
    QString err;           // text stderr must hold; empty: stderr stays empty
    QByteArray saved;      // saved.zcf afterwards; empty: there is none
    QByteArray systemHeld; // what a read then gets from the system; empty: not asked
};

struct TRun {
    int exitCode = -1;
    QString out, err;
};

} // namespace

Q_DECLARE_METATYPE(TCliCase)

class tst_cli_windows : public QObject {
    Q_OBJECT

    QTemporaryDir work_;

    // The tool in the work folder, as a user starts it; its output is a pipe, so UTF-8.
    TRun runTool(const QStringList& args) {
        QProcess tool;
        tool.setWorkingDirectory(work_.path());
        tool.start(LinuxRoot + QStringLiteral(ZUVEX910K_EXE), args);
        tool.waitForFinished(-1);
        return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
                QString::fromUtf8(tool.readAllStandardOutput()),
                QString::fromUtf8(tool.readAllStandardError())};
    }

    QByteArray fileInWork(const QString& name) {
        QFile file(work_.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void writeInWork(const QString& name, const QByteArray& bytes) {
        QFile file(work_.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

private slots:
    void initTestCase() {
        if (qEnvironmentVariable("ZUVEX_LINUX_SIM").isEmpty() ||
            TWineLinuxSim::WinePrefix().isEmpty())
            QSKIP("runs under Wine with the Linux simulator (ZUVEX_LINUX_SIM) only");
        QVERIFY(work_.isValid());
    }

    void commandRuns_data() {
        QTest::addColumn<TCliCase>("c");
        const auto add = [](const char* name, const TCliCase& c) { QTest::newRow(name) << c; };
        add("read saves the system's 60 bytes",
            {.args = {"--port", SimComPort, "read", Saved}, .saved = Factory});
        add("read through the device path",
            {.args = {"--device", SimDevicePath, "read", Saved}, .saved = Factory});
        add("write sends the file", {.fileA = port2Tfe(),
                                     .args = {"--port", SimComPort, "write", FileA, "--yes"},
                                     .systemHeld = port2Tfe()});
        add("show prints the settings in German",
            {.fileA = port2Tfe(), .args = {"show", FileA}, .out = "   Intern 2 = TFE"});
        add("a file that is not 60 bytes",
            {.fileA = Factory.left(ConfigImageSize - 1),
             .args = {"--port", SimComPort, "write", FileA, "--yes"},
             .status = TExitStatus::FileFault,
             .err = "a.zcf: Die Datei ist keine Konfigurationsdatei!",
             .systemHeld = Factory});
        add("a COM port without a device", {.args = {"--port", PortWithoutDevice, "read", Saved},
                                            .status = TExitStatus::NoDevice,
                                            .err = "Der COM-Port COM9 ist nicht vorhanden."});
    }

    void commandRuns() {
        QFETCH(TCliCase, c);
        const TWineLinuxSim sim(qEnvironmentVariable("ZUVEX_LINUX_SIM"), SimPort);
        QFile::remove(work_.filePath(Saved));
        if (!c.fileA.isEmpty())
            writeInWork(FileA, c.fileA);

        const TRun run = runTool(c.args);
        QCOMPARE(run.exitCode, exitCode(c.status));
        if (!c.out.isEmpty())
            QVERIFY2(run.out.contains(c.out), qPrintable(run.out));
        if (c.err.isEmpty())
            QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        else
            QVERIFY2(run.err.contains(c.err), qPrintable(run.err));
        QCOMPARE(fileInWork(Saved), c.saved);

        if (!c.systemHeld.isEmpty()) {
            const TRun readBack = runTool({"--port", SimComPort, "read", Saved});
            QCOMPARE(readBack.exitCode, exitCode(TExitStatus::Done));
            QCOMPARE(fileInWork(Saved), c.systemHeld);
        }
    }
};

QTEST_GUILESS_MAIN(tst_cli_windows)
#include "tst_cli_windows.moc"
