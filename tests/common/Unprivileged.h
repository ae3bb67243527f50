#pragma once

#include <QString>
#include <QStringList>
#include <algorithm>
#include <grp.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// The unprivileged user and group of Debian that the tests act as, and root.
constexpr uid_t Root = 0;
constexpr uid_t Nobody = 65534;
constexpr gid_t NoGroup = 65534;

// A program and its arguments, as a test starts it.
struct TProgramCall {
    QString program;
    QStringList args;
};

// The same program started wholly as "nobody" by root through setpriv: a Qt program refuses to
// start when only its effective user differs from the real one.
inline TProgramCall asNobody(const TProgramCall& call) {
    const QStringList setpriv{QStringLiteral("--reuid=%1").arg(Nobody),
                              QStringLiteral("--regid=%1").arg(NoGroup),
                              QStringLiteral("--clear-groups"), QStringLiteral("--"), call.program};
    return {QStringLiteral("/usr/bin/setpriv"), setpriv + call.args};
}

// While it lives, root acts as "nobody" whose only group is `group`: root may write anything.
class ActingAsNobody {
public:
    explicit ActingAsNobody(gid_t group = NoGroup) {
        if (geteuid() != 0)
            return;
        groups_.resize(std::size_t(std::max(getgroups(0, nullptr), 0)));
        const bool groupsKnown = getgroups(int(groups_.size()), groups_.data()) >= 0;
        dropped_ =
            groupsKnown && setgroups(1, &group) == 0 && setegid(group) == 0 && seteuid(Nobody) == 0;
    }
    ~ActingAsNobody() {
        if (dropped_ &&
            (seteuid(0) != 0 || setegid(0) != 0 || setgroups(groups_.size(), groups_.data()) != 0))
            _exit(3); // the rest of the tests would run unprivileged
    }
    ActingAsNobody(const ActingAsNobody&) = delete;
    ActingAsNobody& operator=(const ActingAsNobody&) = delete;
    bool unprivileged() const { return dropped_ || geteuid() != 0; }

private:
    std::vector<gid_t> groups_;
    bool dropped_ = false;
};

// While it lives, this process acts as "nobody" and may not open `device`, which `group` owns;
// `home` is opened up so that the COM port entries can still be looked up.
class WithoutPermission {
public:
    WithoutPermission(const std::string& device, const QString& home, const char* group)
        : device_(device) {
        chmod(home.toLocal8Bit().constData(), 0755);
        if (const struct group* owner = getgrnam(group))
            chownOk_ = chown(device_.c_str(), uid_t(-1), owner->gr_gid) == 0;
        chmod(device_.c_str(), 0);
        user_.emplace();
    }
    ~WithoutPermission() {
        user_.reset();
        chmod(device_.c_str(), 0620);
    }
    WithoutPermission(const WithoutPermission&) = delete;
    WithoutPermission& operator=(const WithoutPermission&) = delete;
    bool active() const { return chownOk_ && user_->unprivileged(); }

private:
    std::string device_;
    bool chownOk_ = false;
    std::optional<ActingAsNobody> user_;
};
