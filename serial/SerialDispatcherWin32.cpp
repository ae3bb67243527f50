#include "serial/SerialDispatcher.h"

#include "serial/DataPacketManager.h"
#include "serial/OutputStop.h"
#include "serial/Win32SerialDevice.h"

#include <QWinEventNotifier>
#include <algorithm>
#include <vector>

// Received bytes: an overlapped WaitCommEvent for EV_RXCHAR, whose event a QWinEventNotifier
// watches; then a read that returns at once with what the driver holds (the time-outs say
// so). A waiting read would not do: Wine completes it only when its buffer is full.
// Sending: one overlapped WriteFile at a time, the next block queued behind it.
struct TSerialDispatcher::Platform {
    HANDLE port = INVALID_HANDLE_VALUE;
    TDeviceRestore restore;
    OVERLAPPED waitIo{};
    DWORD events = 0;
    bool waiting = false;    // the WaitCommEvent is out, or has ended and is not handled yet
    DWORD waitRefused = 0;   // WaitCommEvent failed at once: the device is gone
    OVERLAPPED readIo{};     // used to its end at once
    OVERLAPPED writeIo{};
    std::vector<uint8_t> writing; // the block the driver is writing
    std::vector<uint8_t> pending; // what waits behind it
    std::size_t outCapacity = 0;
    QWinEventNotifier* received = nullptr;
    QWinEventNotifier* written = nullptr;

