#include "link/RegularFile.h"

TReadResult ReadRegularFileStart(const QString& path, qsizetype limit, QByteArray& bytes,
                                 bool* more) {
    bytes.clear();
    bool beyond = false;
    const TReadResult result = ReadRegularFile(path, [&](const QByteArray& piece) {
        const qsizetype room = limit - bytes.size();
        bytes += piece.left(room);
        beyond = piece.size() > room;
        return !beyond;
    });
    if (more)
        *more = beyond;
    return result;
}
