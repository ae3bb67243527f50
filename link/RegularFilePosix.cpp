#include "link/RegularFile.h"

#include "link/FileDescriptor.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TReadResult openFailure(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return TReadResult::Missing;
    case ELOOP:
    case ENXIO: // a FIFO or socket without a peer
        return TReadResult::NotRegular;
    default:
        return TReadResult::Unreadable;
    }
}

} // namespace

TReadResult ReadRegularFile(const QString& path,
                            const std::function<bool(const QByteArray& piece)>& take,
                            qsizetype pieceSize) {
    // O_NONBLOCK: opening a FIFO for reading must not wait for a writer.
    const TFileDescriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.fd < 0)
        return openFailure(errno);
    struct stat st {};
    if (::fstat(file.fd, &st) != 0)
        return TReadResult::Unreadable;
    if (!S_ISREG(st.st_mode))
        return TReadResult::NotRegular;
    QByteArray piece(pieceSize, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::read(file.fd, piece.data(), static_cast<size_t>(pieceSize));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return TReadResult::Unreadable;
        if (n == 0 || !take(QByteArray(piece.constData(), n)))
            return TReadResult::Read;
    }
}
