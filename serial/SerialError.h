#pragma once

#include <QString>
#include <functional>
#include <stdexcept>

// A failure of the serial layer: opening, sending or flushing, arming a collector.
// what() is the UTF-8 text; message() the same text for the user interface.
class ESerialError : public std::runtime_error {
public:
    explicit ESerialError(const QString& text);
    QString message() const { return QString::fromUtf8(what()); }
};

// Failures that no caller can catch (an exception escaping OnPacket/OnTimeout, a device
// write that failed after PutString had returned) go to this sink. Set and called on the
// user-interface thread only. The main window sets its error message box here; until then the
// text goes to qWarning.
void SetSerialErrorSink(std::function<void(const QString&)> sink);
void ReportSerialError(const QString& text);
