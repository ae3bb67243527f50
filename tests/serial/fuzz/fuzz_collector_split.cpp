// The packets must not depend on how the bytes are split: one read, random cuts, byte by byte.
#include "PacketRecorder.h"

#include <cstdlib>
#include <vector>

namespace {

constexpr std::size_t SettingsBytes = 6; // the rest of the input is what arrives
constexpr int LargestPacket = 70;
constexpr int MostRearms = 64;

struct Config {
    bool line = false;
    QByteArray endString;
    int size = 1;
    Case letterCase = Case::Ignored;
    EndString endStringKept = EndString::Included;
    int rearms = 0; // how many times the handler re-arms
};

// The packets reported when `bytes` arrive in reads that end at `cuts`.
QList<QByteArray> collect(const Config& config, const QByteArray& bytes,
                          const std::vector<qsizetype>& cuts) {
    CollectorRig rig;
    int sizeStep = 0; // each arming for a size asks for another one
    auto arm = [&] {
        if (config.line)
            rig.armForEndString(config.endString, config.letterCase, config.endStringKept);
        else
            rig.armForBlock(1 + (config.size + sizeStep++) % LargestPacket, NoTimeOut);
    };
    rig.onEvent = [&] {
        if (rig.packets.size() <= config.rearms)
            arm();
    };
    arm();
    qsizetype from = 0;
    for (qsizetype cut : cuts) {
        rig.bytesArrive(bytes.mid(from, cut - from));
        from = cut;
    }
    rig.bytesArrive(bytes.mid(from));
    return rig.packets;
}

} // namespace

// The recorder notes the thread of each event against the application's.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < SettingsBytes)
        return 0;
    Config config;
    config.line = data[0] & 1;
    config.letterCase = data[0] & 2 ? Case::Ignored : Case::Kept;
    config.endStringKept = data[0] & 4 ? EndString::Included : EndString::CutOff;
    const int endLength = 1 + (data[0] >> 3) % 3;
    config.endString = QByteArray(reinterpret_cast<const char*>(data + 1), endLength);
    config.size = data[4];
    config.rearms = data[5] % MostRearms;
    const QByteArray bytes(reinterpret_cast<const char*>(data + SettingsBytes),
                           qsizetype(size - SettingsBytes));

    // split points from a generator seeded by the input
    uint32_t seed = 2166136261u;
    for (std::size_t i = 0; i < size; ++i)
        seed = (seed ^ data[i]) * 16777619u;
    std::vector<qsizetype> cuts;
    for (qsizetype pos = 0; !bytes.isEmpty();) {
        seed = seed * 1103515245u + 12345u;
        pos += 1 + (seed >> 16) % 9;
        if (pos >= bytes.size())
            break;
        cuts.push_back(pos);
    }
    std::vector<qsizetype> everyByte;
    for (qsizetype pos = 1; pos < bytes.size(); ++pos)
        everyByte.push_back(pos);

    const auto whole = collect(config, bytes, {});
    if (collect(config, bytes, cuts) != whole || collect(config, bytes, everyByte) != whole)
        abort();
    return 0;
}
