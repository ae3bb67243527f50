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

class QSocketNotifier;

// Runs the port's events and error reports on the thread it lives in (the user-interface
// thread). Work goes through its own locked queue; the posting thread only writes to an
// eventfd that the event loop watches, so it never touches the toolkit's data structures and
// the whole hand-over is visible to the thread checker.
class TSerialEventPump : public QObject {
    Q_OBJECT
public:
    explicit TSerialEventPump(QObject* parent = nullptr);
    ~TSerialEventPump() override;

    void PostEvent(std::shared_ptr<TSerialEventCall> call);
    void PostError(const QString& text);

private:
    void Drain();   // runs every queued item, one after the other
    bool RunNext(); // false when the queue was empty

private:
    struct Item {
        std::shared_ptr<TSerialEventCall> call; // or, when empty, an error text
        QString error;
    };
    void Post(Item item);

    std::mutex mutex_;
    std::deque<Item> queue_;
    int wakeFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};
