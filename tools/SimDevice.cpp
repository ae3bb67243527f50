#include "tools/SimDevice.h"

#include "tools/SimLog.h"

namespace zuvexsim {

namespace {

constexpr std::size_t MaxCommandLength = 32;     // longer lines are garbage
constexpr std::size_t MaxFirmwareSize = 1 << 20; // the device's flash is full beyond this

bool isAck(ReplyKind kind) {
    return kind == ReplyKind::WriteAck || kind == ReplyKind::PinAck || kind == ReplyKind::RecordAck;
}

bool isDigits(const std::string& text) {
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

SimDevice::SimDevice(SimHost& host, SimTimings timings) : host_(host), timings_(timings) {}

std::optional<Clock::time_point> SimDevice::deadline() const {
    switch (mode_) {
    case DeviceMode::Command:
        return std::nullopt;
    case DeviceMode::Restarting:
        return restartEnd_;
    case DeviceMode::Loading:
        return lastActivity_ + timings_.loadIdle;
    case DeviceMode::Writing:
    case DeviceMode::PinChange:
        return lastActivity_ + timings_.exchangeIdle;
    }
    return std::nullopt;
}

void SimDevice::onDeadline() {
    switch (mode_) {
    case DeviceMode::Command:
        break;
    case DeviceMode::Restarting:
        host_.note("restart over, ready");
        enter(DeviceMode::Command);
        break;
    case DeviceMode::Writing:
        host_.note("write abandoned after " + std::to_string(writeCount_) + " bytes, image kept");
        enter(DeviceMode::Command);
        break;
    case DeviceMode::PinChange:
        host_.note("PIN change abandoned, PIN kept");
        enter(DeviceMode::Command);
        break;
    case DeviceMode::Loading:
        endLoading();
        break;
    }
}

void SimDevice::powerOff() {
    if (mode_ == DeviceMode::Loading)
        keepLoadedFirmware();
}

void SimDevice::onByte(std::uint8_t byte, Clock::time_point at) {
    if (mode_ == DeviceMode::Restarting) {
        if (at < restartEnd_)
            return; // restarting: input is lost
        enter(DeviceMode::Command);
    }
    if (host_.faults().silent)
        return;
    lastActivity_ = at;
    switch (mode_) {
    case DeviceMode::Command:
        commandByte(byte);
        break;
    case DeviceMode::Writing:
        writeByte(byte);
        break;
    case DeviceMode::PinChange:
        pinByte(byte);
        break;
    case DeviceMode::Loading:
        loadByte(byte);
        break;
    case DeviceMode::Restarting:
        break;
    }
    // Idle limits count from the device's own last reply as well.
    if (lastActivity_ < Clock::now())
        lastActivity_ = Clock::now();
}

void SimDevice::commandByte(std::uint8_t byte) {
    const SimFaults faults = host_.faults();
    if (awaitingLoadConfirm_) {
        awaitingLoadConfirm_ = false;
        if (byte == '<') {
            if (faults.neverSendL) {
                host_.note("\"<\" left unanswered");
                return;
            }
            enter(DeviceMode::Loading);
            host_.note("firmware loading mode");
            reply(ReplyKind::LoadReady, "L", faults);
            return;
        }
    }
    if (byte == ENQ && line_.empty()) {
        acknowledge(faults.pinFault, 0, ReplyKind::PinAck, faults, [this] {
            enter(DeviceMode::PinChange);
            pinStep_ = 1;
        });
        return;
    }
    if (byte == '\r') {
        const std::string line = line_;
        line_.clear();
        commandLine(line);
        return;
    }
    if (line_.empty() && (byte == '\n' || byte == 0))
        return; // a LF after the CR of the last command, or line noise
    if (line_.size() >= MaxCommandLength)
        line_.clear();
    line_ += static_cast<char>(byte);
}

void SimDevice::commandLine(const std::string& line) {
    const SimFaults faults = host_.faults();
    if (line == "T") {
        reply(ReplyKind::Identification, faults.identification + "\r\n", faults);
    } else if (line == "V") {
        reply(ReplyKind::Version, host_.memory().version + "\r\n", faults);
    } else if (line == "R0000,3c") {
        const ConfigImage image = host_.memory().image;
        std::string block(image.begin(), image.end());
        std::uint8_t sum = imageChecksum(image);
        if (faults.corruptReadChecksum)
            ++sum;
        block += static_cast<char>(sum);
        reply(ReplyKind::Image, block, faults);
    } else if (line == "W0000,3c") {
        acknowledge(faults.writeFault, WriteCommandStep, ReplyKind::WriteAck, faults,
                    [this] { enter(DeviceMode::Writing); });
    } else if (line == "U") {
        awaitingLoadConfirm_ = true;
        reply(ReplyKind::LoadPrompt, ">", faults);
    } else {
        host_.note("unknown command " + quoted(line + "\r") + " ignored");
    }
}

void SimDevice::writeByte(std::uint8_t byte) {
    const SimFaults faults = host_.faults();
    if (writeCount_ < ConfigImageSize) {
        const int step = writeCount_;
        incoming_[writeCount_++] = byte;
        acknowledge(faults.writeFault, step, ReplyKind::WriteAck, faults);
        return;
    }
    if (byte != imageChecksum(incoming_)) {
        refuse(ReplyKind::WriteAck, NAK, "write checksum wrong, image kept", faults);
        return;
    }
    const bool stored =
        acknowledge(faults.writeFault, WriteChecksumStep, ReplyKind::WriteAck, faults, [this] {
            DeviceMemory memory = host_.memory();
            memory.image = incoming_;
            host_.store(memory);
            host_.note("image stored, restarting");
            restart();
        });
    if (stored)
        restartEnd_ = Clock::now() + timings_.restart; // the restart begins after the ACK
}

void SimDevice::pinByte(std::uint8_t byte) {
    const SimFaults faults = host_.faults();
    pinBytes_ += static_cast<char>(byte);
    if (pinStep_ == 1 && pinBytes_.size() == 4) {
        if (pinBytes_ != host_.memory().pin) {
            refuse(ReplyKind::PinAck, NAK, "old PIN wrong", faults);
        } else {
            acknowledge(faults.pinFault, 1, ReplyKind::PinAck, faults, [this] {
                pinStep_ = 2;
                pinBytes_.clear();
            });
        }
    } else if (pinStep_ == 2 && pinBytes_.size() == 5) {
        const std::string digits = pinBytes_.substr(1);
        if (pinBytes_[0] != '5' || !isDigits(digits)) {
            refuse(ReplyKind::PinAck, NAK, "new PIN malformed, PIN kept", faults);
        } else {
            acknowledge(faults.pinFault, 2, ReplyKind::PinAck, faults, [&] {
                DeviceMemory memory = host_.memory();
                memory.pin = digits;
                host_.store(memory);
                host_.note("PIN changed");
                enter(DeviceMode::Command);
            });
        }
    }
}

void SimDevice::loadByte(std::uint8_t byte) {
    record_ += static_cast<char>(byte);
    if (record_.size() < 2)
        return;
    const std::size_t length =
        static_cast<std::uint8_t>(record_[0]) * 256u + static_cast<std::uint8_t>(record_[1]);
    if (record_.size() == length + 2)
        recordComplete();
}

void SimDevice::recordComplete() {
    const SimFaults faults = host_.faults();
    const std::string record = record_;
    record_.clear();
    const std::string index = std::to_string(recordIndex_);
    if (recordIndex_ == faults.silentRecord) {
        host_.note("record " + index + " left unacknowledged");
        return;
    }
    if (recordIndex_ == faults.rejectRecord && rejections_ < faults.rejectTimes) {
        ++rejections_;
        reply(ReplyKind::RecordAck, std::string(1, static_cast<char>(NAK)), faults);
        host_.note("record " + index + " rejected (" + std::to_string(rejections_) + ")");
        return;
    }
    if (loaded_.size() + record.size() > MaxFirmwareSize) {
        overflowed_ = true;
        reply(ReplyKind::RecordAck, std::string(1, static_cast<char>(NAK)), faults);
        host_.note("record " + index + " rejected: firmware memory full");
        return;
    }
    loaded_.insert(loaded_.end(), record.begin(), record.end());
    ++recordIndex_;
    rejections_ = 0;
    reply(ReplyKind::RecordAck, std::string(1, static_cast<char>(RecordAccepted)), faults);
}

void SimDevice::endLoading() {
    if (!record_.empty())
        host_.note("incomplete record of " + std::to_string(record_.size()) + " bytes dropped");
    keepLoadedFirmware();
    host_.note("loading mode over: " + std::to_string(recordIndex_) + " records, " +
               std::to_string(loaded_.size()) + " bytes; restarting");
    restart();
}

void SimDevice::keepLoadedFirmware() {
    if (recordIndex_ == 0)
        return;
    // Line noise after a chance "U\r<" fills the flash or stops inside a record; such a load
    // is no firmware, and the memory keeps the last one.
    if (overflowed_ || !record_.empty()) {
        host_.note("firmware load broken off, last firmware kept");
        return;
    }
    DeviceMemory memory = host_.memory();
    memory.lastFirmware = loaded_;
    host_.store(memory);
}

bool SimDevice::acknowledge(const AckFault& fault, int step, ReplyKind kind,
                            const SimFaults& faults, const std::function<void()>& commit) {
    if (fault.kind != AckFault::Kind::None && fault.at == step) {
        const std::string where = "step " + std::to_string(step);
        switch (fault.kind) {
        case AckFault::Kind::Nak:
            refuse(kind, NAK, "NAK injected at " + where, faults);
            return false;
        case AckFault::Kind::Silent:
            enter(DeviceMode::Command);
            host_.note("acknowledgement withheld at " + where);
            return false;
        case AckFault::Kind::Other:
            refuse(kind, fault.other, "wrong acknowledgement injected at " + where, faults);
            return false;
        case AckFault::Kind::Late:
            host_.pause(std::chrono::milliseconds(fault.lateMs));
            break;
        case AckFault::Kind::None:
            break;
        }
    }
    if (commit)
        commit();
    reply(kind, std::string(1, static_cast<char>(ACK)), faults);
    return true;
}

void SimDevice::refuse(ReplyKind kind, std::uint8_t byte, const std::string& why,
                       const SimFaults& faults) {
    enter(DeviceMode::Command);
    host_.note(why);
    reply(kind, std::string(1, static_cast<char>(byte)), faults);
}

void SimDevice::reply(ReplyKind kind, const std::string& bytes, const SimFaults& faults) {
    if (isAck(kind) && faults.ackDelayMs > 0)
        host_.pause(std::chrono::milliseconds(faults.ackDelayMs));
    const bool stray = (faults.strayOn & static_cast<unsigned>(kind)) != 0;
    const std::string out = stray ? faults.strayBefore + bytes + faults.strayAfter : bytes;
    if (faults.chunkSize <= 0) {
        host_.send(out);
        return;
    }
    const std::size_t size = static_cast<std::size_t>(faults.chunkSize);
    for (std::size_t pos = 0; pos < out.size(); pos += size) {
        if (pos > 0)
            host_.pause(std::chrono::milliseconds(faults.chunkPauseMs));
        host_.send(out.substr(pos, size));
    }
}

void SimDevice::enter(DeviceMode mode) {
    mode_ = mode;
    lastActivity_ = Clock::now();
    writeCount_ = 0;
    pinBytes_.clear();
    pinStep_ = 0;
    if (mode == DeviceMode::Loading) {
        record_.clear();
        recordIndex_ = 0;
        rejections_ = 0;
        overflowed_ = false;
        loaded_.clear();
    }
    host_.modeChanged(mode);
}

void SimDevice::restart() {
    restartEnd_ = Clock::now() + timings_.restart;
    line_.clear();
    awaitingLoadConfirm_ = false;
    enter(DeviceMode::Restarting);
}

} // namespace zuvexsim
