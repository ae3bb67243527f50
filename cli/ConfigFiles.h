#pragma once

#include "config/ConfigImage.h"

#include <QString>
#include <optional>

// A configuration file: a regular file of exactly the 60 bytes of the image. A file that
// cannot be read or has another size is reported on stderr with the program's own texts;
// nothing is returned then.
std::optional<ConfigImage> LoadConfigFile(const QString& path);

// Saves the 60 bytes with the program's safe save; false (reported on stderr) when the file
// could not be written. A failure leaves an existing file as it was.
bool SaveConfigFile(const QString& path, const ConfigImage& image);
