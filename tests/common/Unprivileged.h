#pragma once

#include <QString>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// While it lives, this process may not open `device`: the device loses its permission bits
// and a test running as root (which ignores them) acts as the user "nobody". The temporary
// settings home `home` is opened up so that this user can still look up the COM port entries.
// The device is given to `group`, the group whose members may open it.
class WithoutPermission {
public:
    WithoutPermission(const std::string& device, const QString& home, const char* group)
        : device_(device) {
        chmod(home.toLocal8Bit().constData(), 0755);
        if (const struct group* owner = getgrnam(group))
            chownOk_ = chown(device_.c_str(), uid_t(-1), owner->gr_gid) == 0;
        chmod(device_.c_str(), 0);
        if (geteuid() == 0)
            dropped_ = seteuid(Nobody) == 0;
    }
    ~WithoutPermission() {
        if (dropped_ && seteuid(0) != 0)
            _exit(3); // the rest of the tests would run unprivileged
        chmod(device_.c_str(), 0620);
    }
    WithoutPermission(const WithoutPermission&) = delete;
    WithoutPermission& operator=(const WithoutPermission&) = delete;
    bool active() const { return chownOk_ && (dropped_ || geteuid() != 0); }

private:
    static constexpr uid_t Nobody = 65534;
    std::string device_;
    bool dropped_ = false;
    bool chownOk_ = false;
};
