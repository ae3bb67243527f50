#pragma once

#include <QString>

// 0 when `path` may be written as a file: an existing file the user may write, or a new one
// in a folder that takes it. Otherwise why not, as an errno value.
int SaveTargetRefusal(const QString& path);
