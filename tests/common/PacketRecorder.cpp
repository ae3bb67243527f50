#include "PacketRecorder.h"

#include "serial/SerialError.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <utility>

PacketRecorder::PacketRecorder(std::function<int64_t()> clock) : clock_(std::move(clock)) {
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

PacketRecorder::~PacketRecorder() {
    SetSerialErrorSink(nullptr);
}

QString errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ESerialError& e) {
        return e.message();
    }
    return {};
}

void PacketRecorder::noteThread() {
    offUiThread |= QThread::currentThread() != qApp->thread();
}

void PacketRecorder::record(TDataPacket* sender) {
    QCOMPARE(sender, &packet);
    noteThread();
    lastEventMs = clock_();
    if (onEvent)
        onEvent();
}

void PacketRecorder::onFirstEvent(std::function<void()> handler) {
    onEvent = [this, handler = std::move(handler)] {
        if (packets.size() + timeouts == 1)
            handler();
    };
}
