#include "link/DeviceLink.h"

#include "link/LinkArming.h"
#include "link/LinkConversation.h"
#include "serial/DataPacket.h"
#include "serial/SerialPort.h"

#include <QTimer>

void SetUpDeviceLink(TSerialPort& port, TDataPacket& packet, QTimer& watchdog, int watchdogMs) {
    port.Baud = 57600;
    port.AutoOpen = false;
    setUpCollector(packet);
    packet.SetComPort(&port);
    watchdog.setInterval(watchdogMs);
    watchdog.setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
}

void RouteToConversation(TSerialPort& port, TDataPacket& packet, QTimer& watchdog,
                         TLinkConversation& conversation) {
    port.OnLost = [&conversation](const QString& text) { conversation.ComPort1Lost(text); };
    packet.OnPacket = [&conversation](TDataPacket* sender, const uint8_t* data, int size) {
        conversation.DataPacket1Packet(sender, data, size);
    };
    packet.OnTimeout = [&conversation](TDataPacket* sender) {
        conversation.DataPacket1Timeout(sender);
    };
    QObject::connect(&watchdog, &QTimer::timeout, &conversation,
                     [&conversation] { conversation.TimerFWUpdateTimer(); });
}
