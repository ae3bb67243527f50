// Feeds random bytes to the packet collector once in one read and once split at random
// points: the packets reported must not depend on how the bytes were split.
#include "serial/DataPacket.h"
#include "serial/DataPacketManager.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct Config {
    bool line = false;
    QByteArray endString;
    int size = 1;
    bool ignoreCase = true;
    bool include = true;
    int rearms = 0; // how many times the handler re-arms
};

std::vector<QByteArray> collect(const Config& config, const uint8_t* data, std::size_t size,
                                const std::vector<std::size_t>& cuts) {
    TDataPacketManager manager([] { return int64_t(0); });
    TDataPacket packet;
    packet.AutoEnable = false;
    packet.StartCond = scAnyData;
    packet.IgnoreCase = config.ignoreCase;
    packet.IncludeStrings = config.include;
    packet.TimeOut = 0;
    packet.SetManager(&manager);
    std::vector<QByteArray> packets;
    int sizeStep = 0;
    auto arm = [&] {
        packet.SetEnabled(false);
        if (config.line) {
            packet.SetEndString(config.endString);
            packet.EndCond = ecString;
        } else {
            packet.PacketSize = 1 + (config.size + sizeStep++) % 70;
            packet.EndCond = ecPacketSize;
        }
        packet.SetEnabled(true);
    };
    packet.OnPacket = [&](TDataPacket*, const uint8_t* bytes, int n) {
        packets.emplace_back(reinterpret_cast<const char*>(bytes), n);
        if (int(packets.size()) <= config.rearms)
            arm();
    };
    manager.PortOpened();
    arm();
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        manager.Receive(data + from, cut - from);
        from = cut;
    }
    manager.Receive(data + from, size - from);
    return packets;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 6)
        return 0;
    Config config;
    config.line = data[0] & 1;
    config.ignoreCase = data[0] & 2;
    config.include = data[0] & 4;
    const int endLength = 1 + (data[0] >> 3) % 3;
    config.endString = QByteArray(reinterpret_cast<const char*>(data + 1), endLength);
    config.size = data[4];
    config.rearms = data[5] % 64;
    const uint8_t* bytes = data + 6;
    const std::size_t count = size - 6;

    // split points from a generator seeded by the input
    uint32_t seed = 2166136261u;
    for (std::size_t i = 0; i < size; ++i)
        seed = (seed ^ data[i]) * 16777619u;
    std::vector<std::size_t> cuts;
    for (std::size_t pos = 0; count > 0;) {
        seed = seed * 1103515245u + 12345u;
        pos += 1 + (seed >> 16) % 9;
        if (pos >= count)
            break;
        cuts.push_back(pos);
    }
    std::vector<std::size_t> everyByte;
    for (std::size_t pos = 1; pos < count; ++pos)
        everyByte.push_back(pos);

    const auto whole = collect(config, bytes, count, {});
    if (collect(config, bytes, count, cuts) != whole)
        abort();
    if (collect(config, bytes, count, everyByte) != whole)
        abort();
    return 0;
}
