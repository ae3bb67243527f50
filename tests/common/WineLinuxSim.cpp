#include "WineLinuxSim.h"

#include <QFile>
#include <QTest>
#include <string>
#include <windows.h>

namespace {

// Wine's drive Z: is the Linux root.
const QString LinuxRoot = QStringLiteral("Z:");

// Starts a Linux program; Wine returns no handle that can be waited for or ended.
bool startLinuxProgram(const QString& commandLine) {
    std::wstring line = commandLine.toStdWString();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace

QString TWineLinuxSim::WinePrefix() {
    return qEnvironmentVariable("WINEPREFIX");
}

TWineLinuxSim::TWineLinuxSim(const QString& simulator, int comNumber, const QStringList& extra)
    : scratch_(LinuxRoot + WinePrefix() + QStringLiteral("/zuvex-sim-XXXXXX")) {
    unixScratch_ = scratch_.path().mid(LinuxRoot.size());
    const QString link = WinePrefix() + QStringLiteral("/dosdevices/com%1").arg(comNumber);
    const QStringList options =
        QStringList{QStringLiteral("--port"),  QString::number(comNumber),
                    QStringLiteral("--link"),  link,
                    QStringLiteral("--state"), unixScratch_ + QStringLiteral("/state")} +
        extra;
    const QString script = QStringLiteral("echo $$ > %1/pid; exec %2 %3 >%1/out 2>/dev/null")
                               .arg(unixScratch_, simulator, options.join(QLatin1Char(' ')));
    QVERIFY2(startLinuxProgram(QStringLiteral("Z:\\bin\\sh -c \"%1\"").arg(script)),
             "sh does not start");
    QVERIFY2(QTest::qWaitFor([this] { return Published(); }), "the simulator did not publish");
    pid_ = QString::fromLatin1(scratchFile(QStringLiteral("pid"))).trimmed();
}

TWineLinuxSim::~TWineLinuxSim() {
    if (!pid_.isEmpty() && !Ended())
        Kill();
}

bool TWineLinuxSim::Published() const {
    return scratchFile(QStringLiteral("out")).contains("zuvex-sim: COM");
}

bool TWineLinuxSim::Ended() const {
    return scratchFile(QStringLiteral("out")).contains("zuvex-sim: stopped");
}

void TWineLinuxSim::Kill() {
    QVERIFY2(!pid_.isEmpty(), "no process id noted");
    QVERIFY2(startLinuxProgram(QStringLiteral("Z:\\bin\\kill %1").arg(pid_)),
             "kill does not start");
    QVERIFY2(QTest::qWaitFor([this] { return Ended(); }), "the simulator did not end");
}

QString TWineLinuxSim::windowsPath(const QString& unixPath) const {
    return LinuxRoot + unixPath;
}

QByteArray TWineLinuxSim::scratchFile(const QString& name) const {
    QFile file(windowsPath(unixScratch_ + QLatin1Char('/') + name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
