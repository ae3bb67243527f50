#include "tools/SimPty.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace zuvexsim {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("zuvex-sim: " + what + ": " + std::strerror(errno));
}

std::string linkTarget(const std::string& entry) {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(entry.c_str(), buf, sizeof buf - 1);
    return n < 0 ? std::string() : std::string(buf, static_cast<std::size_t>(n));
}

} // namespace

void makeDirs(const std::string& dir) {
    for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos != dir.size() && dir[pos] != '/')
            continue;
        const std::string part = dir.substr(0, pos);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            fail("cannot create " + part);
    }
}

PtyPair openPty() {
    PtyPair pty;
    pty.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.master < 0)
        fail("posix_openpt");
    char name[128];
    if (::grantpt(pty.master) != 0 || ::unlockpt(pty.master) != 0 ||
        ::ptsname_r(pty.master, name, sizeof name) != 0) {
        const int err = errno;
        closePty(pty);
        errno = err;
        fail("pseudo-terminal setup");
    }
    pty.slavePath = name;
    ::fcntl(pty.master, F_SETFL, ::fcntl(pty.master, F_GETFL) | O_NONBLOCK);
    pty.slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    termios tio{};
    if (pty.slave < 0 || ::tcgetattr(pty.slave, &tio) != 0) {
        const int err = errno;
        closePty(pty);
        errno = err;
        fail("cannot open " + std::string(name));
    }
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B57600);
    ::tcsetattr(pty.slave, TCSANOW, &tio);
    return pty;
}

void closePty(PtyPair& pty) {
    if (pty.slave >= 0)
        ::close(pty.slave);
    if (pty.master >= 0)
        ::close(pty.master);
    pty.slave = pty.master = -1;
}

std::string portEntryPath(const std::string& dir, int port) {
    return dir + "/COM" + std::to_string(port);
}

std::string publishPort(const std::string& dir, int port, const std::string& target) {
    const std::string entry = portEntryPath(dir, port);
    publishPortAt(entry, target);
    return entry;
}

void publishPortAt(const std::string& entry, const std::string& target) {
    const std::size_t slash = entry.rfind('/');
    if (slash != std::string::npos && slash > 0)
        makeDirs(entry.substr(0, slash));
    static std::atomic<unsigned> serial{0};
    const std::string temp =
        entry + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0)
        fail("cannot create " + temp);
    if (::rename(temp.c_str(), entry.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        errno = err;
        fail("cannot publish " + entry);
    }
}

void unpublishPort(const std::string& entry, const std::string& target) {
    if (linkTarget(entry) == target)
        ::unlink(entry.c_str());
}

} // namespace zuvexsim
