#include "tools/ZuvexSim.h"

#include "serial/ConfigHome.h"
#include "tools/SimLog.h"
#include "tools/SimPty.h"
#include "tools/SimState.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zuvexsim {

namespace {

struct StopLine {}; // stop() was called
struct HangUp {};   // the hang-up fault closed the line

// One byte at 57600 baud with start and stop bit: 10 bits, 173.6 us, rounded up.
constexpr auto ByteTime = std::chrono::microseconds(174);
// A sleeping thread wakes up some tens of microseconds late, and a UART does not: the last
// stretch before a paced byte is due is waited out awake.
constexpr auto WakeMargin = std::chrono::microseconds(60);
// How long a line without a reader may hold back a reply before its bytes are dropped.
constexpr int MaxWriteStalls = 100;
constexpr auto StallPause = std::chrono::milliseconds(5);
constexpr auto HangUpPause = std::chrono::milliseconds(10);
// Bytes read from the line but not yet handled: more than the longest record the Configurator
// sends in one write. Beyond it the line is left unread and the sender waits, as it waits for a
// line of 57600 baud, instead of the simulator holding whatever it is sent.
constexpr std::size_t MaxPendingInput = std::size_t(1) << 17;

std::string parentDir(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

} // namespace

struct ZuvexSim::Impl final : SimHost {
    struct Pending {
        std::uint8_t byte;
        Clock::time_point due; // when the byte has fully arrived, by the line's speed
    };

    SimOptions options;
    std::string portsDir;
    std::string entry;

    mutable std::mutex m;
    mutable std::condition_variable changed;
    DeviceMemory mem;
    SimFaults faultsValue;
    std::deque<WireByte> trafficLog; // the last TrafficKept bytes
    std::size_t receivedCount = 0;
    std::size_t sentCount = 0;
    DeviceMode modeValue = DeviceMode::Command;
    bool hung = false;
    std::string slave; // empty when not running
    std::atomic<bool> pacing{false};

    // Owned by the line thread while it runs.
    PtyPair pty;
    int wake[2] = {-1, -1};
    std::thread thread;
    std::deque<Pending> pending;
    Clock::time_point rxClock{};
    Clock::time_point txClock{};
    // The device's own time: when the byte it handles arrived, or when its deadline or
    // pause ended. Replies are timed from here, not from when the thread woke up for it.
    Clock::time_point deviceNow{};
    long lineBytes = 0; // received since start, for the hang-up fault
    Clock::time_point started{};

    explicit Impl(SimOptions opts) : options(std::move(opts)) {
        portsDir = options.portsDir.empty() ? comPortsDir() : options.portsDir;
        entry = options.linkPath.empty() ? portEntryPath(portsDir, options.port) : options.linkPath;
        faultsValue = options.faults;
        pacing = options.pacing;
        mem = factoryMemory();
        loadMemory();
    }

    void loadMemory() {
        const std::string& path = options.statePath;
        if (!path.empty()) {
            struct stat st {};
            std::string error;
            if (::stat(path.c_str(), &st) == 0 && !loadState(path, mem, error)) {
                // Keep the unreadable file for inspection instead of overwriting it.
                const std::string kept = path + ".corrupt";
                std::rename(path.c_str(), kept.c_str());
                std::fprintf(stderr, "zuvex-sim: %s; kept as %s, starting from factory state\n",
                             error.c_str(), kept.c_str());
            }
            const std::string dir = parentDir(path);
            if (!dir.empty())
                makeDirs(dir);
        }
        if (options.firmwareVersion)
            mem.version = *options.firmwareVersion;
        persist();
    }

    // Caller holds m or is the only user.
    void persist() {
        std::string error;
        if (!options.statePath.empty() && !saveState(options.statePath, mem, error))
            std::fprintf(stderr, "zuvex-sim: cannot save state: %s\n", error.c_str());
    }

