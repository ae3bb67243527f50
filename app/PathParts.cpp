#include "app/PathParts.h"

#include <QDir>

namespace {

// Qt's form uses '/' on every platform; a backslash is a separator only where it is native.
qsizetype lastSeparator(const QString& path) {
    return QDir::fromNativeSeparators(path).lastIndexOf(QLatin1Char('/'));
}

} // namespace

QString directoryPart(const QString& path) {
    return QDir::toNativeSeparators(path.left(lastSeparator(path) + 1));
}

QString fileNamePart(const QString& path) {
    return path.mid(lastSeparator(path) + 1);
}

QString withSeparator(const QString& folder) {
    const QString native = QDir::toNativeSeparators(folder);
    return native.endsWith(QDir::separator()) ? native : native + QDir::separator();
}

QString currentFolder() {
    return withSeparator(QDir::currentPath());
}
