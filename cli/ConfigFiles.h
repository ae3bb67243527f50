#pragma once

#include "config/ConfigImage.h"

#include <QString>
#include <optional>

// A configuration file: a regular file of exactly the 60 bytes of the image. A file that
// cannot be read or has another size is reported on stderr with the program's own texts;
// nothing is returned then.
std::optional<ConfigImage> LoadConfigFile(const QString& path);

// Saves the 60 bytes with the program's safe save; false (reported on stderr with the cause)
// when the file could not be written. A failure leaves an existing file as it was.
bool SaveConfigFile(const QString& path, const ConfigImage& image);

// Whether `path` can be written as a configuration file: an existing file the user may write,
// or a new one in a folder that takes it. Checked before the system is asked for anything;
// a refusal is reported on stderr with the cause.
bool CheckSaveTarget(const QString& path);
