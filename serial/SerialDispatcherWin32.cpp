#include "serial/SerialDispatcher.h"

#include "serial/DataPacketManager.h"
#include "serial/OutputStop.h"
#include "serial/Win32SerialDevice.h"

#include <QWinEventNotifier>
#include <algorithm>
#include <vector>

// Received bytes: one overlapped ReadFile at a time, whose event a QWinEventNotifier watches.
// It ends once bytes came and the line then stayed quiet for a moment (the interval
// time-out). The alternatives fail under Wine: a read meant to end with the first byte
// (MAXDWORD interval and multiplier) waits for a full buffer, and a pending WaitCommEvent may
// miss queued bytes and does not end when cancelled, which would hang the closing.
// Sending: one overlapped WriteFile at a time, the next block queued behind it.
struct TSerialDispatcher::Platform {
    HANDLE port = INVALID_HANDLE_VALUE;
    TDeviceRestore restore;
    OVERLAPPED readIo{};
    uint8_t readBuffer[4096];
    bool reading = false;  // the ReadFile is out, or has ended and is not handled yet
    DWORD readRefused = 0; // ReadFile failed at once: the device is gone
    OVERLAPPED writeIo{};
    std::vector<uint8_t> writing; // the block the driver is writing
    std::vector<uint8_t> pending; // what waits behind it
    std::size_t outCapacity = 0;
    QWinEventNotifier* received = nullptr;
    QWinEventNotifier* written = nullptr;

    Platform() {
        for (OVERLAPPED* io : {&readIo, &writeIo})
            io->hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~Platform() {
        for (OVERLAPPED* io : {&readIo, &writeIo})
            CloseHandle(io->hEvent);
    }
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    void armRead();
    void finish(OVERLAPPED& io) const; // cancels `io` and waits a moment for its end
    DWORD startWrite();                // 0, or why WriteFile failed
};

namespace {

// The gap after a burst of bytes that ends a read.
constexpr DWORD ReadGapMs = 1;
// How long closing waits for cancelled I/O to end; the handle is closed after it anyway.
constexpr DWORD CancelWaitMs = 500;

} // namespace

void TSerialDispatcher::Platform::armRead() {
    ResetEvent(readIo.hEvent);
    if (!ReadFile(port, readBuffer, sizeof readBuffer, nullptr, &readIo) &&
        GetLastError() != ERROR_IO_PENDING) {
        readRefused = GetLastError();
        SetEvent(readIo.hEvent); // told on the event loop, as a failing read would be
        return;
    }
    reading = true;
}

void TSerialDispatcher::Platform::finish(OVERLAPPED& io) const {
    CancelIoEx(port, &io);
    WaitForSingleObject(io.hEvent, CancelWaitMs);
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
    p->received = new QWinEventNotifier(p->readIo.hEvent, &owner);
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
    request.timeouts.ReadIntervalTimeout = ReadGapMs;
    const TOpenResult opened = OpenSerialDevice(path, line, request);
    if (opened.handle == INVALID_HANDLE_VALUE)
        return {opened.failure, opened.error};
    Platform& p = *platform_;
    p.port = opened.handle;
    p.restore = opened.restore;
    p.outCapacity = outSize;
    p.writing.clear();
    p.pending.clear();
    p.reading = false;
    p.readRefused = 0;
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
    if (p.reading)
        p.finish(p.readIo);
    if (!p.writing.empty())
        p.finish(p.writeIo);
    p.reading = false;
    p.writing.clear();
    p.pending.clear();
    CloseSerialDevice(p.port, p.restore);
    p.port = INVALID_HANDLE_VALUE;
}

void TSerialDispatcher::ResumeReading() {
    Platform& p = *platform_;
    if (!p.reading && p.readRefused == 0)
        p.armRead();
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
    if (p.readRefused != 0) {
        LineLost();
        return;
    }
    if (!p.reading) { // a wake-up from a read that FlushInBuffer ended
        ResumeReading();
        return;
    }
    DWORD count = 0;
    if (!GetOverlappedResult(p.port, &p.readIo, &count, FALSE)) {
        if (GetLastError() == ERROR_IO_INCOMPLETE)
            return;
        p.reading = false;
        LineLost(); // a read fails only when the device has gone
        return;
    }
    p.reading = false;
    if (count == 0) {
        ResumeReading();
        return;
    }
    uint8_t chunk[sizeof p.readBuffer];
    std::copy_n(p.readBuffer, count, chunk); // a handler may reopen the port and read anew
    DeliverBytes(chunk, count);              // then reads on, once no handler runs
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
        p.pending.insert(p.pending.begin(),
                         p.writing.begin() + std::min<std::size_t>(count, p.writing.size()),
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
    Platform& p = *platform_;
    // The pending read is ended first, so that its end is not taken for a device that went.
    if (p.reading)
        p.finish(p.readIo);
    p.reading = false;
    PurgeComm(p.port, PURGE_RXCLEAR | PURGE_RXABORT);
    if (handlerDepth_ == 0)
        ResumeReading(); // inside a handler reading goes on once it has returned
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
