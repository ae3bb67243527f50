#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

// A tiny file system of its own (tmpfs) mounted at an existing folder, for full disks and
// folders that take no new file. Mounting needs root (as in CI); where it is not allowed,
// mounted() is false and the test skips.
class SmallDisk {
public:
    SmallDisk(const QString& folder, const char* options); // options: "size=8k", ...
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return isMounted; }
    // Writes the file `name` until not one more byte fits.
    void fillUp(const QString& name = QStringLiteral("filler")) const;
    void useUpFiles() const; // creates files until no new file can be made

private:
    QString folder;
    bool isMounted = false;
};

#define SKIP_UNLESS_MOUNTED(disk)                                                                  \
    if (!(disk).mounted())                                                                         \
    QSKIP("mounting a tmpfs is not allowed here (needs root): full-disk case not run")

// What stands where a program expects its file. Everything but a regular file must be refused
// without blocking (a FIFO) or reading forever (/dev/zero).
enum class FileShape {
    Regular,
    Missing,
    Fifo,
    Folder,
    LinkLoop,
    LinkToFifo,
    LinkToDevZero,
    DevZero
};
Q_DECLARE_METATYPE(FileShape)

// Puts `shape` at `path` (a regular file holds `bytes`) and gives the name the program is to
// open: `path`, or /dev/zero itself. Empty when that failed.
QString placeFile(FileShape shape, const QString& path, const QByteArray& bytes = {});
