#include "cli/ConfigFiles.h"

#include "app/SafeSave.h"
#include "cli/Console.h"
#include "cli/FileErrorText.h"
#include "link/RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

std::optional<ConfigImage> LoadConfigFile(const QString& path) {
    QByteArray bytes;
    bool more = false;
    if (ReadRegularFileStart(path, ConfigImageSize, bytes, &more) != TReadResult::Read) {
        PrintFileMessage(path, QStringLiteral("Die Datei konnte nicht geöffnet werden."));
        return std::nullopt;
    }
    // Anything but the 60 bytes (a report, a firmware file) would reach the system as settings.
    if (bytes.size() != ConfigImageSize || more) {
        PrintFileMessage(path, QStringLiteral("Die Datei ist keine Konfigurationsdatei!"));
        return std::nullopt;
    }
    ConfigImage image{};
    std::copy_n(bytes.constData(), ConfigImageSize, reinterpret_cast<char*>(image.data()));
    return image;
}

bool SaveConfigFile(const QString& path, const ConfigImage& image) {
    const QByteArray bytes(reinterpret_cast<const char*>(image.data()), ConfigImageSize);
    errno = 0;
    const TSaveResult result = SaveFileSafely(path, bytes);
    const int error = errno; // the call that failed last
    if (result == TSaveResult::Saved)
        return true;
    const QString cause = error != 0 ? QStringLiteral(" ") + FileErrorText(error) : QString();
    PrintFileMessage(path,
                     result == TSaveResult::WriteFailed
                         ? QStringLiteral("Die Datei konnte nicht geschrieben werden.") + cause
                         : QStringLiteral("Die Datei konnte nicht geöffnet oder angelegt "
                                          "werden.") +
                               cause);
    return false;
}

bool CheckSaveTarget(const QString& path) {
    const auto mayWrite = [](const QString& name, int mode) {
        return faccessat(AT_FDCWD, QFile::encodeName(name).constData(), mode, AT_EACCESS) == 0;
    };
    // An existing file that may be written, or a new one in a folder that takes it.
    int error = 0;
    if (QFileInfo(path).isDir())
        error = EISDIR;
    else if (!mayWrite(path, W_OK) &&
             (errno != ENOENT || !mayWrite(QFileInfo(path).absolutePath(), W_OK | X_OK)))
        error = errno;
    if (error == 0)
        return true;
    PrintFileMessage(path, QStringLiteral("Die Datei kann nicht angelegt werden. ") +
                               FileErrorText(error));
    return false;
}
