#include "serial/SerialDispatcher.h"

#include "serial/DataPacketManager.h"
#include "serial/Ticks.h"

#include <algorithm>

TSerialDispatcher::TSerialDispatcher(TDataPacketManager& manager, QObject* parent)
    : QObject(parent), manager_(manager), platform_(NewPlatform(*this)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TSerialDispatcher::TimerExpired);
}

void TSerialDispatcher::LineLost() {
    Stop(); // nothing may wait on the dead device any more
    if (OnHangUp)
        OnHangUp();
}

template <class Step> void TSerialDispatcher::Deliver(Step step) {
    ++handlerDepth_;
    step(); // may run a handler, which may close or reopen the port
    --handlerDepth_;
    if (Running() && handlerDepth_ == 0)
        ResumeReading();
    ScheduleTimer();
}

void TSerialDispatcher::DeliverBytes(const uint8_t* bytes, std::size_t count) {
    Deliver([&] { manager_.Receive(bytes, count); });
}

void TSerialDispatcher::TimerExpired() {
    if (Running())
        Deliver([&] { manager_.CheckTimers(); });
}

void TSerialDispatcher::ScheduleTimer() {
    if (handlerDepth_ > 0)
        return; // settled once the handler has returned
    const int64_t due = Running() ? manager_.TimerDueMs() : -1;
    if (due < 0) {
        timer_.stop();
        return;
    }
    // Each acknowledged byte re-arms the collector for a later time-out. A timer that would
    // fire sooner is left running: it finds nothing due and is set again for the rest.
    if (timer_.isActive() && due >= scheduledDue_)
        return;
    scheduledDue_ = due;
    const int64_t wait = std::max<int64_t>(0, due - serialticks::MonotonicMs());
    timer_.start(int(std::min<int64_t>(wait, INT32_MAX)));
}
