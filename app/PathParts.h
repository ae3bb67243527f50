#pragma once

#include <QString>

// Everything up to and including the last '/', and what follows it.
QString directoryPart(const QString& path);
QString fileNamePart(const QString& path);
