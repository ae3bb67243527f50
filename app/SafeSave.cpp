#include "app/SafeSave.h"

#include "app/PathParts.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TSaveWriteCall writeCall = nullptr;

bool writeAll(int fd, const QByteArray& data) {
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = writeCall ? writeCall(fd, p, static_cast<size_t>(left))
                                    : ::write(fd, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

// Writes, flushes and closes; the descriptor is closed in every case.
bool writeAndClose(int fd, const QByteArray& data, bool truncate) {
    bool ok = writeAll(fd, data);
    if (ok && truncate)
        ok = ::ftruncate(fd, data.size()) == 0;
    ok = ok && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

// A short name, so that a target name of up to 255 characters still leaves room for it.
QString temporaryName(const QString& target) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString name = directoryPart(target) + QStringLiteral(".zuvex-");
    for (int i = 0; i < 6; ++i)
        name += QLatin1Char(letters[QRandomGenerator::global()->bounded(36)]);
    return name;
}

TSaveResult writeInPlace(const QString& target, const QByteArray& data) {
    const int fd =
        ::open(QFile::encodeName(target).constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return TSaveResult::CannotCreate;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return TSaveResult::NotRegular;
    }
    return writeAndClose(fd, data, true) ? TSaveResult::Saved : TSaveResult::WriteFailed;
}

} // namespace

void SetSaveWriteCall(TSaveWriteCall call) {
    writeCall = call;
}

TSaveResult SaveFileSafely(const QString& path, const QByteArray& data) {
    QString target = path;
    struct stat st {};
    bool exists = ::lstat(QFile::encodeName(path).constData(), &st) == 0;
    if (!exists && errno != ENOENT)
        return errno == ELOOP ? TSaveResult::NotRegular : TSaveResult::CannotCreate;
    if (exists && S_ISLNK(st.st_mode)) {
        // a link to a missing file or a link loop is not replaced either
        if (::stat(QFile::encodeName(path).constData(), &st) != 0)
            return TSaveResult::NotRegular;
        target = QFileInfo(path).canonicalFilePath();
    }
    if (exists && !S_ISREG(st.st_mode))
        return TSaveResult::NotRegular;

    QString temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = temporaryName(target);
        fd = ::open(QFile::encodeName(temporary).constData(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, exists ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        // a folder that takes no new file: the target may still be writable in place
        if (exists && ::access(QFile::encodeName(target).constData(), W_OK) == 0)
            return writeInPlace(target, data);
        return TSaveResult::CannotCreate;
    }
    if (exists) {
        // the replacement keeps the permissions and, where allowed, the owner of the old file
        ::fchmod(fd, st.st_mode & 07777);
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
        }
    }
    if (!writeAndClose(fd, data, false) || ::rename(QFile::encodeName(temporary).constData(),
                                                    QFile::encodeName(target).constData()) != 0) {
        ::unlink(QFile::encodeName(temporary).constData());
        return TSaveResult::WriteFailed;
    }
    return TSaveResult::Saved;
}
