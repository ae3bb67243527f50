// Parses random text whole and cut where the input says: the bytes must not depend on the cut,
// stay within the loader's limit, and split into records that lie within them.
#include "link/FirmwareFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const QByteArray text(reinterpret_cast<const char*>(data) + 2, qsizetype(size - 2));
    const qsizetype cut = qsizetype((data[0] << 8 | data[1]) % (text.size() + 1));
    const TParsedFirmware whole = ParseFirmwareText(text);
    TFirmwareTextParser parser;
    if (parser.Feed(text.left(cut)))
        parser.Feed(text.mid(cut));
    const TParsedFirmware pieces = parser.Finish();
    if (pieces.bytes != whole.bytes || pieces.tooLarge != whole.tooLarge ||
        whole.bytes.size() > MaxFirmwareBytes)
        std::abort();
    std::vector<TFirmwareRecord> records;
    SplitFirmwareRecords(whole.bytes, records);
    for (const TFirmwareRecord& r : records)
        if (r.offset + r.size > whole.bytes.size())
            std::abort();
    FirmwareRefusal(whole);
    return 0;
}
