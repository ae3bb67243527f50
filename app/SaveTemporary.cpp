#include "app/SaveTemporary.h"

#include "link/FileDescriptor.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char Mark[] = ".zuvex-";
constexpr std::size_t ChecksumDigits = 8;
constexpr std::size_t InodeDigits = 16; // a 64-bit inode number in hex
constexpr std::size_t RetryDigits = 3;  // "-" and the attempt, where a name was taken
constexpr int NameAttempts = 16;
constexpr char Letters[] = "ghijklmnopqrstuvwxyz"; // no hex digit: never taken for a mark
constexpr int RandomLetters = 6;

// ".a.zcf.zuvex-1f3a9c02-": the target's name, cut where the whole name would pass the
// file system's limit, and a checksum of the full name, so that a cut name still tells whose
// temporary it is.
std::string temporaryPrefix(const std::string& target) {
    constexpr std::size_t room =
        NAME_MAX - 1 - (sizeof Mark - 1) - ChecksumDigits - 1 - InodeDigits - RetryDigits;
    std::size_t cut = std::min(target.size(), room);
    while (cut > 0 && cut < target.size() && (target[cut] & 0xC0) == 0x80)
        --cut; // not inside a UTF-8 letter
    const QByteArray checksum =
        QCryptographicHash::hash(QByteArrayView(target.data(), qsizetype(target.size())),
                                 QCryptographicHash::Sha1)
            .toHex()
            .left(ChecksumDigits);
    return '.' + target.substr(0, cut) + Mark + checksum.toStdString() + '-';
}

std::string inodeDigits(ino_t inode) {
    std::array<char, InodeDigits> digits{};
    const auto end = std::to_chars(digits.begin(), digits.end(), inode, 16).ptr;
    return std::string(digits.begin(), end);
}

// The name that marks the file `inode` as ours; a later attempt adds its number.
std::string markedName(const std::string& prefix, ino_t inode, int attempt) {
    std::string name = prefix + inodeDigits(inode);
    return attempt == 0 ? name : name + '-' + std::to_string(attempt);
}

bool isMarkedName(const std::string& name, const std::string& prefix, ino_t inode) {
    if (name.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (int attempt = 0; attempt < NameAttempts; ++attempt)
        if (name == markedName(prefix, inode, attempt))
            return true;
    return false;
}

// A left-over of ours: named for its own inode, and no running save holds its lock. It is
// removed while locked, after checking that the name still is this file.
void removeIfLeftOver(int dirFd, const char* name, const std::string& prefix) {
    const TFileDescriptor file(
        ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !isMarkedName(name, prefix, st.st_ino) || ::flock(file.fd, LOCK_EX | LOCK_NB) != 0)
        return;
    struct stat named {};
    if (::fstatat(dirFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == st.st_dev &&
        named.st_ino == st.st_ino)
        ::unlinkat(dirFd, name, 0);
}

} // namespace

TSaveTemporary::TSaveTemporary(int dirFd, const std::string& target, unsigned mode)
    : dirFd_(dirFd), target_(target) {
    fd_ = ::openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd_ < 0 && !createNamed(mode))
        return;
    ::flock(fd_, LOCK_EX); // marks it as in use for RemoveStaleTemporaries
}

TSaveTemporary::~TSaveTemporary() {
    if (fd_ < 0)
        return;
    if (!name_.empty())
        ::unlinkat(dirFd_, name_.c_str(), 0);
    ::close(fd_);
}

// File systems without nameless files: a new name that no mark can match (O_EXCL never
// follows a link), then at once the marked one. A kill between the two leaves an empty file
// that no save removes.
bool TSaveTemporary::createNamed(unsigned mode) {
    const std::string prefix = temporaryPrefix(target_);
    for (int attempt = 0; fd_ < 0 && attempt < NameAttempts; ++attempt) {
        std::string name = prefix;
        for (int i = 0; i < RandomLetters; ++i)
            name += Letters[QRandomGenerator::global()->bounded(int(sizeof Letters) - 1)];
        fd_ = ::openat(dirFd_, name.c_str(),
                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
        if (fd_ >= 0)
            name_ = name;
        else if (errno != EEXIST) {
            error_ = errno;
            return false;
        }
    }
    if (fd_ < 0) {
        error_ = EEXIST; // every name tried was taken
        return false;
    }
    // the rename may never replace a file; where the file system cannot promise that, the
    // file keeps its unmarked name
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return true;
    const std::string marked = markedName(prefix, st.st_ino, 0);
    if (::renameat2(dirFd_, name_.c_str(), dirFd_, marked.c_str(), RENAME_NOREPLACE) == 0)
        name_ = marked;
    return true;
}

bool TSaveTemporary::giveName() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        error_ = errno;
        return false;
    }
    const std::string prefix = temporaryPrefix(target_);
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        const std::string name = markedName(prefix, st.st_ino, attempt);
        // linkat never replaces an existing name: a planted link is not followed
        if (::linkat(fd_, "", dirFd_, name.c_str(), AT_EMPTY_PATH) == 0 ||
            ::linkat(AT_FDCWD, self.c_str(), dirFd_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            name_ = name;
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    error_ = errno;
    return false;
}

bool TSaveTemporary::replace(int (*rename)(int, const char*, int, const char*)) {
    if (fd_ < 0 || (name_.empty() && !giveName()))
        return false;
    if (rename(dirFd_, name_.c_str(), dirFd_, target_.c_str()) != 0) {
        error_ = errno;
        return false;
    }
    name_.clear();
    return true;
}

void RemoveStaleTemporaries(int dirFd, const std::string& target) {
    const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return;
    }
    const std::string prefix = temporaryPrefix(target);
    while (const dirent* entry = ::readdir(dir))
        removeIfLeftOver(dirFd, entry->d_name, prefix);
    ::closedir(dir);
}
