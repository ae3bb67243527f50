#include "app/SaveCalls.h"

#include "app/FileAttributes.h"
#include "app/SaveTemporary.h"
#include "link/FileDescriptor.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TSaveWriteCall writeCall = nullptr;
TSaveRenameCall renameCall = nullptr;

// One write that carries the whole content in place can leave no mixture of old and new bytes
// only where it overwrites exactly as many bytes, within one page.
constexpr qsizetype InPlaceLimit = 4096;

ssize_t writeOnce(int fd, const char* data, size_t size) {
    return writeCall ? writeCall(fd, data, size) : ::write(fd, data, size);
}

// False when a write or the flush failed; `error` is then its errno (0: a write took nothing).
bool writeAll(int fd, const QByteArray& data, int& error) {
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = writeOnce(fd, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            return false;
        }
        p += n;
        left -= n;
    }
    if (::fsync(fd) == 0)
        return true;
    error = errno;
    return false;
}

// The existing target opened for writing: the writes go to this very file, every name of it
// sees them, and its owner, group and mode stay. `error` holds why no new file could stand in,
// and is kept when the file cannot be written whole either.
TSaveResult writeInPlace(int fd, const struct stat& st, const QByteArray& data, int& error) {
    if (st.st_size != data.size() || data.size() > InPlaceLimit)
        return TSaveResult::CannotCreate; // a failure half-way could cut or mix the file
    const ssize_t n = writeOnce(fd, data.constData(), static_cast<size_t>(data.size()));
    if (n != data.size()) {
        error = n < 0 ? errno : 0;
        return TSaveResult::WriteFailed;
    }
    if (::fsync(fd) == 0)
        return TSaveResult::Saved;
    error = errno;
    return TSaveResult::WriteFailed;
}

// A symbolic link to a regular file stays a link: its target is replaced.
std::optional<QString> resolvedTarget(const QString& path, TSaveResult& refusal, int& error) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        if (errno == ENOENT)
            return path; // a new file
        error = errno;
        refusal = error == ELOOP ? TSaveResult::NotRegular : TSaveResult::CannotCreate;
        return std::nullopt;
    }
    if (!S_ISLNK(st.st_mode))
        return path;
    refusal = TSaveResult::NotRegular; // a link to a missing file or a link loop
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        error = errno;
        return std::nullopt;
    }
    return QFileInfo(path).canonicalFilePath();
}

// SaveFileSafely; `error` gets the errno of the step that failed.
TSaveResult replaceContent(const QString& path, const QByteArray& data, int& error) {
    const auto failed = [&error](TSaveResult result, int why) {
        error = why;
        return result;
    };
    TSaveResult refusal = TSaveResult::CannotCreate;
    const std::optional<QString> target = resolvedTarget(path, refusal, error);
    if (!target)
        return refusal;
    // Everything happens relative to the folder, so a path near the kernel's limit still works.
    const qsizetype slash = target->lastIndexOf(QLatin1Char('/'));
    const QByteArray folder = QFile::encodeName(slash < 0    ? QStringLiteral(".")
                                                : slash == 0 ? QStringLiteral("/")
                                                             : target->left(slash));
    const QByteArray name = QFile::encodeName(target->mid(slash + 1));
    if (name.isEmpty())
        return failed(TSaveResult::CannotCreate, EISDIR);
    const TFileDescriptor dir(::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd < 0)
        return failed(TSaveResult::CannotCreate, errno);

    struct stat st {};
    const bool exists = ::fstatat(dir.fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT)
        return failed(TSaveResult::CannotCreate, errno);
    if (exists && !S_ISREG(st.st_mode))
        return failed(TSaveResult::NotRegular, S_ISDIR(st.st_mode) ? EISDIR : 0);
    // A file that may not be written (write-protected, another user's) is left alone.
    const TFileDescriptor live(
        exists ? ::openat(dir.fd, name.constData(),
                          O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)
               : -1);
    if (exists && live.fd < 0)
        return failed(TSaveResult::CannotCreate, errno);
    if (exists && ::fstat(live.fd, &st) != 0)
        return failed(TSaveResult::CannotCreate, errno);
    if (exists && !S_ISREG(st.st_mode))
        return failed(TSaveResult::CannotCreate, 0); // replaced by another kind meanwhile

    RemoveStaleTemporaries(dir.fd, name.toStdString());
    TSaveTemporary temporary(dir.fd, name.toStdString(), exists ? st.st_mode & 07777 : 0666);
    // A new file beside it cannot keep a second name (hard link), another owner or group, or
    // an access list or attribute that its user may not set.
    const bool replaceable =
        temporary.valid() &&
        (!exists || (st.st_nlink == 1 && TakeOverFileAttributes(live.fd, temporary.fd(), st)));
    if (!replaceable) {
        error = temporary.error(); // 0 where the new file was made but cannot stand in
        return exists ? writeInPlace(live.fd, st, data, error) : TSaveResult::CannotCreate;
    }
    if (!writeAll(temporary.fd(), data, error))
        return TSaveResult::WriteFailed;
    if (!temporary.replace(renameCall ? renameCall : ::renameat))
        return failed(TSaveResult::WriteFailed, temporary.error());
    const TFileDescriptor sync(::openat(dir.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (sync.fd >= 0)
        ::fsync(sync.fd); // the new name reaches the disk too
    return TSaveResult::Saved;
}

} // namespace

void SetSaveWriteCall(TSaveWriteCall call) {
    writeCall = call;
}

void SetSaveRenameCall(TSaveRenameCall call) {
    renameCall = call;
}

TSaveResult SaveFileSafely(const QString& path, const QByteArray& data, int* cause) {
    int error = 0;
    const TSaveResult result = replaceContent(path, data, error);
    if (cause)
        *cause = result == TSaveResult::Saved ? 0 : error;
    return result;
}
