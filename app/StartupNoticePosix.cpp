// On a Linux desktop a start-up failure is told by a desktop notification (notify-send, else
// xmessage when an X display is set), and logged under $XDG_STATE_HOME.
#include "app/StartupNotice.h"

#include "app/ProgramInfo.h"

#include <QDir>
#include <QtGlobal>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace startup {
namespace {

bool envSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
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

} // namespace

QString reasonText(const QStringList& qtMessages) {
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

void notifyUser(const QString& summary, const QString& body) {
    if (run({QStringLiteral("notify-send"), QStringLiteral("--urgency=critical"),
             QStringLiteral("--app-name=" ZUVEX_PROGRAM_TITLE),
             QStringLiteral("--icon=" ZUVEX_APP_ID), summary, body}))
        return;
    if (envSet("DISPLAY")) // a missing plugin leaves the X display usable
        run({QStringLiteral("xmessage"), QStringLiteral("-center"), summary + "\n\n" + body});
}

} // namespace startup
