#include "serial/SerialEventPump.h"

#include "serial/DataPacket.h"
#include "serial/SerialError.h"

#include <QPointer>
#include <QSocketNotifier>
#include <cstdint>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

TSerialEventPump::TSerialEventPump(QObject* parent) : QObject(parent) {
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0)
        throw std::runtime_error("eventfd");
    notifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TSerialEventPump::Drain);
}

TSerialEventPump::~TSerialEventPump() {
    delete notifier_;
    ::close(wakeFd_);
}

void TSerialEventCall::Release() {
    {
        std::lock_guard lock(mutex);
        released = true;
    }
    changed.notify_all();
}

void TSerialEventPump::PostEvent(std::shared_ptr<TSerialEventCall> call) {
    Post({std::move(call), {}});
}

void TSerialEventPump::PostError(const QString& text) {
    Post({nullptr, text});
}

void TSerialEventPump::Post(Item item) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(item));
    }
    const std::uint64_t one = 1;
    // The counter cannot overflow in practice; a full counter still leaves the fd readable.
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void TSerialEventPump::Drain() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
    // A handler may open a modal dialog (its event loop drains what arrives meanwhile) or
    // destroy the port, and this pump with it.
    QPointer<TSerialEventPump> self(this);
    while (self && RunNext()) {
    }
}

bool TSerialEventPump::RunNext() {
    Item item;
    {
        std::lock_guard lock(mutex_);
        if (queue_.empty())
            return false;
        item = std::move(queue_.front());
        queue_.pop_front();
    }
    if (!item.call) {
        ReportSerialError(item.error);
        return true;
    }
    const auto& call = item.call;
    {
        std::lock_guard lock(call->mutex);
        if (call->released)
            return true; // the port closed or the collector went away first
        call->state = TSerialEventCall::Running;
    }
    call->sender->FireEvent(call->packet, call->data.data(), int(call->data.size()));
    {
        std::lock_guard lock(call->mutex);
        call->state = TSerialEventCall::Done;
    }
    call->changed.notify_all();
    return true;
}
