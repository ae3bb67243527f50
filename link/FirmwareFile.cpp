#include "link/FirmwareFile.h"

#include "link/RegularFile.h"

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

void TFirmwareTextParser::addByte(int value) {
    if (parsed.bytes.size() == MaxFirmwareBytes) {
        parsed.tooLarge = true;
        stopped = true;
        return;
    }
    parsed.bytes.push_back(static_cast<std::uint8_t>(value));
}

bool TFirmwareTextParser::Feed(const QByteArray& piece) {
    for (const char c : piece) {
        if (stopped)
            break;
        const int digit = hexValue(c);
        if (openDigit >= 0) {
            const int first = openDigit;
            openDigit = -1;
            if (digit >= 0) {
                addByte(first * 16 + digit); // at most two digits make one item
                continue;
            }
            addByte(first);
            if (stopped)
                break;
        }
        if (isBlank(c))
            continue;
        if (digit < 0)
            stopped = true; // cannot begin an item: the rest is ignored
        else
            openDigit = digit;
    }
    return !stopped;
}

TParsedFirmware TFirmwareTextParser::Finish() {
    if (openDigit >= 0 && !stopped)
        addByte(openDigit);
    openDigit = -1;
    stopped = true;
    return std::move(parsed);
}

TParsedFirmware ParseFirmwareText(const QByteArray& text) {
    TFirmwareTextParser parser;
    parser.Feed(text);
    return parser.Finish();
}

bool ReadFirmwareFile(const QString& path, TParsedFirmware& firmware) {
    TFirmwareTextParser parser;
    const TReadResult result =
        ReadRegularFile(path, [&](const QByteArray& piece) { return parser.Feed(piece); });
    firmware = parser.Finish();
    return result == TReadResult::Read;
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

std::optional<QString> FirmwareRefusal(const TParsedFirmware& firmware) {
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
    return std::nullopt;
}

std::optional<QString> CheckFirmwareFile(const QString& path) {
    TParsedFirmware firmware;
    if (!ReadFirmwareFile(path, firmware))
        return QStringLiteral("Auf die Firmwaredatei kann nicht zugegriffen werden.") + cannotStart;
    return FirmwareRefusal(firmware);
}
