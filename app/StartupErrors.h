#pragma once

#include <QString>

// Failures before the main window exists (no display, no usable Qt platform plugin) end the
// program through Qt's fatal message, which only reaches standard error, and nobody reads
// that when the program was started from the desktop's menu. While the start-up watch is on,
// such a failure is explained in German on standard error, appended to a log the user can
// find, and shown as a desktop notification (notify-send, else xmessage when an X display is
// set); the program then ends with StartFailedExitCode instead of aborting.
namespace startup {

constexpr int StartFailedExitCode = 69; // EX_UNAVAILABLE: the graphical interface is missing

void watchStart(); // before the application object is created
void startDone();  // once the application object exists: Qt's own message handling again

// A failure no box can show (a signal is ending the program, nobody answers): standard error and
// the same log.
void logFailure(const QString& text);

} // namespace startup
