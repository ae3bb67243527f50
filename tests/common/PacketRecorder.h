#pragma once

#include "link/LinkArming.h"
#include "serial/Ticks.h"

#include <QList>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <functional>
#include <utility>

// A collector time-out in ticks of 55 ms, typed so that it cannot be mistaken for a size.
struct Ticks {
    int count;

    // The time-out fires no sooner than this after it was armed ...
    constexpr std::chrono::milliseconds duration() const {
        return std::chrono::milliseconds(count * serialticks::TickMs);
    }
    // ... and within one more tick.
    constexpr std::chrono::milliseconds latestFiring() const {
        return duration() + std::chrono::milliseconds(serialticks::TickMs);
    }
};

constexpr Ticks NoTimeOut{0};
constexpr Ticks OneTick{1};
constexpr Ticks AckWait{LinkProtocol::AckTicks};
constexpr Ticks LineWait{LinkProtocol::LineTicks};
constexpr Ticks BlockWait{LinkProtocol::BlockTicks};
constexpr Ticks LongWait{LinkProtocol::ChecksumAckTicks}; // long enough for any test's reply

// A time within an ACK's wait, and one between two bytes that keep a collector busy.
constexpr std::chrono::milliseconds WithinAckWait{300};
constexpr std::chrono::milliseconds ShorterThanATick{40};

constexpr int OneByte = 1;

// The message of the serial error `action` throws, or nothing.
QString errorOf(const std::function<void()>& action);

// A collector whose events are recorded as they come: its packets, its time-outs and when the
// last came by `clock`; also the serial errors reported meanwhile, and whether any of this
// happened off the user-interface thread.
struct PacketRecorder {
    TDataPacket packet;
    QList<QByteArray> packets;
    int timeouts = 0;
    int64_t lastEventMs = 0;
    QStringList reportedErrors; // what reached the error display
    bool offUiThread = false;
    std::function<void()> onEvent; // runs inside the handler, after the event is recorded

    explicit PacketRecorder(std::function<int64_t()> clock);
    ~PacketRecorder();
    PacketRecorder(const PacketRecorder&) = delete;
    PacketRecorder& operator=(const PacketRecorder&) = delete;

    void armForBlock(int size, Ticks ticks) { ::armForBlock(packet, size, ticks.count); }
    // For as many bytes as `reply` has.
    void armForSizeOf(const QByteArray& reply, Ticks ticks) {
        armForBlock(int(reply.size()), ticks);
    }
    void armForLine() { ::armForLine(packet); }
    // `handler` runs inside the handler of the first packet or time-out.
    void onFirstEvent(std::function<void()> handler);
    QStringList takeReportedErrors() { return std::exchange(reportedErrors, {}); }

private:
    void record(TDataPacket* sender);
    void noteThread();
    std::function<int64_t()> clock_;
};
