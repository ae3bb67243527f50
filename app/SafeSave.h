#pragma once

#include <QByteArray>
#include <QString>

// How replacing a file's content ended.
enum class TSaveResult {
    Saved,
    NotRegular,   // the name exists but is a folder, FIFO, device, socket or link loop
    CannotCreate, // the folder is missing or takes no file, or the target cannot be written
    WriteFailed,  // a write, flush or rename failed (a full disk, an I/O error)
};

// Replaces the content of `path` with `data` so that a failure never leaves a damaged file.
// The data goes into a new file beside the target, is flushed to the disk with every write
// checked, and only then renamed over the target; a save killed between naming the new file
// and the rename leaves it, and the next save of the target removes it (SaveTemporary.h).
// A file that cannot be opened for writing is refused. Where a new file could not stand in for
// the old one (a second name, another owner or group, an access list or extended attribute it
// cannot be given) or the folder takes no new file, the target is written in place, but only
// where one write of the same size replaces it whole; otherwise the save is refused and the
// file stays as it was. A symbolic link to a regular file stays a link: its target is
// replaced. Owner, group, mode, access list and extended attributes are kept. On Windows the new
// file takes the target's place with ReplaceFileW, which keeps its access list, attributes and
// identity; a write-protected (read-only) file is refused.
// A failure puts the system's error code of the step that failed into `cause` when given (0
// where no system call failed, e.g. a folder in the file's place or a file that cannot be
// written whole).
TSaveResult SaveFileSafely(const QString& path, const QByteArray& data, int* cause = nullptr);
