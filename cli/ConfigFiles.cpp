#include "cli/ConfigFiles.h"

#include "app/SafeSave.h"
#include "cli/Console.h"
#include "cli/SaveTarget.h"
#include "link/RegularFile.h"
#include "serial/SystemErrorText.h"

#include <algorithm>

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
    const int error = SaveTargetRefusal(path);
    if (error == 0)
        return true;
    PrintFileMessage(path, QStringLiteral("Die Datei kann nicht angelegt werden. ") +
                               FileErrorText(error));
    return false;
}