    // SimHost
    void send(const std::string& bytes) override {
        if (bytes.empty())
            return;
        log("->", readable(bytes));
        if (!pacing) {
            writeAll(bytes.data(), bytes.size());
            return;
        }
        // The reply starts when the line is free; its bytes then follow each other on a fixed
        // grid, so that a late wake-up for one byte does not slow down the rest.
        txClock = std::max(txClock, deviceNow);
        for (char c : bytes) {
            txClock += ByteTime;
            waitUntilExactly(txClock); // each byte is visible once it has fully arrived
            writeAll(&c, 1);
        }
    }
    void pause(std::chrono::milliseconds duration) override {
        deviceNow = std::max(deviceNow, Clock::now()) + duration;
        waitUntil(deviceNow);
    }
    void note(const std::string& event) override { log("--", event); }
    SimFaults faults() override {
        std::lock_guard lock(m);
        return faultsValue;
    }
    DeviceMemory memory() override {
        std::lock_guard lock(m);
        return mem;
    }
    void store(const DeviceMemory& memory) override {
        std::lock_guard lock(m);
        mem = memory;
        persist();
    }
    void modeChanged(DeviceMode mode) override {
        {
            std::lock_guard lock(m);
            modeValue = mode;
        }
        changed.notify_all();
    }

    void log(std::string_view arrow, std::string_view text) {
        if (!options.log)
            return;
        const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
        const std::string line = logLine(options.port, seconds, arrow, text);
        if (options.logSink) {
            options.logSink(line);
        } else {
            std::fprintf(stderr, "%s\n", line.c_str());
            std::fflush(stderr);
        }
    }

    void record(bool received, const char* data, std::size_t size, Clock::time_point at) {
        {
            std::lock_guard lock(m);
            for (std::size_t i = 0; i < size; ++i)
                trafficLog.push_back({received, static_cast<std::uint8_t>(data[i]), at});
            while (trafficLog.size() > TrafficKept)
                trafficLog.pop_front();
            (received ? receivedCount : sentCount) += size;
        }
        changed.notify_all();
    }

    // Records the bytes as sent before writing them, so that whoever reads them from the
    // port already finds them in the traffic. Bytes a full line cannot take are lost, as
    // on a real line without a listener.
    void writeAll(const char* data, std::size_t size) {
        record(false, data, size, Clock::now());
        std::size_t done = 0;
        int stalls = 0;
        while (done < size) {
            const ssize_t n = ::write(pty.master, data + done, size - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && errno == EAGAIN && ++stalls <= MaxWriteStalls) {
                waitUntil(Clock::now() + StallPause); // nobody reads the port: a full buffer
            } else {
                note("line blocked, " + std::to_string(size - done) + " bytes lost");
                return;
            }
        }
    }

    // Takes bytes just read from the line: records them and queues them for the device.
    void take(const char* data, std::size_t size) {
        const Clock::time_point now = Clock::now();
        const long limit = faults().hangUpAfter;
        bool hangUp = false;
        if (limit >= 0 && lineBytes + static_cast<long>(size) >= limit) {
            size = static_cast<std::size_t>(std::max(0L, limit - lineBytes));
            hangUp = true;
        }
        lineBytes += static_cast<long>(size);
        record(true, data, size, now);
        if (size > 0)
            log("<-", readable({data, size}));
        const bool paced = pacing;
        for (std::size_t i = 0; i < size; ++i) {
            Clock::time_point due = now;
            if (paced) {
                rxClock = std::max(rxClock, now) + ByteTime;
                due = rxClock;
            }
            pending.push_back({static_cast<std::uint8_t>(data[i]), due});
        }
        if (hangUp)
            hangUpLine();
    }

    [[noreturn]] void hangUpLine() {
        note("hanging up after " + std::to_string(lineBytes) + " bytes");
        {
            std::lock_guard lock(m);
            hung = true;
        }
        changed.notify_all();
        closePty(pty);
        throw HangUp{};
    }

    bool roomForInput() const { return pending.size() < MaxPendingInput; }

