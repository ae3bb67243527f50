#include "serial/DataPacketManager.h"

#include "serial/DataPacket.h"
#include "serial/SerialError.h"
#include "serial/Ticks.h"

#include <algorithm>

namespace {

constexpr std::size_t BufferStep = 8192;

uint8_t upperAscii(uint8_t b) {
    return (b >= 'a' && b <= 'z') ? uint8_t(b - ('a' - 'A')) : b;
}

} // namespace

TDataPacketManager::TDataPacketManager(Clock clock) : clock_(std::move(clock)) {
    if (!clock_)
        clock_ = &serialticks::MonotonicMs;
}

TDataPacketManager::~TDataPacketManager() {
    DetachAll();
}

void TDataPacketManager::SetTimerHook(std::function<void()> hook) {
    timerHook_ = std::move(hook);
}

int64_t TDataPacketManager::TimerDueMs() const {
    if (!open_ || inEvent_ || !timerActive_ || !capture_)
        return -1;
    return (timerExpiry_ + 1) * serialticks::TickMs; // the first millisecond of the next tick
}

void TDataPacketManager::TimerChanged() const {
    if (timerHook_)
        timerHook_();
}

bool TDataPacketManager::Attached(const TDataPacket* packet) const {
    return std::find(packets_.begin(), packets_.end(), packet) != packets_.end();
}

void TDataPacketManager::Attach(TDataPacket* packet) {
    if (Attached(packet))
        return;
    packets_.push_back(packet);
    packet->manager_ = this;
    if (packet->enabled_ && open_) {
        if (inEvent_)
            packet->enablePending_ = true;
        else
            ArmChecked(packet);
    }
    TimerChanged();
}

void TDataPacketManager::Detach(TDataPacket* packet) {
    if (!Attached(packet))
        return;
    if (eventPacket_ == packet)
        eventPacket_ = nullptr;
    packet->enabled_ = false;
    packet->enablePending_ = false;
    StopCollecting(packet);
    packets_.erase(std::find(packets_.begin(), packets_.end(), packet));
    packet->manager_ = nullptr;
    TimerChanged();
}

void TDataPacketManager::DetachAll() {
    const std::vector<TDataPacket*> all = packets_;
    for (TDataPacket* packet : all) {
        Detach(packet);
        packet->comPort_ = nullptr;
    }
}

void TDataPacketManager::PortOpened() {
    open_ = true;
    inEvent_ = false;
    for (TDataPacket* packet : packets_)
        if (packet->enabled_)
            ArmChecked(packet);
    TimerChanged();
}

void TDataPacketManager::PortClosing() {
    ++generation_;
    open_ = false;
    inEvent_ = false;
    eventPacket_ = nullptr;
    for (TDataPacket* packet : packets_) {
        packet->enablePending_ = false;
        StopCollecting(packet);
    }
    capture_ = nullptr;
    timerActive_ = false;
    ClearBuffer();
    TimerChanged();
}

void TDataPacketManager::Enable(TDataPacket* packet) {
    if (packet->enabled_)
        return;
    packet->enabled_ = true;
    if (!open_ || !Attached(packet))
        return; // collecting begins when the port opens
    if (inEvent_)
        packet->enablePending_ = true; // armed when the event ends
    else
        Arm(packet);
    TimerChanged();
}

void TDataPacketManager::Disable(TDataPacket* packet) {
    if (!packet->enabled_)
        return;
    packet->enabled_ = false;
    packet->enablePending_ = false;
    StopCollecting(packet);
    TimerChanged();
}

void TDataPacketManager::ChangeEndString(TDataPacket* packet, const QByteArray& text) {
    const bool wasArmed = packet->enabled_;
    if (wasArmed) {
        packet->enabled_ = false;
        packet->enablePending_ = false;
        StopCollecting(packet);
    }
    packet->endString_ = text;
    if (!wasArmed)
        return;
    packet->CheckArmable(); // throws: the collector stays disarmed
    packet->enabled_ = true;
    if (!open_ || !Attached(packet))
        return;
    if (inEvent_)
        packet->enablePending_ = true;
    else
        Arm(packet);
    TimerChanged();
}

void TDataPacketManager::Arm(TDataPacket* packet) {
    packet->ignoreCase_ = packet->IgnoreCase;
    packet->includeStrings_ = packet->IncludeStrings;
    const TPacketEndConds ends = packet->EndCond;
    packet->endByString_ = (ends & ecString) != 0;
    packet->endBySize_ = (ends & ecPacketSize) != 0;

    // The end pattern and, for each prefix, its longest proper border: after a mismatch the
    // match continues from there, so the first occurrence of the end string always ends the
    // packet, however the bytes were split into reads.
    auto& pattern = packet->endPattern_;
    pattern.assign(packet->endString_.begin(), packet->endString_.end());
    if (packet->ignoreCase_)
        std::transform(pattern.begin(), pattern.end(), pattern.begin(), upperAscii);
    auto& fallback = packet->endFallback_;
    fallback.assign(pattern.size(), 0);
    for (std::size_t i = 1, k = 0; i < pattern.size(); ++i) {
        while (k > 0 && pattern[i] != pattern[k])
            k = fallback[k - 1];
        if (pattern[i] == pattern[k])
            ++k;
        fallback[i] = k;
    }

    if (capture_ && capture_ != packet)
        StopCollecting(capture_); // one collector collects at a time
    packet->mode_ = dpCollecting;
    capture_ = packet;
    const int32_t ticks = packet->TimeOut;
    timerActive_ = ticks > 0;
    if (timerActive_)
        timerExpiry_ = serialticks::ExpiryTick(clock_(), ticks);
    packet->targetSize_ = packet->PacketSize;
    packet->first_ = -1;
    packet->matched_ = 0;
}

