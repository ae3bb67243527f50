#include "PtyPair.h"

#include "serial/ConfigHome.h"
#include "tools/SimPty.h"

#include <stdexcept>
#include <unistd.h>

PtyPair::PtyPair() {
    try {
        zuvexsim::PtyPair pty = zuvexsim::openPty(); // raw slave, non-blocking master
        // unlike the simulator no slave of our own: the port's closing is seen on the master
        ::close(pty.slave);
        fd_ = pty.master;
        slavePath_ = pty.slavePath;
    } catch (const std::runtime_error&) {
    }
}

bool linkComPort(int number, const std::string& path) {
    try {
        zuvexsim::publishPort(comPortsDir(), number, path);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}