    Platform() {
        for (OVERLAPPED* io : {&waitIo, &readIo, &writeIo})
            io->hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~Platform() {
        for (OVERLAPPED* io : {&waitIo, &readIo, &writeIo})
            CloseHandle(io->hEvent);
    }
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    void armWait();
    bool bytesQueued() const;
    void finish(OVERLAPPED& io) const; // cancels `io` and waits until it has ended
    DWORD startWrite();                // 0, or why WriteFile failed
};

void TSerialDispatcher::Platform::armWait() {
    ResetEvent(waitIo.hEvent);
    events = 0;
    if (!WaitCommEvent(port, &events, &waitIo) && GetLastError() != ERROR_IO_PENDING) {
        waitRefused = GetLastError();
        SetEvent(waitIo.hEvent); // told on the event loop, as a failing wait would be
        return;
    }
    waiting = true;
    // Bytes that came before the wait started need not raise EV_RXCHAR again.
    if (bytesQueued())
        SetEvent(waitIo.hEvent);
}

bool TSerialDispatcher::Platform::bytesQueued() const {
    COMSTAT status{};
    DWORD errors = 0;
    return ClearCommError(port, &errors, &status) && status.cbInQue > 0;
}

void TSerialDispatcher::Platform::finish(OVERLAPPED& io) const {
    DWORD count = 0;
    CancelIoEx(port, &io);
    GetOverlappedResult(port, &io, &count, TRUE);
}

DWORD TSerialDispatcher::Platform::startWrite() {
    writing.swap(pending);
    pending.clear();
    ResetEvent(writeIo.hEvent);
    if (!WriteFile(port, writing.data(), DWORD(writing.size()), nullptr, &writeIo) &&
        GetLastError() != ERROR_IO_PENDING) {
        const DWORD error = GetLastError();
        writing.clear();
        return error;
    }
    written->setEnabled(true);
    return 0;
}

void TSerialDispatcher::PlatformDeleter::operator()(Platform* platform) const {
    delete platform;
}

TSerialDispatcher::PlatformPtr TSerialDispatcher::NewPlatform(TSerialDispatcher& owner) {
    PlatformPtr p(new Platform);
    p->received = new QWinEventNotifier(p->waitIo.hEvent, &owner);
    p->written = new QWinEventNotifier(p->writeIo.hEvent, &owner);
    p->received->setEnabled(false);
    p->written->setEnabled(false);
    connect(p->received, &QWinEventNotifier::activated, &owner, &TSerialDispatcher::ReadReady);
    connect(p->written, &QWinEventNotifier::activated, &owner, &TSerialDispatcher::WriteReady);
    return p;
}

TSerialDispatcher::~TSerialDispatcher() {
    Stop();
}

bool TSerialDispatcher::Running() const {
    return platform_->port != INVALID_HANDLE_VALUE;
}

TOpenOutcome TSerialDispatcher::Start(const std::string& path, const TLineSettings& line,
                                      std::size_t inSize, std::size_t outSize) {
    TDeviceRequest request;
    request.io = TDeviceIo::Overlapped;
    request.inQueue = DWORD(inSize);
    request.outQueue = DWORD(outSize);
    request.timeouts.ReadIntervalTimeout = MAXDWORD; // a read returns at once with what is there
    const TOpenResult opened = OpenSerialDevice(path, line, request);
    if (opened.handle == INVALID_HANDLE_VALUE)
        return {opened.failure, opened.error};
    if (!SetCommMask(opened.handle, EV_RXCHAR)) {
        CloseSerialDevice(opened.handle, opened.restore);
        return {TOpenFailure::Settings, EINVAL};
    }
    Platform& p = *platform_;
    p.port = opened.handle;
    p.restore = opened.restore;
    p.outCapacity = outSize;
    p.writing.clear();
    p.pending.clear();
    p.waiting = false;
    p.waitRefused = 0;
    ResumeReading();
    ScheduleTimer();
    return {};
}

void TSerialDispatcher::Stop() {
    Platform& p = *platform_;
    if (p.port == INVALID_HANDLE_VALUE)
        return;
    p.received->setEnabled(false);
    p.written->setEnabled(false);
    timer_.stop();
    // The driver may still fill the OVERLAPPED structures and buffers until the I/O has ended.
    if (p.waiting)
        p.finish(p.waitIo);
    if (!p.writing.empty())
        p.finish(p.writeIo);
    p.waiting = false;
    p.writing.clear();
    p.pending.clear();
    CloseSerialDevice(p.port, p.restore);
    p.port = INVALID_HANDLE_VALUE;
}

void TSerialDispatcher::ResumeReading() {
    Platform& p = *platform_;
    if (!p.waiting && p.waitRefused == 0)
        p.armWait();
    p.received->setEnabled(true);
}

void TSerialDispatcher::ReadReady() {
    Platform& p = *platform_;
    if (!Running())
        return;
    if (handlerDepth_ > 0) {
        // A handler's dialog runs a nested event loop: the bytes wait in the driver until the
        // handler has returned.
        p.received->setEnabled(false);
        return;
    }
    if (p.waitRefused != 0) {
        LineLost();
        return;
    }
    if (p.waiting) {
        DWORD ignored = 0;
        if (!GetOverlappedResult(p.port, &p.waitIo, &ignored, FALSE)) {
            if (GetLastError() != ERROR_IO_INCOMPLETE) {
                p.waiting = false;
                LineLost(); // the wait ends with a failure only when the device has gone
                return;
            }
            if (!p.bytesQueued()) {
                ResetEvent(p.waitIo.hEvent); // a wake-up that found nothing
                return;
            }
            p.finish(p.waitIo);
        }
        p.waiting = false;
    }
    uint8_t chunk[4096];
    DWORD count = 0;
    ResetEvent(p.readIo.hEvent);
    const bool started = ReadFile(p.port, chunk, sizeof chunk, nullptr, &p.readIo) ||
                         GetLastError() == ERROR_IO_PENDING;
    if (!started || !GetOverlappedResult(p.port, &p.readIo, &count, TRUE)) {
        LineLost(); // a read fails only when the device has gone
        return;
    }
    if (count > 0)
        DeliverBytes(chunk, count); // then waits for the next byte, once no handler runs
    else
        ResumeReading(); // FlushInBuffer emptied the queue meanwhile
}

TSerialDispatcher::TSendResult TSerialDispatcher::Send(const uint8_t* bytes, std::size_t count) {
    Platform& p = *platform_;
    if (SerialOutputStopped())
        return TSendResult::Sent; // the program is ending: the exchange is being wound down
    if (p.writing.size() + p.pending.size() + count > p.outCapacity)
        return TSendResult::NoRoom;
    p.pending.insert(p.pending.end(), bytes, bytes + count);
    if (!p.writing.empty())
        return TSendResult::Sent; // goes out once the driver has taken the block before it
    const DWORD error = p.startWrite();
    if (error == 0)
        return TSendResult::Sent;
    if (DeviceGoneError(error)) {
        LineLost();
        return TSendResult::Sent;
    }
    return TSendResult::Failed;
}

void TSerialDispatcher::WriteReady() {
    Platform& p = *platform_;
    if (p.writing.empty()) {
        p.written->setEnabled(false);
        return;
    }
    DWORD count = 0;
    DWORD error = 0;
    if (GetOverlappedResult(p.port, &p.writeIo, &count, FALSE)) {
        // A rest the driver did not take goes out first, before what was queued behind it.
        p.pending.insert(p.pending.begin(), p.writing.begin() + std::min<std::size_t>(count, p.writing.size()),
                         p.writing.end());
        p.writing.clear();
        if (SerialOutputStopped())
            p.pending.clear();
        if (p.pending.empty()) {
            p.written->setEnabled(false);
            return;
        }
        error = p.startWrite();
    } else {
        error = GetLastError();
        if (error == ERROR_IO_INCOMPLETE)
            return;
    }
    if (error == 0)
        return;
    p.writing.clear();
    p.pending.clear();
    p.written->setEnabled(false);
    if (DeviceGoneError(error))
        LineLost();
    else if (OnWriteFailed)
        OnWriteFailed();
}

void TSerialDispatcher::FlushIn() {
    PurgeComm(platform_->port, PURGE_RXCLEAR | PURGE_RXABORT);
}

void TSerialDispatcher::FlushOut() {
    Platform& p = *platform_;
    if (!p.writing.empty())
        p.finish(p.writeIo);
    p.writing.clear();
    p.pending.clear();
    p.written->setEnabled(false);
    PurgeComm(p.port, PURGE_TXCLEAR | PURGE_TXABORT);
}
