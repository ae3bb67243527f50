#include "cli/StopSignals.h"

#include "app/SignalPipe.h"
#include "serial/OutputStop.h"

#include <QCoreApplication>
#include <csignal>

namespace {

volatile std::sig_atomic_t stopSignal = 0;
std::function<void()> onStopSignal;

// In the handler: note the signal and stop the output at once.
void noteStopSignal(int signal) {
    stopSignal = signal;
    StopSerialOutput();
}

} // namespace

void CatchStopSignals() {
    // Lives as long as the application. Without a pipe the signals keep their default action:
    // the tool ends at once.
    new TSignalPipe(
        {SIGINT, SIGTERM}, noteStopSignal,
        [] {
            if (onStopSignal)
                onStopSignal();
        },
        QCoreApplication::instance());
}

void SetOnStopSignal(std::function<void()> onStop) {
    onStopSignal = std::move(onStop);
}

std::optional<TExitStatus> StopSignalStatus() {
    switch (stopSignal) {
    case SIGINT:
        return TExitStatus::Interrupted;
    case SIGTERM:
        return TExitStatus::Terminated;
    default:
        return std::nullopt;
    }
}
