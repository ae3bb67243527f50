#include "app/StartupErrors.h"

#include "app/ProgramInfo.h"
#include "app/StartupNotice.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace startup {
namespace {

QStringList qtMessages; // what Qt said on the way to the failure: it names the cause
QtMessageHandler previousHandler = nullptr;

void appendToLog(const QString& path, const QString& report) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile log(path);
    if (!log.open(QIODevice::Append | QIODevice::Text))
        return;
    log.write(QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + ' ' + report.toUtf8() +
              "\n\n");
}

[[noreturn]] void failStart(const QString& fatalText) {
    qtMessages << fatalText;
    const QString summary = QStringLiteral(ZUVEX_PROGRAM_TITLE " kann nicht starten");
    const QString path = logPath();
    const QString reason = reasonText(qtMessages);
    const QString report = summary + QStringLiteral(".\n") + reason +
                           QStringLiteral("\n\nMeldungen von Qt:\n") + qtMessages.join('\n');
    std::fprintf(stderr, "%s\n", report.toLocal8Bit().constData());
    appendToLog(path, report);
    notifyUser(summary,
               reason + QStringLiteral("\nEinzelheiten: ") + QDir::toNativeSeparators(path));
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
