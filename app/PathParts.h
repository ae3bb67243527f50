#pragma once

#include <QString>

// Paths as the user sees them: in the platform's own form (backslashes on Windows). A folder
// kept for joining a file name to it ends in the separator.

// Everything up to and including the last separator, and what follows it.
QString directoryPart(const QString& path);
QString fileNamePart(const QString& path);
// `folder` ending in a separator, in the platform's own form.
QString withSeparator(const QString& folder);
// The process's current folder, ending in a separator.
QString currentFolder();
