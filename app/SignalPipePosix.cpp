#include "app/SignalPipe.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int selfPipe[2] = {-1, -1};
TSignalPipe::THandlerStep handlerStep = nullptr;

void onCaughtSignal(int signal) {
    const int savedErrno = errno; // the interrupted code may be about to read it
    if (handlerStep)
        handlerStep(signal);
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(selfPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

TSignalPipe::TSignalPipe(std::initializer_list<int> caught, THandlerStep inHandler,
                         std::function<void()> onEventLoop, QObject* parent)
    : QObject(parent), caught_(caught), onEventLoop_(std::move(onEventLoop)) {
    if (pipe2(selfPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    handlerStep = inHandler;
    notifier_ = new QSocketNotifier(selfPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TSignalPipe::drain);
    struct sigaction action = {};
    action.sa_handler = onCaughtSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : caught_)
        sigaction(signal, &action, nullptr);
}

TSignalPipe::~TSignalPipe() {
    if (!notifier_)
        return;
    for (const int signal : caught_)
        std::signal(signal, SIG_DFL);
    handlerStep = nullptr;
    close(selfPipe[0]);
    close(selfPipe[1]);
    selfPipe[0] = selfPipe[1] = -1;
}

void TSignalPipe::drain() {
    char bytes[16];
    while (read(selfPipe[0], bytes, sizeof bytes) > 0) {
    }
    if (onEventLoop_)
        onEventLoop_();
}
