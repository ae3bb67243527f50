#include "serial/PosixSerialDevice.h"

#include "serial/LowLatency.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/major.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

bool speedOf(int32_t baud, speed_t& speed) {
    switch (baud) {
    case 50:
        speed = B50;
        return true;
    case 75:
        speed = B75;
        return true;
    case 110:
        speed = B110;
        return true;
    case 134:
        speed = B134;
        return true;
    case 150:
        speed = B150;
        return true;
    case 200:
        speed = B200;
        return true;
    case 300:
        speed = B300;
        return true;
    case 600:
        speed = B600;
        return true;
    case 1200:
        speed = B1200;
        return true;
    case 1800:
        speed = B1800;
        return true;
    case 2400:
        speed = B2400;
        return true;
    case 4800:
        speed = B4800;
        return true;
    case 9600:
        speed = B9600;
        return true;
    case 19200:
        speed = B19200;
        return true;
    case 38400:
        speed = B38400;
        return true;
    case 57600:
        speed = B57600;
        return true;
    case 115200:
        speed = B115200;
        return true;
    case 230400:
        speed = B230400;
        return true;
    case 460800:
        speed = B460800;
        return true;
    case 921600:
        speed = B921600;
        return true;
    default:
        return false;
    }
}

// Modem-line and similar requests that a pseudo-terminal rejects are not failures.
bool ignorableIoctlError(int error) {
    return error == ENOTTY || error == EINVAL;
}

bool configureLine(int fd, const TLineSettings& line) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    speed_t speed{};
    if (!speedOf(line.baud, speed))
        return false;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);

    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CMSPAR);
    switch (line.dataBits) {
    case 5:
        tio.c_cflag |= CS5;
        break;
    case 6:
        tio.c_cflag |= CS6;
        break;
    case 7:
        tio.c_cflag |= CS7;
        break;
    case 8:
        tio.c_cflag |= CS8;
        break;
    default:
        return false;
    }
    switch (line.parity) {
    case pNone:
        break;
    case pOdd:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case pEven:
        tio.c_cflag |= PARENB;
        break;
    case pMark:
        tio.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case pSpace:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    }
    if (line.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    else if (line.stopBits != 1)
        return false;
    if (line.hwFlow & hwfRequireCTS)
        tio.c_cflag |= CRTSCTS;
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    if (line.swFlow == swfReceive || line.swFlow == swfBoth)
        tio.c_iflag |= IXOFF;
    if (line.swFlow == swfTransmit || line.swFlow == swfBoth)
        tio.c_iflag |= IXON;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool setModemLine(int fd, int bit, bool on) {
    if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0)
        return true;
    return ignorableIoctlError(errno);
}

// The program's own terminal (also reached as /dev/tty) is no serial port: reconfiguring it
// would leave the user's shell unusable. Only the controlling terminal (or a pseudo-terminal
// master) tells its session.
bool isControllingTerminal(int fd) {
    pid_t session = 0;
    return ioctl(fd, TIOCGSID, &session) == 0;
}

// The kernel keeps a pseudo-terminal's exclusive flag for as long as its other side is open,
// also after the process that set it was killed: every later opening would then be refused.
// On a real port the flag goes with the last close. The lock guards a pseudo-terminal alone.
bool isPseudoTerminal(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return false;
    const unsigned deviceMajor = major(st.st_rdev);
    return deviceMajor >= UNIX98_PTY_SLAVE_MAJOR &&
           deviceMajor < UNIX98_PTY_SLAVE_MAJOR + UNIX98_PTY_MAJOR_COUNT;
}

TOpenResult failAndClose(int fd, TOpenFailure failure, int error) {
    if (fd >= 0)
        close(fd);
    return {-1, failure, error};
}

} // namespace

TOpenResult OpenSerialDevice(const std::string& path, const TLineSettings& line) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return {-1, OpenFailureOf(error), error};
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        return failAndClose(fd, OpenFailureOf(error), error);
    }
    if (!isatty(fd) || isControllingTerminal(fd))
        return failAndClose(fd, TOpenFailure::Settings, ENOTTY);
    if (!isPseudoTerminal(fd) && ioctl(fd, TIOCEXCL) != 0 && !ignorableIoctlError(errno)) {
        const int error = errno;
        return failAndClose(fd, OpenFailureOf(error), error);
    }
    // The line settings the device had before, given back on closing.
    termios before{};
    if (tcgetattr(fd, &before) != 0) {
        const int error = errno;
        ioctl(fd, TIOCNXCL);
        return failAndClose(fd, TOpenFailure::Settings, error);
    }
    if (!configureLine(fd, line) || !setModemLine(fd, TIOCM_DTR, line.dtr) ||
        !setModemLine(fd, TIOCM_RTS, line.rts)) {
        const int error = errno;
        tcsetattr(fd, TCSANOW, &before);
        ioctl(fd, TIOCNXCL);
        return failAndClose(fd, TOpenFailure::Settings, error);
    }
    // The platform has no driver queue sizes to request; its own queues are large enough.
    // A freshly opened port starts without bytes received before the opening.
    tcflush(fd, TCIFLUSH);
    return {fd, TOpenFailure::None, 0, {before, RequestLowLatency(fd)}};
}

void CloseSerialDevice(int fd, const TDeviceRestore& restore) {
    if (fd < 0)
        return;
    tcflush(fd, TCIOFLUSH);
    RestoreSerialFlags(fd, restore.serialFlags);
    if (restore.line)
        tcsetattr(fd, TCSANOW, &*restore.line);
    ioctl(fd, TIOCNXCL);
    close(fd); // also releases the flock
}

TOpenOutcome ProbeSerialDevice(const std::string& path) {
    const TOpenResult opened = OpenSerialDevice(path, TLineSettings{});
    if (opened.fd < 0)
        return {opened.failure, opened.error};
    CloseSerialDevice(opened.fd, opened.restore);
    return {};
}
