#include "cli/SaveTarget.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
// 0 when `name` may be used with `mode`, else why not.
int refusal(const QString& name, int mode) {
    const QByteArray encoded = QFile::encodeName(name);
    return faccessat(AT_FDCWD, encoded.constData(), mode, AT_EACCESS) == 0 ? 0 : errno;
}
} // namespace

int SaveTargetRefusal(const QString& path) {
    int error = QFileInfo(path).isDir() ? EISDIR : refusal(path, W_OK);
    if (error == ENOENT)
        error = refusal(QFileInfo(path).absolutePath(), W_OK | X_OK);
    return error;
}
