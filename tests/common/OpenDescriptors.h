#pragma once

#include <QDir>
#include <QFileInfo>
#include <string>

// How many of this process's descriptors are open on `device` (also after it disappeared).
inline int DescriptorsOn(const std::string& device) {
    if (device.empty())
        return -1;
    int count = 0;
    const QString target = QString::fromStdString(device);
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System))
        count += fd.symLinkTarget().startsWith(target) ? 1 : 0;
    return count;
}
