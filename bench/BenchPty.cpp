#include "BenchPty.h"

#include "serial/ConfigHome.h"

#include <cerrno>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

PtyPair::PtyPair() {
    try {
        pty_ = zuvexsim::openPty();
    } catch (const std::runtime_error&) {
        pty_ = {}; // ok() reports it
    }
}

PtyPair::~PtyPair() {
    zuvexsim::closePty(pty_);
}

bool PtyPair::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(pty_.master, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{pty_.master, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}

bool linkComPort(int number, const std::string& path) {
    try {
        zuvexsim::publishPort(comPortsDir(), number, path);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
