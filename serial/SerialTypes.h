#pragma once

#include <cstdint>

enum TParity { pNone, pOdd, pEven, pMark, pSpace };

// Hardware flow options (a set): bit flags
enum THWFlowOption : unsigned {
    hwfUseDTR = 1u << 0,
    hwfUseRTS = 1u << 1,
    hwfRequireDSR = 1u << 2,
    hwfRequireCTS = 1u << 3,
};
using THWFlowOptions = unsigned;

enum TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };

// The line settings applied when a port is opened.
struct TLineSettings {
    int32_t baud = 19200;
    TParity parity = pNone;
    int dataBits = 8;
    int stopBits = 1;
    THWFlowOptions hwFlow = 0;
    TSWFlowOptions swFlow = swfNone;
    bool dtr = true;
    bool rts = true;
};
