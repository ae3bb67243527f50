#include "FileFaults.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <cerrno>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>

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

namespace {

bool makeShape(FileShape shape, const QString& path, const QByteArray& bytes) {
    const QByteArray name = QFile::encodeName(path);
    switch (shape) {
    case FileShape::Regular: {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    case FileShape::Missing:
    case FileShape::DevZero:
        return true;
    case FileShape::Fifo:
        return ::mkfifo(name, 0644) == 0;
    case FileShape::Folder:
        return QDir().mkpath(path);
    case FileShape::LinkLoop:
        return QFile::link(path, path);
    case FileShape::LinkToFifo:
        return ::mkfifo(name + ".fifo", 0644) == 0 && QFile::link(path + ".fifo", path);
    case FileShape::LinkToDevZero:
        return QFile::link(QStringLiteral("/dev/zero"), path);
    }
    return false;
}

} // namespace

QString placeFile(FileShape shape, const QString& path, const QByteArray& bytes) {
    if (!makeShape(shape, path, bytes))
        return {};
    return shape == FileShape::DevZero ? QStringLiteral("/dev/zero") : path;
}

bool grantAccess(const QString& path, uint user, bool folderDefault) {
    QStringList arguments{QStringLiteral("-m"), QStringLiteral("u:%1:rw").arg(user), path};
    if (folderDefault)
        arguments.prepend(QStringLiteral("-d"));
    return QProcess::execute(QStringLiteral("setfacl"), arguments) == 0;
}

QMap<QByteArray, QByteArray> extendedAttributes(const QString& path) {
    const QByteArray file = QFile::encodeName(path);
    QByteArray names(int(std::max<ssize_t>(::listxattr(file, nullptr, 0), 0)), '\0');
    names.resize(int(std::max<ssize_t>(::listxattr(file, names.data(), names.size()), 0)));
    QMap<QByteArray, QByteArray> attributes;
    for (const QByteArray& name : names.split('\0')) {
        if (name.isEmpty())
            continue;
        QByteArray value(int(std::max<ssize_t>(::getxattr(file, name, nullptr, 0), 0)), '\0');
        value.resize(int(std::max<ssize_t>(::getxattr(file, name, value.data(), value.size()), 0)));
        attributes.insert(name, value);
    }
    return attributes;
}