bool TDataPacketManager::ArmChecked(TDataPacket* packet) {
    try {
        packet->CheckArmable();
    } catch (const ESerialError& e) {
        packet->enabled_ = false;
        ReportSerialError(e.message());
        return false;
    }
    Arm(packet);
    return true;
}

void TDataPacketManager::StopCollecting(TDataPacket* packet) {
    packet->mode_ = dpIdle;
    packet->first_ = -1;
    packet->matched_ = 0;
    if (capture_ == packet) {
        capture_ = nullptr;
        timerActive_ = false;
        // the bytes collected so far never reach a later packet
        if (!inEvent_)
            ClearBuffer();
    }
}

void TDataPacketManager::ClearBuffer() {
    buffer_.clear();
    if (buffer_.capacity() > BufferStep)
        std::vector<uint8_t>().swap(buffer_);
}

void TDataPacketManager::Append(const uint8_t* bytes, std::size_t count) {
    const std::size_t needed = buffer_.size() + count;
    if (needed > buffer_.capacity())
        buffer_.reserve((needed + BufferStep - 1) / BufferStep * BufferStep);
    buffer_.insert(buffer_.end(), bytes, bytes + count);
}

void TDataPacketManager::Receive(const uint8_t* bytes, std::size_t count) {
    if (count == 0)
        return;
    if (!open_)
        return;
    const std::size_t from = buffer_.size();
    Append(bytes, count);
    Process(from);
}

void TDataPacketManager::Process(std::size_t pos) {
    for (;;) {
        if (!open_ || inEvent_)
            return; // in an event the bytes wait until it ends
        if (!capture_) {
            ClearBuffer(); // nobody is collecting: the bytes are dropped
            return;
        }
        TDataPacket* packet = capture_;
        bool byString = false;
        int64_t last = -1;
        // collecting step
        for (std::size_t p = pos; p < buffer_.size() && last < 0; ++p) {
            if (packet->first_ < 0)
                packet->first_ = int64_t(p);
            if (packet->endByString_ && !packet->endPattern_.empty()) {
                const auto& pattern = packet->endPattern_;
                const uint8_t b = packet->ignoreCase_ ? upperAscii(buffer_[p]) : buffer_[p];
                std::size_t& m = packet->matched_;
                while (m > 0 && b != pattern[m])
                    m = packet->endFallback_[m - 1];
                if (b == pattern[m])
                    ++m;
                if (m == pattern.size()) {
                    byString = true;
                    last = int64_t(p);
                    break;
                }
            }
            if (packet->endBySize_ && int64_t(p) - packet->first_ + 1 >= packet->targetSize_)
                last = int64_t(p);
        }
        if (last < 0)
            return;
        int64_t size = last - packet->first_ + 1;
        if (byString && !packet->includeStrings_)
            size -= int64_t(packet->endPattern_.size());
        eventData_.assign(buffer_.begin() + packet->first_,
                          buffer_.begin() + packet->first_ + size);
        if (!RunEvent(packet, true, std::size_t(last) + 1))
            return;
        if (buffer_.empty())
            return;
        pos = 0; // the bytes behind the packet are offered from the front
    }
}

void TDataPacketManager::CheckTimers() {
    if (!open_ || inEvent_ || !timerActive_ || !capture_)
        return;
    if (!serialticks::TimerFired(clock_(), timerExpiry_))
        return;
    eventData_.clear();
    if (!RunEvent(capture_, false, 0))
        return;
    if (!buffer_.empty())
        Process(0);
}

bool TDataPacketManager::RunEvent(TDataPacket* packet, bool isPacket, std::size_t consumed) {
    inEvent_ = true;
    eventPacket_ = packet;
    packet->enabled_ = false;
    StopCollecting(packet);
    const uint64_t generation = generation_;
    packet->FireEvent(isPacket, eventData_.data(), int(eventData_.size()));
    if (generation != generation_)
        return false; // the port closed under the event
    if (!isPacket) {
        if (packet->FlushOnTimeout)
            ClearBuffer();
    } else {
        buffer_.erase(buffer_.begin(),
                      buffer_.begin() + std::ptrdiff_t(std::min(consumed, buffer_.size())));
        if (buffer_.empty())
            ClearBuffer();
        if (Attached(packet) && packet->AutoEnable && !packet->enabled_) {
            packet->enabled_ = true;
            packet->enablePending_ = true;
        }
    }
    inEvent_ = false;
    eventPacket_ = nullptr;
    for (TDataPacket* p : packets_) {
        if (!p->enablePending_)
            continue;
        p->enablePending_ = false;
        if (p->enabled_)
            ArmChecked(p); // with the settings written meanwhile, a timer that starts now
    }
    return true;
}

std::size_t TDataPacketManager::BufferedBytes() const {
    return buffer_.size();
}

bool TDataPacketManager::IsOpen() const {
    return open_;
}

bool TDataPacketManager::InEvent() const {
    return inEvent_;
}

TDataPacket* TDataPacketManager::Capture() const {
    return capture_;
}
