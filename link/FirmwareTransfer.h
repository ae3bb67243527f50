#pragma once

#include "link/FirmwareFile.h"

#include <QString>
#include <QStringList>
#include <functional>

class TRawSerialPort;

// How a firmware transfer ended.
enum class TFirmwareOutcome {
    Loaded,          // every record acknowledged with 0x11
    FileUnreadable,  // the file cannot be opened
    FileRefused,     // no byte, a record running past the end, or too large
    PortUnavailable, // the raw port does not open
    NoAnswer,        // no acknowledgement within the wait
    LineLost,        // the adapter was pulled out or the device went away during the transfer
    Damaged,         // the same record rejected four times in a row
};

// What the transfer needs from its surroundings. Every member may be left empty.
struct TFirmwareTransferHooks {
    std::function<void(int percent)> progress; // share of acknowledged bytes, before each sending
    std::function<void()> processEvents;       // once per record, after it was written
    std::function<void(int ms)> sleep;         // the fixed pauses; empty: the thread sleeps
    std::function<void(const QString& caption, const QStringList& lines)> showError;
    QString portShownAs; // how messages name the port (a device path); empty: by its port name
};

// Bit rate and read time-outs of the loader (a one-byte read waits up to twice the time-out).
constexpr int FirmwareBaud = 57600;
constexpr int FirmwareOpenTimeoutMs = 2000;
constexpr int FirmwareDrainTimeoutMs = 1;
constexpr int FirmwareAckTimeoutMs = 4000;
constexpr int MaxRecordRejections = 4;

// Sends the firmware file `fileName` record by record over `portName` ("COM3") to a telephone
// system that is in loading mode. Each record is sent after the input has been drained and
// must be answered with 0x11; any other byte rejects it and it is sent again, up to four
// rejections in a row. Every failure is reported through showError after the file and the
// port have been closed.
TFirmwareOutcome TransferFirmware(const QString& fileName, const QString& portName,
                                  const TFirmwareTransferHooks& hooks);

// The record loop alone, on an open port: for the transfer above and the benchmark.
TFirmwareOutcome SendFirmwareRecords(TRawSerialPort& port, const std::vector<std::uint8_t>& bytes,
                                     const TFirmwareTransferHooks& hooks);
