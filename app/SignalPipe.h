#pragma once

#include <QObject>
#include <functional>
#include <initializer_list>
#include <vector>

class QSocketNotifier;

// The signals `caught`, handled on the event loop. The handler itself only runs `inHandler`
// (may be null; nothing but async-signal-safe calls there) and writes a byte into a pipe; the
// event loop of the thread that made this object then runs `onEventLoop`. While it lives the
// signals are caught; afterwards they have their default action again. One at a time.
class TSignalPipe : public QObject {
public:
    using THandlerStep = void (*)(int signal);
    TSignalPipe(std::initializer_list<int> caught, THandlerStep inHandler,
                std::function<void()> onEventLoop, QObject* parent = nullptr);
    ~TSignalPipe() override;

private:
    void drain();
    std::vector<int> caught_;
    std::function<void()> onEventLoop_;
    QSocketNotifier* notifier_ = nullptr; // null: no pipe, the signals keep their default action
};
