#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Reading files that the user names. Only regular files are read: a FIFO would block the
// window until a writer appears, and a device such as /dev/zero never ends.
enum class TReadResult {
    Read,       // the whole file, or as much as the reader wanted
    Missing,    // the name does not exist
    NotRegular, // a folder, a FIFO, a device, a socket or a link loop
    Unreadable, // no permission, or a read error
};

// Reads `path` in pieces of at most `pieceSize` bytes and hands each to `take`, until the
// file ends or `take` returns false. The file is opened without waiting, so naming a FIFO
// returns NotRegular at once.
TReadResult ReadRegularFile(const QString& path,
                            const std::function<bool(const QByteArray& piece)>& take,
                            qsizetype pieceSize = 65536);

// The first `limit` bytes of a regular file (fewer when it is shorter); `more` tells whether
// the file holds further bytes.
TReadResult ReadRegularFileStart(const QString& path, qsizetype limit, QByteArray& bytes,
                                 bool* more = nullptr);
