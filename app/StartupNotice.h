#pragma once

#include <QString>
#include <QStringList>

// What a start-up failure looks like on this platform (StartupNoticePosix.cpp,
// StartupNoticeWin32.cpp): where its log is kept, how its cause is told, and how the user
// learns of it without a window of the program's own.
namespace startup {

QString logPath(); // in Qt's form ('/'); its folder is made on the first entry
// The cause in German, from the environment and what Qt said on the way to the failure.
QString reasonText(const QStringList& qtMessages);
void notifyUser(const QString& summary, const QString& body);

} // namespace startup
