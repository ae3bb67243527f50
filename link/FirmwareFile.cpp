#include "link/FirmwareFile.h"

#include <QFile>

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

const QString cannotStart = QStringLiteral("\nFirmware Update kann nicht gestartet werden.");

} // namespace

TParsedFirmware ParseFirmwareText(const QByteArray& text) {
    TParsedFirmware parsed;
    const char* p = text.constData();
    const char* const end = p + text.size();
    for (;;) {
        while (p < end && isBlank(*p))
            ++p;
        if (p == end)
            break;
        int value = hexValue(*p);
        if (value < 0)
            break; // cannot begin an item: the rest is ignored
        ++p;
        if (p < end && hexValue(*p) >= 0) {
            value = value * 16 + hexValue(*p);
            ++p;
        }
        if (parsed.bytes.size() == MaxFirmwareBytes) {
            parsed.tooLarge = true;
            break;
        }
        parsed.bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return parsed;
}

bool SplitFirmwareRecords(const std::vector<std::uint8_t>& bytes,
                          std::vector<TFirmwareRecord>& records, std::size_t* brokenAt) {
    records.clear();
    std::size_t p = 0;
    while (p < bytes.size()) {
        // both length bytes and the whole payload must lie within the parsed bytes
        if (bytes.size() - p < 2 ||
            bytes.size() - p - 2 < std::size_t(bytes[p]) * 256u + bytes[p + 1]) {
            if (brokenAt)
                *brokenAt = p;
            return false;
        }
        const std::size_t size = std::size_t(bytes[p]) * 256u + bytes[p + 1] + 2;
        records.push_back({p, size});
        p += size;
    }
    return true;
}

QString FirmwareRefusal(const TParsedFirmware& firmware) {
    if (firmware.tooLarge)
        return QStringLiteral("Die Firmwaredatei ist zu groß: Sie enthält mehr als %1 Bytes.")
                   .arg(MaxFirmwareBytes) +
               cannotStart;
    if (firmware.bytes.empty())
        return QStringLiteral("Die Firmwaredatei enthält keine Firmwaredaten.") + cannotStart;
    std::vector<TFirmwareRecord> records;
    if (!SplitFirmwareRecords(firmware.bytes, records))
        return QStringLiteral("Die Firmwaredatei ist unvollständig: Der %1. Datensatz reicht "
                              "über das Ende der Datei hinaus.")
                   .arg(records.size() + 1) +
               cannotStart;
    return QString();
}

QString CheckFirmwareFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Auf die Firmwaredatei kann nicht zugegriffen werden.") + cannotStart;
    return FirmwareRefusal(ParseFirmwareText(file.readAll()));
}
