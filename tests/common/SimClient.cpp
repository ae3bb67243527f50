#include "SimClient.h"
#include "LineIo.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

SimClient::SimClient(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return;
    termios tio{};
    ::tcgetattr(fd_, &tio);
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B57600);
    ::tcsetattr(fd_, TCSANOW, &tio);
    ::tcflush(fd_, TCIOFLUSH);
}

SimClient::~SimClient() {
    close();
}

void SimClient::close() {
    closeLine(fd_);
}

void SimClient::send(std::string_view data) {
    writeAll(fd_, data);
}

std::string SimClient::read(std::size_t count, std::chrono::milliseconds timeout) {
    return readUpTo(fd_, count, timeout);
}

std::string SimClient::ask(std::string_view request, std::size_t count,
                           std::chrono::milliseconds timeout) {
    send(request);
    return read(count, timeout);
}

std::string SimClient::identify() {
    return ask(IdentifyRequest, SimIdent.size());
}

bool SimClient::enterLoading() {
    return ask(LoadRequest, 1) == std::string(1, char(LinkProtocol::LoadPrompt)) &&
           ask(std::string(1, char(LinkProtocol::LoadConfirm)), 1) ==
               std::string(1, char(LinkProtocol::LoadReady));
}

std::string SimClient::readFor(std::chrono::milliseconds window) {
    return read(std::size_t(-1) / 2, window);
}

bool SimClient::waitHangUp(std::chrono::milliseconds timeout) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
        return false;
    if (p.revents & POLLHUP)
        return true;
    char c;
    const ssize_t n = ::read(fd_, &c, 1);
    return n == 0 || (n < 0 && errno == EIO);
}

std::string bytes(std::initializer_list<unsigned> values) {
    std::string s;
    for (unsigned v : values)
        s += static_cast<char>(v);
    return s;
}
