#include "cli/ConfigFiles.h"

#include "app/SafeSave.h"
#include "cli/Console.h"
#include "link/RegularFile.h"
#include "serial/SystemErrorText.h"

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
    int error = 0;
    const TSaveResult result = SaveFileSafely(path, bytes, &error);
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
    // 0 when `name` may be used with `mode`, else why not.
    const auto refusal = [](const QString& name, int mode) {
        const QByteArray encoded = QFile::encodeName(name);
        return faccessat(AT_FDCWD, encoded.constData(), mode, AT_EACCESS) == 0 ? 0 : errno;
    };
    // An existing file that may be written, or a new one in a folder that takes it.
    int error = QFileInfo(path).isDir() ? EISDIR : refusal(path, W_OK);
    if (error == ENOENT)
        error = refusal(QFileInfo(path).absolutePath(), W_OK | X_OK);
    if (error == 0)
        return true;
    PrintFileMessage(path, QStringLiteral("Die Datei kann nicht angelegt werden. ") +
                               FileErrorText(error));
    return false;
}
