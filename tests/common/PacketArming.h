#pragma once

class TDataPacket;

// Arms `packet` for `size` bytes, or a time-out after `ticks` (0: none).
void armForSize(TDataPacket& packet, int size, int ticks);
// Arms `packet` for a line ending in CR LF, or a time-out after `ticks`.
void armForLine(TDataPacket& packet, int ticks = 12);
