// zuvex-sim: a Zuvex 910k telephone system on a pseudo-terminal, published as COM<n>.
#include "tools/SimState.h"
#include "tools/ZuvexSim.h"

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

using namespace zuvexsim;

namespace {

const char* const Usage = R"(Usage: zuvex-sim [OPTION]...
Plays a Zuvex 910k telephone system on a pseudo-terminal, published as the COM port
entry COM<n> in $XDG_CONFIG_HOME/zuvex910k/ports (default ~/.config/zuvex910k/ports).
Runs until SIGINT or SIGTERM, then removes the entry.

  --port N               publish as COM<N> (default 3)
  --ports-dir DIR        folder of the COM port entries
  --link PATH            publish as the entry PATH instead, e.g. a Wine prefix's
                         dosdevices/com3 (the port number still names the state file)
  --state FILE           state file (default $XDG_CONFIG_HOME/zuvex910k/sim-state-COM<N>)
  --reset                start from the factory state (PIN 0000, factory image)
  --firmware-version T   version line text (stored in the state)
  --log                  print every byte received (<-) and sent (->) with time stamps
  --pacing               deliver bytes no faster than 57600 baud (174 us per byte)
  --restart-ms MS        pause after a good write or firmware load (default 300)
  --load-idle-ms MS      loading mode ends after MS without records (default 1000)
  --exchange-idle-ms MS  an unfinished write or PIN change is dropped (default 2000)

Fault injection:
  --silent               never answer
  --ident TEXT           answer "T\r" with TEXT instead of "Zuvex 910k"
  --corrupt-checksum     send the read checksum plus one
  --write-fault F        one write acknowledgement misbehaves; F is KIND:STEP[:ARG],
                         KIND nak|silent|other|late, STEP -1 command, 0..59 byte, 60
                         checksum, ARG the byte (hex) for other or the delay (ms) for late
  --pin-fault F          the same for the PIN change; STEP 0 ENQ, 1 old PIN, 2 new PIN
  --ack-delay MS         delay every acknowledgement by MS
  --chunk SIZE:MS        send replies in pieces of SIZE bytes, MS apart
  --stray-before TEXT    send TEXT before each reply
  --stray-after TEXT     send TEXT after each reply
  --stray-on LIST        only for these replies: ident,version,image,write,pin,prompt,ready,record
  --reject-record N:M    reject firmware record N (0 = first) M times with NAK
  --silent-record N      never acknowledge firmware record N
  --never-send-l         leave "<" unanswered
  --hang-up-after N      close the line after N received bytes
  --help                 show this text

TEXT may contain the escapes \r \n \t \\ and \xNN.
)";

[[noreturn]] void usageError(const std::string& message) {
    std::fprintf(stderr, "zuvex-sim: %s\nTry 'zuvex-sim --help'.\n", message.c_str());
    std::exit(2);
}

int toInt(const std::string& text, const std::string& option) {
    try {
        std::size_t used = 0;
        const long value = std::stol(text, &used, 0);
        if (used == text.size())
            return static_cast<int>(value);
    } catch (const std::exception&) {
    }
    usageError("invalid number '" + text + "' for " + option);
}

std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'r') {
            out += '\r';
        } else if (c == 'n') {
            out += '\n';
        } else if (c == 't') {
            out += '\t';
        } else if (c == 'x' && i + 2 < text.size() &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<std::string> split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto pos = text.find(sep, start);
        parts.push_back(text.substr(start, pos - start));
        if (pos == std::string::npos)
            return parts;
        start = pos + 1;
    }
}

AckFault parseAckFault(const std::string& text, const std::string& option) {
    const auto parts = split(text, ':');
    if (parts.size() < 2 || parts.size() > 3)
        usageError("expected KIND:STEP[:ARG] for " + option);
    AckFault fault;
    fault.at = toInt(parts[1], option);
    const std::string arg = parts.size() == 3 ? parts[2] : "0";
    if (parts[0] == "nak") {
        fault.kind = AckFault::Kind::Nak;
    } else if (parts[0] == "silent") {
        fault.kind = AckFault::Kind::Silent;
    } else if (parts[0] == "other") {
        fault.kind = AckFault::Kind::Other;
        fault.other = static_cast<std::uint8_t>(std::stoi(arg, nullptr, 16));
    } else if (parts[0] == "late") {
        fault.kind = AckFault::Kind::Late;
        fault.lateMs = toInt(arg, option);
    } else {
        usageError("unknown fault kind '" + parts[0] + "' for " + option);
    }
    return fault;
}

