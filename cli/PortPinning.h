#pragma once

#include "serial/OpenFailure.h"

#include <QString>
#include <optional>

// What both platforms' TPinnedPort share.

// The device to pin: `device` itself, or the one COM<comNumber> stands for. Nothing when the
// number has no device (reported on stderr).
std::optional<QString> DeviceToPin(int comNumber, const QString& device);

// Reports a device that did not open, named by the path it was given as.
void ReportOpeningRefusal(int comNumber, const QString& device, const QString& path,
                          TOpenFailure failure, int error);
