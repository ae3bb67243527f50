#pragma once

class QTimer;
class TDataPacket;
class TLinkConversation;
class TSerialPort;

// "L" must come within this after "U\r" when the device enters loading mode.
constexpr int FirmwareWatchdogMs = 10000;

// The device link as every front end sets it up: the port at the line's speed, opened only
// when a command needs it; its collector as the conversation arms it; the firmware watchdog.
void SetUpDeviceLink(TSerialPort& port, TDataPacket& packet, QTimer& watchdog,
                     int watchdogMs = FirmwareWatchdogMs);

// Routes the port's loss, the collector's packets and time-outs and the watchdog's firing to
// the conversation that runs over them.
void RouteToConversation(TSerialPort& port, TDataPacket& packet, QTimer& watchdog,
                         TLinkConversation& conversation);
