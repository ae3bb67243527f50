#pragma once

#include "link/LinkProtocol.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zuvexsim {

// The kinds of reply the device sends; used to aim stray bytes at some of them.
enum class ReplyKind : unsigned {
    Identification = 1u << 0, // "Zuvex 910k\r\n"
    Version = 1u << 1,        // version line
    Image = 1u << 2,          // 60 image bytes and the checksum
    WriteAck = 1u << 3,       // ACK/NAK of a write step
    PinAck = 1u << 4,         // ACK/NAK of a PIN step
    LoadPrompt = 1u << 5,     // ">" after "U\r"
    LoadReady = 1u << 6,      // "L" after "<"
    RecordAck = 1u << 7,      // 0x11 / NAK of a firmware record
};
constexpr unsigned AllReplies = 0xFFu;

constexpr std::uint8_t ACK = LinkProtocol::Ack;
constexpr std::uint8_t NAK = LinkProtocol::Nak;
constexpr std::uint8_t ENQ = LinkProtocol::Enq;
constexpr std::uint8_t RecordAccepted = LinkProtocol::RecordAcknowledged;

// What the device does instead of a plain ACK at one acknowledgement of an exchange.
struct AckFault {
    enum class Kind { None, Nak, Silent, Other, Late };
    Kind kind = Kind::None;
    // Which acknowledgement: for a write -1 is the "W0000,3c\r" command, 0..59 the image
    // bytes, 60 the checksum; for a PIN change 0 is ENQ, 1 the old PIN, 2 the new PIN.
    int at = 0;
    std::uint8_t other = 0x00; // sent instead of ACK for Kind::Other
    int lateMs = 0;            // extra delay before the ACK for Kind::Late
};
constexpr int WriteCommandStep = -1;
constexpr int WriteChecksumStep = 60;

// Fault injection; every field can be changed while the simulator runs.
struct SimFaults {
    bool silent = false;                       // never answer anything (input is still recorded)
    std::string identification = "Zuvex 910k"; // text of the "T\r" reply before CR LF
    bool corruptReadChecksum = false;          // read reply carries checksum + 1
    AckFault writeFault;                       // one acknowledgement of a write misbehaves
    AckFault pinFault;                         // one acknowledgement of a PIN change misbehaves
    int ackDelayMs = 0;                        // every ACK, PIN ACK and record ACK comes this late
    int chunkSize = 0;                         // > 0: replies go out in pieces of this many bytes
    int chunkPauseMs = 0;                      // pause between two pieces
    std::string strayBefore;                   // sent before each reply of a kind in strayOn
    std::string strayAfter;                    // sent after each reply of a kind in strayOn
    unsigned strayOn = AllReplies;             // ReplyKind bits
    int rejectRecord = -1;                     // firmware record index (0 = first) to reject ...
    int rejectTimes = 0;                       // ... this many times with NAK before accepting it
    int silentRecord = -1;                     // firmware record index never acknowledged
    bool neverSendL = false;                   // "<" is never answered with "L"
    long hangUpAfter = -1;                     // close the line after this many received bytes
};

struct SimOptions {
    int port = 3;          // published as COM<port>
    std::string portsDir;  // folder of the COMn entries; empty: comPortsDir()
    std::string linkPath;  // publish as this entry instead (a Wine prefix's dosdevices/com3)
    std::string statePath; // state file; empty: state lives in memory only
    bool pacing = false;   // deliver bytes no faster than 57600 baud, both ways
    bool log = false;      // print every byte received and sent
    std::function<void(const std::string&)> logSink; // gets each log line; empty: stderr
    int restartMs = 300;       // pause after a good write or a firmware load: silent, input ignored
    int loadIdleMs = 1000;     // loading mode ends after this long without record bytes
    int exchangeIdleMs = 2000; // an unfinished write or PIN change is dropped after this pause
    std::optional<std::string> firmwareVersion; // replaces the stored version line text
    SimFaults faults;
};

// Options for a port that is published but never answers (it still records what it gets).
inline SimOptions silentPortOptions(int port) {
    SimOptions options;
    options.port = port;
    options.faults.silent = true;
    return options;
}

} // namespace zuvexsim
