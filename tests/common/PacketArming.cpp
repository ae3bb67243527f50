#include "PacketArming.h"

#include "serial/DataPacket.h"

void armForSize(TDataPacket& packet, int size, int ticks) {
    packet.SetEnabled(false);
    packet.PacketSize = size;
    packet.EndCond = ecPacketSize;
    packet.TimeOut = ticks;
    packet.SetEnabled(true);
}

void armForLine(TDataPacket& packet, int ticks) {
    packet.SetEnabled(false);
    packet.SetEndString("\r\n");
    packet.EndCond = ecString;
    packet.TimeOut = ticks;
    packet.SetEnabled(true);
}