unsigned parseReplyKinds(const std::string& text) {
    unsigned mask = 0;
    for (const std::string& name : split(text, ',')) {
        if (name == "ident")
            mask |= static_cast<unsigned>(ReplyKind::Identification);
        else if (name == "version")
            mask |= static_cast<unsigned>(ReplyKind::Version);
        else if (name == "image")
            mask |= static_cast<unsigned>(ReplyKind::Image);
        else if (name == "write")
            mask |= static_cast<unsigned>(ReplyKind::WriteAck);
        else if (name == "pin")
            mask |= static_cast<unsigned>(ReplyKind::PinAck);
        else if (name == "prompt")
            mask |= static_cast<unsigned>(ReplyKind::LoadPrompt);
        else if (name == "ready")
            mask |= static_cast<unsigned>(ReplyKind::LoadReady);
        else if (name == "record")
            mask |= static_cast<unsigned>(ReplyKind::RecordAck);
        else
            usageError("unknown reply kind '" + name + "' for --stray-on");
    }
    return mask;
}

} // namespace

int main(int argc, char** argv) {
    SimOptions options;
    bool reset = false;
    bool statePathGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                usageError(arg + " needs a value");
            return argv[++i];
        };
        SimFaults& f = options.faults;
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (arg == "--port") {
            options.port = toInt(value(), arg);
            if (options.port < 1 || options.port > 255)
                usageError("--port takes 1 to 255");
        } else if (arg == "--ports-dir") {
            options.portsDir = value();
        } else if (arg == "--link") {
            options.linkPath = value();
        } else if (arg == "--state") {
            options.statePath = value();
            statePathGiven = true;
        } else if (arg == "--reset") {
            reset = true;
        } else if (arg == "--firmware-version") {
            options.firmwareVersion = unescape(value());
        } else if (arg == "--log") {
            options.log = true;
        } else if (arg == "--pacing") {
            options.pacing = true;
        } else if (arg == "--restart-ms") {
            options.restartMs = toInt(value(), arg);
        } else if (arg == "--load-idle-ms") {
            options.loadIdleMs = toInt(value(), arg);
        } else if (arg == "--exchange-idle-ms") {
            options.exchangeIdleMs = toInt(value(), arg);
        } else if (arg == "--silent") {
            f.silent = true;
        } else if (arg == "--ident") {
            f.identification = unescape(value());
        } else if (arg == "--corrupt-checksum") {
            f.corruptReadChecksum = true;
        } else if (arg == "--write-fault") {
            f.writeFault = parseAckFault(value(), arg);
        } else if (arg == "--pin-fault") {
            f.pinFault = parseAckFault(value(), arg);
        } else if (arg == "--ack-delay") {
            f.ackDelayMs = toInt(value(), arg);
        } else if (arg == "--chunk") {
            const auto parts = split(value(), ':');
            if (parts.size() != 2)
                usageError("expected SIZE:MS for --chunk");
            f.chunkSize = toInt(parts[0], arg);
            f.chunkPauseMs = toInt(parts[1], arg);
        } else if (arg == "--stray-before") {
            f.strayBefore = unescape(value());
        } else if (arg == "--stray-after") {
            f.strayAfter = unescape(value());
        } else if (arg == "--stray-on") {
            f.strayOn = parseReplyKinds(value());
        } else if (arg == "--reject-record") {
            const auto parts = split(value(), ':');
            if (parts.size() != 2)
                usageError("expected N:M for --reject-record");
            f.rejectRecord = toInt(parts[0], arg);
            f.rejectTimes = toInt(parts[1], arg);
        } else if (arg == "--silent-record") {
            f.silentRecord = toInt(value(), arg);
        } else if (arg == "--never-send-l") {
            f.neverSendL = true;
        } else if (arg == "--hang-up-after") {
            f.hangUpAfter = toInt(value(), arg);
        } else {
            usageError("unknown option '" + arg + "'");
        }
    }
    if (!statePathGiven)
        options.statePath = defaultStatePath(options.port);
    if (reset)
        ::unlink(options.statePath.c_str());

    // The line thread inherits this mask, so only sigwait() below sees the signals.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        ZuvexSim sim(options);
        sim.start();
        std::printf("zuvex-sim: COM%d -> %s (%s), state %s\n", sim.port(), sim.slavePath().c_str(),
                    sim.portPath().c_str(), options.statePath.c_str());
        std::fflush(stdout);
        int signal = 0;
        sigwait(&stopSignals, &signal);
        sim.stop();
        std::printf("zuvex-sim: stopped (%s), COM%d removed\n", strsignal(signal), sim.port());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
