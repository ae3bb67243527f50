#include "serial/SerialError.h"

#include <QDebug>

ESerialError::ESerialError(const QString& text) : std::runtime_error(text.toStdString()) {}

namespace {

std::function<void(const QString&)>& sink() {
    static std::function<void(const QString&)> current;
    return current;
}

} // namespace

void SetSerialErrorSink(std::function<void(const QString&)> newSink) {
    sink() = std::move(newSink);
}

void ReportSerialError(const QString& text) {
    const std::function<void(const QString&)> target = sink(); // the sink may replace itself
    if (target)
        target(text);
    else
        qWarning().noquote() << text;
}
