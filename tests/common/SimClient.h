#pragma once

#include <chrono>
#include <string>
#include <string_view>

// The Configurator's end of the line, reduced to raw reads and writes on the published port.
class SimClient {
public:
    explicit SimClient(const std::string& path); // opens raw, drops stale input
    ~SimClient();
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    void close();
    void send(std::string_view bytes);
    // Reads until `count` bytes came or `timeout` passed; returns what came.
    std::string read(std::size_t count, std::chrono::milliseconds timeout);
    // Everything that comes within `window`.
    std::string readFor(std::chrono::milliseconds window);
    // True when the line reports a hang-up within `timeout`.
    bool waitHangUp(std::chrono::milliseconds timeout);

private:
    int fd_ = -1;
};

std::string bytes(std::initializer_list<unsigned> values);
