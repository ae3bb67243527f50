#pragma once

#include "link/LinkArming.h"
#include "serial/DataPacketManager.h"
#include "serial/SerialError.h"
#include "serial/Ticks.h"

#include <QCoreApplication>
#include <QList>
#include <QStringList>
#include <QTest>
#include <QThread>
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

using Packets = QList<QByteArray>;

// A row of a scenario table: the steps on a rig (as a std::function) and the packets at the end.
template <class Steps> void addScenario(const char* name, const Packets& expected, Steps steps) {
    QTest::newRow(name) << std::function(steps) << expected;
}

// The message of the serial error `action` throws, or nothing.
inline QString errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ESerialError& e) {
        return e.message();
    }
    return {};
}

// Records a collector's events (the last at `clock`), serial errors and any off the UI thread.
struct PacketRecorder {
    TDataPacket packet;
    Packets packets;
    int timeouts = 0;
    int64_t lastEventMs = 0;
    QStringList reportedErrors; // what reached the error display
    bool offUiThread = false;
    std::function<void()> onEvent; // runs inside the handler, after the event is recorded

    explicit PacketRecorder(std::function<int64_t()> clock) : clock_(std::move(clock)) {
        packet.AutoEnable = false;
        packet.StartCond = scAnyData;
        packet.OnPacket = [this](TDataPacket* sender, const uint8_t* data, int size) {
            packets.append(QByteArray(reinterpret_cast<const char*>(data), size));
            record(sender);
        };
        packet.OnTimeout = [this](TDataPacket* sender) {
            ++timeouts;
            record(sender);
        };
        SetSerialErrorSink([this](const QString& text) {
            noteThread();
            reportedErrors.append(text);
        });
    }
    ~PacketRecorder() { SetSerialErrorSink(nullptr); }
    PacketRecorder(const PacketRecorder&) = delete;
    PacketRecorder& operator=(const PacketRecorder&) = delete;

    void armForBlock(int size, Ticks ticks) { ::armForBlock(packet, size, ticks.count); }
    // For as many bytes as `reply` has.
    void armForSizeOf(const QByteArray& reply, Ticks ticks) {
        armForBlock(int(reply.size()), ticks);
    }
    void armForLine() { ::armForLine(packet); }
    // `handler` runs inside the handler of the first packet or time-out.
    void onFirstEvent(std::function<void()> handler) {
        onEvent = [this, handler = std::move(handler)] {
            if (packets.size() + timeouts == 1)
                handler();
        };
    }

private:
    void record(TDataPacket* sender) {
        QCOMPARE(sender, &packet);
        noteThread();
        lastEventMs = clock_();
        if (onEvent)
            onEvent();
    }
    void noteThread() { offUiThread |= QThread::currentThread() != qApp->thread(); }
    std::function<int64_t()> clock_;
};

// How a packet ends that is armed for an end string.
enum class Case { Ignored, Kept };
enum class EndString { Included, CutOff };

// One port's worth of collecting, driven by hand: bytes and a test clock in, events out.
struct CollectorRig : PacketRecorder {
    static constexpr int64_t StartMs = 1000;
    int64_t now = StartMs;
    TDataPacketManager manager{[this] { return now; }};

    CollectorRig() : PacketRecorder([this] { return now; }) {
        packet.SetManager(&manager);
        manager.PortOpened();
    }

    void armForEndString(const QByteArray& end, Case letterCase, EndString endString) {
        packet.IgnoreCase = letterCase == Case::Ignored;
        packet.IncludeStrings = endString == EndString::Included;
        packet.SetEndString(end);
        packet.EndCond = ecString;
        packet.TimeOut = NoTimeOut.count;
        packet.SetEnabled(true);
    }
    // The text of a refused arming, or nothing.
    QString switchOn() {
        return errorOf([this] { packet.SetEnabled(true); });
    }
    void bytesArrive(const QByteArray& bytes) {
        manager.Receive(reinterpret_cast<const uint8_t*>(bytes.constData()),
                        std::size_t(bytes.size()));
    }
    // The clock moves on 1 ms at a time, the timer checked each time.
    void advanceClock(std::chrono::milliseconds time) {
        for (int64_t i = 0; i < time.count(); ++i) {
            ++now;
            manager.CheckTimers();
        }
    }
    // The clock moves on without the timer being looked at.
    void clockJumps(std::chrono::milliseconds time) { now += time.count(); }
};
