#include "FileFaults.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <sys/mount.h>
#include <sys/stat.h>

SmallDisk::SmallDisk(const QString& folder, const char* options) : folder(folder) {
    isMounted = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options) == 0;
}

SmallDisk::~SmallDisk() {
    if (isMounted)
        ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
}

void SmallDisk::fillUp(const QString& name) const {
    QFile filler(folder + QLatin1Char('/') + name);
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    const QByteArray block(512, 'x');
    while (filler.write(block) == block.size()) {
    }
    while (filler.write("x", 1) == 1) {
    }
}

void SmallDisk::useUpFiles() const {
    for (int i = 0;; ++i) {
        QFile f(folder + QStringLiteral("/f%1").arg(i));
        if (!f.open(QIODevice::WriteOnly))
            return;
    }
}

bool makeNonRegular(const QString& kind, const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (kind == "fifo")
        return ::mkfifo(name, 0644) == 0;
    if (kind == "folder")
        return QDir().mkpath(path);
    if (kind == "link loop")
        return QFile::link(path, path);
    if (kind == "link to fifo")
        return ::mkfifo(name + ".fifo", 0644) == 0 && QFile::link(path + ".fifo", path);
    if (kind == "link to /dev/zero")
        return QFile::link(QStringLiteral("/dev/zero"), path);
    return false;
}
