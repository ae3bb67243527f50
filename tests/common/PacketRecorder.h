#pragma once

#include "TickCount.h"
#include "link/LinkArming.h"
#include "serial/DataPacket.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <utility>

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
