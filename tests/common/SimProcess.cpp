#include "SimProcess.h"

#include "serial/ConfigHome.h"

#include <QFileInfo>
#include <QTest>

SimProcess::SimProcess(int port, const QStringList& options) {
    const QString entry =
        QString::fromStdString(comPortsDir()) + QStringLiteral("/COM%1").arg(port);
    QFile::remove(entry); // the entry of a killed simulator is left behind
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(ZUVEX_SIM_EXE),
                   QStringList{QStringLiteral("--port"), QString::number(port)} + options);
    if (!process_.waitForStarted(5000))
        return;
    // live: a link to a pseudo-terminal that is there
    auto live = [&] { return QFileInfo::exists(entry); };
    auto ended = [&] { return process_.state() != QProcess::Running; };
    if (QTest::qWaitFor([&] { return live() || ended(); }, 5000) && !ended())
        device_ = QFileInfo(entry).symLinkTarget().toStdString();
}

SimProcess::~SimProcess() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000))
        kill();
}

void SimProcess::kill() {
    process_.kill();
    process_.waitForFinished(5000);
}
