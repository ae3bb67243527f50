#include "link/FirmwareTransfer.h"

#include "link/LinkProtocol.h"
#include "link/RawSerialPort.h"

#include <QThread>

namespace {

void pause(const TFirmwareTransferHooks& hooks, int ms) {
    if (hooks.sleep)
        hooks.sleep(ms);
    else
        QThread::msleep(static_cast<unsigned long>(ms));
}

void report(const TFirmwareTransferHooks& hooks, const QString& caption, const QString& line) {
    if (hooks.showError)
        hooks.showError(caption, {QStringLiteral("Fehler!"), line});
}

// Drops whatever the telephone system sent since the last acknowledgement.
void drain(TRawSerialPort& port) {
    port.SetTimeouts(FirmwareDrainTimeoutMs);
    std::uint8_t stray = 0;
    while (port.Read(&stray, 1)) {
    }
}

} // namespace

TFirmwareOutcome SendFirmwareRecords(TRawSerialPort& port, const std::vector<std::uint8_t>& bytes,
                                     const TFirmwareTransferHooks& hooks) {
    std::vector<TFirmwareRecord> records;
    SplitFirmwareRecords(bytes, records); // whole records only: nothing beyond the parsed bytes
    const std::size_t total = bytes.size();
    std::size_t acknowledged = 0;
    int rejections = 0;
    for (std::size_t i = 0; i < records.size();) {
        const TFirmwareRecord& record = records[i];
        drain(port);
        port.SetTimeouts(FirmwareAckTimeoutMs);
        if (hooks.progress)
            hooks.progress(static_cast<int>(acknowledged * 100 / total));
        const bool written = port.Write(bytes.data() + record.offset, record.size);
        if (hooks.processEvents)
            hooks.processEvents();
        std::uint8_t answer = 0;
        if (!written || !port.Read(&answer, 1)) // a device that stops reading does not answer
            return port.LineLost() ? TFirmwareOutcome::LineLost : TFirmwareOutcome::NoAnswer;
        if (answer == LinkProtocol::RecordAcknowledged) {
            acknowledged += record.size;
            rejections = 0;
            ++i;
        } else if (++rejections == MaxRecordRejections) {
            return TFirmwareOutcome::Damaged;
        }
    }
    return TFirmwareOutcome::Loaded;
}

TFirmwareOutcome TransferFirmware(const QString& fileName, const QString& portName,
                                  const TFirmwareTransferHooks& hooks) {
    const QString fehler = QStringLiteral("Fehler");
    const QString schnittstellenfehler = QStringLiteral("Schnittstellenfehler");
    // Read and checked again here: the file may have changed since "Start" was pressed.
    TParsedFirmware firmware;
    if (!ReadFirmwareFile(fileName, firmware)) {
        report(hooks, fehler,
               QStringLiteral("Auf die Firmwaredatei kann nicht zugegriffen werden."));
        return TFirmwareOutcome::FileUnreadable;
    }
    if (const std::optional<QString> refusal = FirmwareRefusal(firmware)) {
        report(hooks, fehler, refusal->section(QLatin1Char('\n'), 0, 0));
        return TFirmwareOutcome::FileRefused;
    }

    pause(hooks, 200);
    TRawSerialPort port;
    if (!port.Open(portName, FirmwareBaud, FirmwareOpenTimeoutMs)) {
        report(hooks, schnittstellenfehler,
               QStringLiteral("Auf die Schnittstelle kann nicht zugegriffen werden."));
        return TFirmwareOutcome::PortUnavailable;
    }

    const TFirmwareOutcome outcome = SendFirmwareRecords(port, firmware.bytes, hooks);
    port.Close();
    switch (outcome) {
    case TFirmwareOutcome::Loaded:
        pause(hooks, 200);
        pause(hooks, 3000); // the telephone system restarts with its new firmware
        break;
    case TFirmwareOutcome::NoAnswer:
        report(hooks, schnittstellenfehler, QStringLiteral("Zuvex 910k antwortet nicht."));
        break;
    case TFirmwareOutcome::LineLost:
        report(hooks, schnittstellenfehler,
               QStringLiteral("Die Verbindung zur Zuvex 910k über %1 wurde unterbrochen. Bitte "
                              "prüfen Sie das Kabel und den USB-Adapter.")
                   .arg(hooks.portShownAs.isEmpty() ? portName : hooks.portShownAs));
        break;
    case TFirmwareOutcome::Damaged:
        report(hooks, fehler, QStringLiteral("Die Datei ist beschädigt."));
        break;
    default:
        break;
    }
    return outcome;
}
