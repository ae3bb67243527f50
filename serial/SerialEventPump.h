#pragma once

#include <QObject>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class TDataPacket;

// One collector event handed from TDispThread to the user-interface thread. Shared by the
// waiting thread and the pump, which may outlive the dispatcher.
struct TSerialEventCall {
    enum State { Pending, Running, Done };
    std::mutex mutex;
    std::condition_variable changed;
    State state = Pending;
    bool released = false; // the waiter no longer waits; a pending call must not start
    TDataPacket* sender = nullptr;
    bool packet = true;
    std::vector<uint8_t> data;

    void Release();
};

// Runs the port's events and error reports on the thread it lives in (the user-interface
// thread). Work goes through its own locked queue; the queued slot call only wakes it, so the
// hand-over is visible to the thread checker and carries no data through the toolkit.
class TSerialEventPump : public QObject {
    Q_OBJECT
public:
    explicit TSerialEventPump(QObject* parent = nullptr) : QObject(parent) {}

    void PostEvent(std::shared_ptr<TSerialEventCall> call);
    void PostError(const QString& text);

private slots:
    void RunNext();

private:
    struct Item {
        std::shared_ptr<TSerialEventCall> call; // or, when empty, an error text
        QString error;
    };
    void Post(Item item);

    std::mutex mutex_;
    std::deque<Item> queue_;
};
