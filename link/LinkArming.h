#pragma once

#include "link/LinkProtocol.h"
#include "serial/DataPacket.h"

// To arm is to switch the collector off, set its end condition and time-out, and switch it on
// again; always before the request goes out.

// For a reply of `size` bytes within `ticks`.
inline void armForBlock(TDataPacket& packet, int size, int ticks) {
    packet.SetEnabled(false);
    packet.PacketSize = size;
    packet.EndCond = ecPacketSize;
    packet.TimeOut = ticks;
    packet.SetEnabled(true);
}

// For a line ending in CR LF within 12 ticks.
inline void armForLine(TDataPacket& packet) {
    packet.SetEnabled(false);
    packet.SetEndString(LinkProtocol::LineEnd);
    packet.EndCond = ecString;
    packet.TimeOut = LinkProtocol::LineTicks;
    packet.SetEnabled(true);
}

// The collector as the conversation uses it: off until armed, a packet starts on any byte,
// time-outs in ticks, the end string kept in the packet, what came before a time-out dropped.
inline void setUpCollector(TDataPacket& packet) {
    packet.AutoEnable = false;
    packet.StartCond = scAnyData;
    packet.TimeOut = LinkProtocol::BlockTicks;
    packet.IncludeStrings = true;
    packet.IgnoreCase = true;
    packet.FlushOnTimeout = true;
}