    // Reads what the line holds, as far as there is room for it; false when nothing came.
    bool readInput() {
        char buf[4096];
        bool got = false;
        while (roomForInput()) {
            const std::size_t room = std::min(sizeof buf, MaxPendingInput - pending.size());
            const ssize_t n = ::read(pty.master, buf, room);
            if (n > 0) {
                take(buf, static_cast<std::size_t>(n));
                got = true;
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                return got; // EAGAIN, or EIO while no one holds the port
            }
        }
        return got;
    }

    // Waits on the wake pipe only; throws StopLine when stop() was called.
    void idle(std::chrono::nanoseconds duration) {
        pollfd fd{wake[0], POLLIN, 0};
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(duration).count();
        if (::poll(&fd, 1, static_cast<int>(ms)) > 0)
            throw StopLine{};
    }

    // Reads input as it arrives, while there is room for it, until `until` (forever when unset)
    // or, with returnOnInput, until some input came. Throws StopLine when stop() was called.
    void service(std::optional<Clock::time_point> until, bool returnOnInput) {
        for (;;) {
            timespec ts{};
            timespec* timeout = nullptr;
            if (until) {
                const auto left = std::max(Clock::duration::zero(), *until - Clock::now());
                const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
                ts.tv_sec = static_cast<time_t>(ns / 1000000000);
                ts.tv_nsec = static_cast<long>(ns % 1000000000);
                timeout = &ts;
            }
            pollfd fds[2] = {{wake[0], POLLIN, 0}, {pty.master, POLLIN, 0}};
            const nfds_t watched = roomForInput() ? 2 : 1; // a full queue leaves the line unread
            const int n = ::ppoll(fds, watched, timeout, nullptr);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 || fds[0].revents != 0)
                throw StopLine{};
            if (n == 0)
                return;
            if ((fds[1].revents & POLLIN) && readInput()) {
                if (returnOnInput)
                    return;
                continue;
            }
            // Hang-up or error without data (nobody holds the port): wait instead of spinning.
            Clock::duration pauseFor = HangUpPause;
            if (until)
                pauseFor =
                    std::min(pauseFor, std::max(Clock::duration::zero(), *until - Clock::now()));
            idle(pauseFor);
            if (until && Clock::now() >= *until)
                return;
        }
    }

    void waitUntil(Clock::time_point until) { service(until, false); }

    // Like waitUntil, but returns on time: sleeps until shortly before `until` and spins the
    // rest, so that the line's timing does not depend on how late the scheduler wakes us.
    void waitUntilExactly(Clock::time_point until) {
        if (until - Clock::now() > WakeMargin)
            waitUntil(until - WakeMargin);
        while (Clock::now() < until) {
        }
    }

    void run() {
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL); // pacing needs sub-millisecond sleeps
        if (pacing) {
            // A UART keeps its timing whatever else the machine does: where allowed, the line
            // thread goes before ordinary threads, so that a busy machine delays the program's
            // answers, not the device's. It never spins longer than WakeMargin.
            const sched_param realtime{1};
            ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &realtime);
        }
        note("Zuvex 910k on " + pty.slavePath + ", published as " + entry);
        SimDevice device(*this, SimTimings{std::chrono::milliseconds(options.restartMs),
                                           std::chrono::milliseconds(options.loadIdleMs),
                                           std::chrono::milliseconds(options.exchangeIdleMs)});
        try {
            for (;;) {
                if (pending.empty())
                    service(device.deadline(), true);
                const auto deadline = device.deadline();
                if (pending.empty()) {
                    if (deadline && Clock::now() >= *deadline) {
                        deviceNow = *deadline;
                        device.onDeadline();
                    }
                    continue;
                }
                const Pending next = pending.front();
                if (next.due > Clock::now())
                    waitUntil(next.due); // still on its way over the line
                if (deadline && *deadline <= next.due) {
                    deviceNow = *deadline;
                    device.onDeadline();
                    continue;
                }
                pending.pop_front();
                deviceNow = next.due;
                device.onByte(next.byte, next.due);
            }
        } catch (const StopLine&) {
            device.powerOff();
        } catch (const HangUp&) {
            device.powerOff();
            pollfd fd{wake[0], POLLIN, 0};
            while (::poll(&fd, 1, -1) < 0 && errno == EINTR) {
            }
        }
    }
};

