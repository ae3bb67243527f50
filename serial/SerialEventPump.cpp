#include "serial/SerialEventPump.h"

#include "serial/DataPacket.h"
#include "serial/SerialError.h"

#include <QMetaObject>

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
    QMetaObject::invokeMethod(this, "RunNext", Qt::QueuedConnection);
}

void TSerialEventPump::RunNext() {
    Item item;
    {
        std::lock_guard lock(mutex_);
        if (queue_.empty())
            return;
        item = std::move(queue_.front());
        queue_.pop_front();
    }
    if (!item.call) {
        ReportSerialError(item.error);
        return;
    }
    const auto& call = item.call;
    {
        std::lock_guard lock(call->mutex);
        if (call->released)
            return; // the port closed or the collector went away first
        call->state = TSerialEventCall::Running;
    }
    call->sender->FireEvent(call->packet, call->data.data(), int(call->data.size()));
    {
        std::lock_guard lock(call->mutex);
        call->state = TSerialEventCall::Done;
    }
    call->changed.notify_all();
}
