// Windows has no signals for a program to catch: Ctrl+C in its console comes as CTRL_C_EVENT
// (SIGINT), closing the console, Ctrl+Break, logging off and shutting down as the other
// control events (SIGTERM). Windows calls the handler on a thread of its own; the event loop
// of the thread that made the pipe runs the action.
#include "app/SignalPipe.h"

#include <QMetaObject>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <windows.h>

namespace {

std::atomic<TSignalPipe*> watching{nullptr};
TSignalPipe::THandlerStep handlerStep = nullptr;
std::vector<int> caughtSignals;
std::function<void()> runOnEventLoop; // the watching pipe's drain()

int signalOf(DWORD controlEvent) {
    return controlEvent == CTRL_C_EVENT ? SIGINT : SIGTERM;
}

BOOL WINAPI onControlEvent(DWORD controlEvent) {
    TSignalPipe* pipe = watching.load();
    const int signal = signalOf(controlEvent);
    if (!pipe ||
        std::find(caughtSignals.begin(), caughtSignals.end(), signal) == caughtSignals.end())
        return FALSE; // Windows' own handling: the program ends
    if (handlerStep)
        handlerStep(signal);
    QMetaObject::invokeMethod(pipe, runOnEventLoop, Qt::QueuedConnection);
    return TRUE;
}

} // namespace

TSignalPipe::TSignalPipe(std::initializer_list<int> caught, THandlerStep inHandler,
                         std::function<void()> onEventLoop, QObject* parent)
    : QObject(parent), caught_(caught), onEventLoop_(std::move(onEventLoop)) {
    handlerStep = inHandler;
    caughtSignals = caught_;
    runOnEventLoop = [this] { drain(); };
    watching.store(this);
    ::SetConsoleCtrlHandler(onControlEvent, TRUE);
}

TSignalPipe::~TSignalPipe() {
    ::SetConsoleCtrlHandler(onControlEvent, FALSE);
    watching.store(nullptr);
}

void TSignalPipe::drain() {
    if (onEventLoop_)
        onEventLoop_();
}
