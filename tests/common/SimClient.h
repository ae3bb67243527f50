#pragma once

#include "link/LinkProtocol.h"

#include <chrono>
#include <string>
#include <string_view>

// How the telephone system identifies itself.
inline const std::string SimIdent = "Zuvex 910k\r\n";

// The requests of the protocol as they go over the line.
inline const std::string IdentifyRequest = LinkProtocol::IdentifyCommand.toStdString();
inline const std::string VersionRequest = LinkProtocol::VersionCommand.toStdString();
inline const std::string ReadRequest = LinkProtocol::ReadCommand.toStdString();
inline const std::string WriteRequest = LinkProtocol::WriteCommand.toStdString();
inline const std::string LoadRequest = LinkProtocol::LoadCommand.toStdString();
inline const std::string EnqRequest(1, char(LinkProtocol::Enq));

// A raw, non-blocking end of a line: the Configurator's on a port, or a test pty's device end.
class SimClient {
public:
    explicit SimClient(const std::string& path); // opens raw, drops stale input
    ~SimClient() { close(); }
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    void close();
    // Writes all of `bytes`, waiting while the line is full; false when the line failed.
    bool send(std::string_view bytes);
    // Reads until `count` bytes came, `timeout` passed or the line hung up; returns what came.
    std::string read(std::size_t count, std::chrono::milliseconds timeout);
    // Sends `request` and reads `count` reply bytes (fewer when they do not come within `timeout`).
    std::string ask(std::string_view request, std::size_t count,
                    std::chrono::milliseconds timeout = std::chrono::milliseconds(1000)) {
        send(request);
        return read(count, timeout);
    }
    // Asks for the identification and reads as much as SimIdent has.
    std::string identify() { return ask(IdentifyRequest, SimIdent.size()); }
    // Everything that comes within `window`.
    std::string readFor(std::chrono::milliseconds window) {
        return read(std::size_t(-1) / 2, window);
    }
    // True when the line reports a hang-up within `timeout`.
    bool waitHangUp(std::chrono::milliseconds timeout);

protected:
    SimClient() = default;
    int fd_ = -1;
};
