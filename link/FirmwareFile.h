#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// A firmware file (*.zfw) is text of hexadecimal byte values: white space before an item is
// skipped, an item is one or two hex digits (upper or lower case) and gives one byte, and
// reading stops at the first character that cannot begin an item. The bytes form records:
// a 16-bit length L, high byte first, then L payload bytes; records follow without gaps.

// The device's loader takes no more than this.
constexpr std::size_t MaxFirmwareBytes = 262144;

struct TParsedFirmware {
    std::vector<std::uint8_t> bytes; // at most MaxFirmwareBytes
    bool tooLarge = false;           // the text holds more bytes than that
};

// Parses the text of a firmware file piece by piece, so that a huge file is never held
// in memory: it stops at the first character that cannot begin an item, or one byte beyond
// the limit.
class TFirmwareTextParser {
public:
    // Takes the next piece of text; false once parsing has stopped and no more text is needed.
    bool Feed(const QByteArray& piece);
    // The bytes so far, with an item left open at the end of the text.
    TParsedFirmware Finish();

private:
    void addByte(int value);
    TParsedFirmware parsed;
    int openDigit = -1; // a first hex digit whose item may continue in the next piece
    bool stopped = false;
};

// The whole text at once.
TParsedFirmware ParseFirmwareText(const QByteArray& text);

// Parses a firmware file; false when it is no regular file or cannot be read.
bool ReadFirmwareFile(const QString& path, TParsedFirmware& firmware);

// One record: where it starts in the parsed bytes and its whole size (L + 2).
struct TFirmwareRecord {
    std::size_t offset = 0;
    std::size_t size = 0;
};

// Cuts the bytes into records. False when the last record does not fit: only its second
// length byte or part of its payload is missing; `records` then holds the whole ones and
// `brokenAt` the offset of the broken one.
bool SplitFirmwareRecords(const std::vector<std::uint8_t>& bytes,
                          std::vector<TFirmwareRecord>& records, std::size_t* brokenAt = nullptr);

// Why a parsed file must not be sent (a German text for a warning box), or nothing when it
// divides into whole records and fits the loader.
std::optional<QString> FirmwareRefusal(const TParsedFirmware& firmware);

// Reads and checks a firmware file: the refusal text, or nothing when it can be sent.
std::optional<QString> CheckFirmwareFile(const QString& path);
