#include "PtyPair.h"
#include "LineIo.h"

#include "serial/ConfigHome.h"
#include "tools/SimPty.h"

#include <stdexcept>
#include <unistd.h>

PtyPair::PtyPair() {
    try {
        zuvexsim::PtyPair pty = zuvexsim::openPty(); // raw slave, non-blocking master
        // Unlike the simulator the test holds no slave of its own: the port under test is
        // the only one, so closing it is seen on the master.
        ::close(pty.slave);
        master_ = pty.master;
        slavePath_ = pty.slavePath;
    } catch (const std::runtime_error&) {
    }
}

PtyPair::~PtyPair() {
    closeMaster();
}

void PtyPair::closeMaster() {
    closeLine(master_);
}

bool PtyPair::write(const QByteArray& bytes) {
    return writeAll(master_, std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

QByteArray PtyPair::read(int count, int waitMs) {
    return QByteArray::fromStdString(
        readUpTo(master_, std::size_t(count), std::chrono::milliseconds(waitMs)));
}

bool linkComPort(int number, const std::string& path) {
    try {
        zuvexsim::publishPort(comPortsDir(), number, path);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}
