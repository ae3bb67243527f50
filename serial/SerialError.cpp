#include "serial/SerialError.h"

#include <QDebug>
#include <mutex>

ESerialError::ESerialError(const QString& text) : std::runtime_error(text.toStdString()) {}

namespace {

std::mutex sinkMutex;
std::function<void(const QString&)>& sink() {
    static std::function<void(const QString&)> current;
    return current;
}

} // namespace

void SetSerialErrorSink(std::function<void(const QString&)> newSink) {
    std::lock_guard lock(sinkMutex);
    sink() = std::move(newSink);
}

void ReportSerialError(const QString& text) {
    std::function<void(const QString&)> target;
    {
        std::lock_guard lock(sinkMutex);
        target = sink();
    }
    if (target)
        target(text);
    else
        qWarning().noquote() << text;
}
