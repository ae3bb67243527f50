#include "app/SaveTemporary.h"

#include <QRandomGenerator>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char Prefix[] = ".zuvex-";
constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr int RandomLetters = 6;
constexpr int NameAttempts = 16;

// A short name, so that a target name of up to 255 characters still leaves room for it.
std::string randomName() {
    std::string name = Prefix;
    for (int i = 0; i < RandomLetters; ++i)
        name += Letters[QRandomGenerator::global()->bounded(int(sizeof Letters) - 1)];
    return name;
}

bool isTemporaryName(const std::string& name) {
    const std::string prefix = Prefix;
    return name.size() == prefix.size() + RandomLetters &&
           name.compare(0, prefix.size(), prefix) == 0 &&
           name.find_first_not_of(Letters, prefix.size()) == std::string::npos;
}

// A file of ours whose lock is free belongs to no running save.
bool isLeftOver(int dirFd, const char* name) {
    const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    const bool free =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

} // namespace

TSaveTemporary::TSaveTemporary(int dirFd, unsigned mode) : dirFd_(dirFd) {
    fd_ = ::openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    // file systems without nameless files: a new name of our own; O_EXCL never follows a link
    for (int attempt = 0; fd_ < 0 && attempt < NameAttempts; ++attempt) {
        const std::string name = randomName();
        fd_ = ::openat(dirFd, name.c_str(),
                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
        if (fd_ >= 0)
            name_ = name;
        else if (errno != EEXIST)
            break;
    }
    if (fd_ >= 0)
        ::flock(fd_, LOCK_EX); // marks it as in use for RemoveStaleTemporaries
}

TSaveTemporary::~TSaveTemporary() {
    if (fd_ < 0)
        return;
    if (!name_.empty())
        ::unlinkat(dirFd_, name_.c_str(), 0);
    ::close(fd_);
}

bool TSaveTemporary::giveName() {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        const std::string name = randomName();
        // linkat never replaces an existing name: a planted link is not followed
        if (::linkat(fd_, "", dirFd_, name.c_str(), AT_EMPTY_PATH) == 0 ||
            ::linkat(AT_FDCWD, self.c_str(), dirFd_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            name_ = name;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool TSaveTemporary::replace(const char* name) {
    if (fd_ < 0 || (name_.empty() && !giveName()))
        return false;
    if (::renameat(dirFd_, name_.c_str(), dirFd_, name) != 0)
        return false;
    name_.clear();
    return true;
}

void RemoveStaleTemporaries(int dirFd) {
    const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (isTemporaryName(entry->d_name) && isLeftOver(dirFd, entry->d_name))
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}
