#include "cli/StopSignals.h"

#include "serial/OutputStop.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int stopPipe[2] = {-1, -1};
volatile std::sig_atomic_t stopSignal = 0;
std::function<void()> onStopSignal;

// Only what a handler may do: note the signal, stop the output, wake the event loop.
void onSignal(int signal) {
    stopSignal = signal;
    StopSerialOutput();
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(stopPipe[1], &byte, 1);
}

void stopOnEventLoop() {
    char bytes[16];
    while (read(stopPipe[0], bytes, sizeof bytes) > 0) {
    }
    if (onStopSignal)
        onStopSignal();
}

} // namespace

void CatchStopSignals() {
    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep their default action: the tool ends at once
    auto* notifier =
        new QSocketNotifier(stopPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, stopOnEventLoop);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
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
