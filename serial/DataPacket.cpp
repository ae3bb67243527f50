#include "serial/DataPacket.h"

#include "serial/DataPacketManager.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

#include <exception>

TDataPacket::TDataPacket(QObject* parent) : QObject(parent) {}

TDataPacket::~TDataPacket() {
    SetManager(nullptr);
}

void TDataPacket::SetComPort(TSerialPort* port) {
    if (port == comPort_ && (port == nullptr || manager_ == port->PacketManager()))
        return;
    SetManager(port ? port->PacketManager() : nullptr);
    comPort_ = port;
}

void TDataPacket::SetManager(TDataPacketManager* manager) {
    if (manager == manager_)
        return;
    if (manager_)
        manager_->Detach(this);
    comPort_ = nullptr;
    if (manager)
        manager->Attach(this);
}

void TDataPacket::CheckArmable() const {
    const TPacketEndConds ends = EndCond;
    if ((ends & (ecString | ecPacketSize)) == 0)
        throw ESerialError(QStringLiteral("CharCount packets must have an end-condition"));
    if ((ends & ecString) && endString_.isEmpty())
        throw ESerialError(QStringLiteral("End string is empty"));
    if ((ends & ecPacketSize) && PacketSize <= 0)
        throw ESerialError(QStringLiteral("Packet size cannot be zero"));
}

void TDataPacket::SetEnabled(bool on) {
    if (on == enabled_)
        return;
    if (!on) {
        if (manager_)
            manager_->Disable(this);
        else
            enabled_ = false;
        return;
    }
    CheckArmable();
    if (manager_)
        manager_->Enable(this);
    else
        enabled_ = true;
}

QByteArray TDataPacket::EndString() const {
    return endString_;
}

void TDataPacket::SetEndString(const QByteArray& text) {
    if (manager_) {
        manager_->ChangeEndString(this, text);
        return;
    }
    endString_ = text;
    if (enabled_) {
        try {
            CheckArmable();
        } catch (...) {
            enabled_ = false;
            throw;
        }
    }
}

void TDataPacket::FireEvent(bool packet, const uint8_t* data, int size) {
    try {
        if (packet) {
            if (OnPacket)
                OnPacket(this, data, size);
        } else if (OnTimeout) {
            OnTimeout(this);
        }
    } catch (const std::exception& e) {
        ReportSerialError(QString::fromUtf8(e.what()));
    } catch (...) {
        ReportSerialError(QStringLiteral("Unbekannter Fehler bei der Verarbeitung der Daten vom "
                                         "COM-Port."));
    }
}
