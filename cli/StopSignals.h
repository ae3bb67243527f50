#pragma once

#include "cli/ExitStatus.h"

#include <functional>
#include <optional>

// Ctrl+C and SIGTERM (`timeout` in a cron job, a shutdown) stop a running command. From the
// moment the signal comes no byte goes out on a serial port; the command's event loop then
// ends the exchange and the port is closed as usual: the line settings go back and the
// exclusive hold is released. The tool then says "Abgebrochen." and ends.
void CatchStopSignals();

// Runs on the event loop once a signal has come (empty: nothing to end).
void SetOnStopSignal(std::function<void()> onStop);

// The exit status of the signal that came, if one came.
std::optional<TExitStatus> StopSignalStatus();
