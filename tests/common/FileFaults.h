#pragma once

#include <QByteArray>
#include <QMap>
#include <QMetaType>
#include <QString>

// A tiny tmpfs mounted at a folder, for full disks and folders that take no new file; mounting
// needs root (as in CI), else mounted() is false and the test skips.
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

// What stands where a program expects its file: all but a regular file refused without blocking.
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

// Puts `shape` (a regular file holding `bytes`) at `path`; gives the name to open, empty if none.
QString placeFile(FileShape shape, const QString& path, const QByteArray& bytes = {});

// An access-list entry that lets `user` read and write `path` (setfacl); on a folder the entry
// goes into the default list its new files start with. False when setfacl failed.
bool grantAccess(const QString& path, uint user, bool folderDefault = false);
// Every extended attribute of a file (its access list among them) by name, as the bytes stored.
QMap<QByteArray, QByteArray> extendedAttributes(const QString& path);