ZuvexSim::ZuvexSim(SimOptions options) : d(std::make_unique<Impl>(std::move(options))) {}

ZuvexSim::~ZuvexSim() {
    stop();
}

void ZuvexSim::start() {
    if (d->thread.joinable())
        throw std::logic_error("zuvex-sim: already running");
    d->pty = openPty();
    if (::pipe2(d->wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        closePty(d->pty);
        throw std::runtime_error("zuvex-sim: pipe failed");
    }
    try {
        publishPortAt(d->entry, d->pty.slavePath);
    } catch (...) {
        closePty(d->pty);
        ::close(d->wake[0]);
        ::close(d->wake[1]);
        throw;
    }
    {
        std::lock_guard lock(d->m);
        d->slave = d->pty.slavePath;
        d->trafficLog.clear();
        d->receivedCount = d->sentCount = 0;
        d->modeValue = DeviceMode::Command;
        d->hung = false;
    }
    d->pending.clear();
    d->rxClock = d->txClock = d->deviceNow = Clock::time_point{};
    d->lineBytes = 0;
    d->started = Clock::now();
    d->thread = std::thread([this] { d->run(); });
}

void ZuvexSim::stop() {
    if (!d->thread.joinable())
        return;
    const char byte = 1;
    while (::write(d->wake[1], &byte, 1) < 0 && errno == EINTR) {
    }
    d->thread.join();
    ::close(d->wake[0]);
    ::close(d->wake[1]);
    d->wake[0] = d->wake[1] = -1;
    closePty(d->pty);
    std::string slave;
    {
        std::lock_guard lock(d->m);
        slave.swap(d->slave);
    }
    unpublishPort(d->entry, slave);
}

bool ZuvexSim::running() const {
    return d->thread.joinable();
}
int ZuvexSim::port() const {
    return d->options.port;
}
std::string ZuvexSim::portPath() const {
    return d->entry;
}

std::string ZuvexSim::slavePath() const {
    std::lock_guard lock(d->m);
    return d->slave;
}

ConfigImage ZuvexSim::image() const {
    std::lock_guard lock(d->m);
    return d->mem.image;
}

void ZuvexSim::setImage(const ConfigImage& image) {
    std::lock_guard lock(d->m);
    d->mem.image = image;
    d->persist();
}

std::string ZuvexSim::pin() const {
    std::lock_guard lock(d->m);
    return d->mem.pin;
}

void ZuvexSim::setPin(const std::string& pin) {
    if (!isPin(pin))
        throw std::invalid_argument("zuvex-sim: a PIN is four digits");
    std::lock_guard lock(d->m);
    d->mem.pin = pin;
    d->persist();
}

std::string ZuvexSim::firmwareVersion() const {
    std::lock_guard lock(d->m);
    return d->mem.version;
}

void ZuvexSim::setFirmwareVersion(const std::string& version) {
    if (version.find_first_of("\r\n") != std::string::npos)
        throw std::invalid_argument("zuvex-sim: the version text is one line");
    std::lock_guard lock(d->m);
    d->mem.version = version;
    d->persist();
}

std::vector<std::uint8_t> ZuvexSim::lastFirmware() const {
    std::lock_guard lock(d->m);
    return d->mem.lastFirmware;
}

DeviceMode ZuvexSim::mode() const {
    std::lock_guard lock(d->m);
    return d->modeValue;
}

bool ZuvexSim::hungUp() const {
    std::lock_guard lock(d->m);
    return d->hung;
}

std::vector<WireByte> ZuvexSim::traffic() const {
    std::lock_guard lock(d->m);
    return {d->trafficLog.begin(), d->trafficLog.end()};
}

std::string ZuvexSim::received() const {
    std::lock_guard lock(d->m);
    std::string bytes;
    for (const WireByte& b : d->trafficLog)
        if (b.received)
            bytes += static_cast<char>(b.byte);
    return bytes;
}

std::string ZuvexSim::sent() const {
    std::lock_guard lock(d->m);
    std::string bytes;
    for (const WireByte& b : d->trafficLog)
        if (!b.received)
            bytes += static_cast<char>(b.byte);
    return bytes;
}

void ZuvexSim::clearTraffic() {
    std::lock_guard lock(d->m);
    d->trafficLog.clear();
    d->receivedCount = d->sentCount = 0;
}

bool ZuvexSim::waitForReceived(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(d->m);
    return d->changed.wait_for(lock, timeout, [&] { return d->receivedCount >= count; });
}

bool ZuvexSim::waitForSent(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(d->m);
    return d->changed.wait_for(lock, timeout, [&] { return d->sentCount >= count; });
}

bool ZuvexSim::waitForMode(DeviceMode mode, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(d->m);
    return d->changed.wait_for(lock, timeout, [&] { return d->modeValue == mode; });
}

SimFaults ZuvexSim::faults() const {
    std::lock_guard lock(d->m);
    return d->faultsValue;
}

void ZuvexSim::setFaults(const SimFaults& faults) {
    std::lock_guard lock(d->m);
    d->faultsValue = faults;
}

#define ZUVEXSIM_SET_FAULT(statement)                                                              \
    do {                                                                                           \
        std::lock_guard lock(d->m);                                                                \
        SimFaults& f = d->faultsValue;                                                             \
        statement;                                                                                 \
    } while (false)

void ZuvexSim::setSilent(bool silent) {
    ZUVEXSIM_SET_FAULT(f.silent = silent);
}
void ZuvexSim::setIdentification(const std::string& text) {
    ZUVEXSIM_SET_FAULT(f.identification = text);
}
void ZuvexSim::setCorruptReadChecksum(bool corrupt) {
    ZUVEXSIM_SET_FAULT(f.corruptReadChecksum = corrupt);
}
void ZuvexSim::setWriteFault(const AckFault& fault) {
    ZUVEXSIM_SET_FAULT(f.writeFault = fault);
}
void ZuvexSim::setPinFault(const AckFault& fault) {
    ZUVEXSIM_SET_FAULT(f.pinFault = fault);
}
void ZuvexSim::setAckDelay(int ms) {
    ZUVEXSIM_SET_FAULT(f.ackDelayMs = ms);
}
void ZuvexSim::setChunking(int size, int pauseMs) {
    ZUVEXSIM_SET_FAULT(f.chunkSize = size; f.chunkPauseMs = pauseMs);
}
void ZuvexSim::setStrayBytes(const std::string& before, const std::string& after, unsigned on) {
    ZUVEXSIM_SET_FAULT(f.strayBefore = before; f.strayAfter = after; f.strayOn = on);
}
void ZuvexSim::setRecordRejection(int record, int times) {
    ZUVEXSIM_SET_FAULT(f.rejectRecord = record; f.rejectTimes = times);
}
void ZuvexSim::setSilentRecord(int record) {
    ZUVEXSIM_SET_FAULT(f.silentRecord = record);
}
void ZuvexSim::setNeverSendL(bool never) {
    ZUVEXSIM_SET_FAULT(f.neverSendL = never);
}
void ZuvexSim::setHangUpAfter(long receivedBytes) {
    ZUVEXSIM_SET_FAULT(f.hangUpAfter = receivedBytes);
}
void ZuvexSim::setPacing(bool pacing) {
    d->pacing = pacing;
}

void ZuvexSim::removePortEntry(int port, const std::string& portsDir) {
    const std::string entry = portEntryPath(portsDir.empty() ? comPortsDir() : portsDir, port);
    ::unlink(entry.c_str());
}

} // namespace zuvexsim
