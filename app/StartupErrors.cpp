#include "app/StartupErrors.h"

#include "app/ProgramInfo.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace startup {
namespace {

QStringList qtMessages; // what Qt said on the way to the failure: it names the cause
QtMessageHandler previousHandler = nullptr;

bool envSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

QString reasonText() {
    if (!envSet("DISPLAY") && !envSet("WAYLAND_DISPLAY") && !envSet("QT_QPA_PLATFORM"))
        return QStringLiteral("Es wurde kein Bildschirm gefunden (weder DISPLAY noch "
                              "WAYLAND_DISPLAY ist gesetzt). Der Konfigurator braucht eine "
                              "grafische Oberfläche.");
    if (qtMessages.join('\n').contains(QLatin1String("could not connect to display")))
        return QStringLiteral("Der Bildschirm „%1“ ist nicht erreichbar.")
            .arg(qEnvironmentVariable("DISPLAY"));
    return QStringLiteral("Die grafische Oberfläche konnte nicht geöffnet werden. Bitte prüfen "
                          "Sie, ob das Qt-Paket für Ihre Oberfläche (libqt6gui6) vollständig "
                          "installiert ist.");
}

// $XDG_STATE_HOME/zuvex910k/start-errors.log (~/.local/state/... when unset)
QString logPath() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty())
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/zuvex910k/start-errors.log");
}

void appendToLog(const QString& path, const QString& report) {
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile log(path);
    if (!log.open(QIODevice::Append | QIODevice::Text))
        return;
    log.write(QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + ' ' + report.toUtf8() +
              "\n\n");
}

// Runs a program found in PATH and waits for it; false when it cannot be started or fails.
bool run(const QStringList& command) {
    std::vector<QByteArray> args;
    for (const QString& a : command)
        args.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void notifyDesktop(const QString& summary, const QString& body) {
    if (run({QStringLiteral("notify-send"), QStringLiteral("--urgency=critical"),
             QStringLiteral("--app-name=" ZUVEX_PROGRAM_TITLE),
             QStringLiteral("--icon=" ZUVEX_APP_ID), summary, body}))
        return;
    if (envSet("DISPLAY")) // a missing plugin leaves the X display usable
        run({QStringLiteral("xmessage"), QStringLiteral("-center"), summary + "\n\n" + body});
}

[[noreturn]] void failStart(const QString& fatalText) {
    qtMessages << fatalText;
    const QString summary = QStringLiteral(ZUVEX_PROGRAM_TITLE " kann nicht starten");
    const QString path = logPath();
    const QString report = summary + QStringLiteral(".\n") + reasonText() +
                           QStringLiteral("\n\nMeldungen von Qt:\n") + qtMessages.join('\n');
    std::fprintf(stderr, "%s\n", report.toLocal8Bit().constData());
    appendToLog(path, report);
    notifyDesktop(summary, reasonText() + QStringLiteral("\nEinzelheiten: ") + path);
    std::fflush(stderr);
    std::_Exit(StartFailedExitCode);
}

void handleStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg)
        failStart(text);
    qtMessages << text;
    previousHandler(type, context, text);
}

} // namespace

void watchStart() {
    previousHandler = qInstallMessageHandler(handleStartMessage);
}

void logFailure(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    appendToLog(logPath(), text);
}

void startDone() {
    qInstallMessageHandler(previousHandler);
    qtMessages.clear();
}

} // namespace startup
