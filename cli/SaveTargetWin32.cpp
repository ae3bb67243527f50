// Windows has no access() that tells what the ACL allows: an existing file is opened for
// writing and closed again; a new one needs a folder to go into. The read-only attribute
// refuses as the safe save would.
#include "cli/SaveTarget.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <windows.h>

namespace {
std::wstring nativeOf(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdWString();
}

int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EBUSY;
    default:
        return EIO;
    }
}

int existingFileRefusal(const std::wstring& file, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return EISDIR;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return EACCES;
    const HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return errnoOf(::GetLastError());
    ::CloseHandle(handle);
    return 0;
}
} // namespace

int SaveTargetRefusal(const QString& path) {
    const std::wstring file = nativeOf(path);
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return existingFileRefusal(file, attributes);
    if (const DWORD error = ::GetLastError(); error != ERROR_FILE_NOT_FOUND)
        return errnoOf(error);
    const DWORD folder = ::GetFileAttributesW(nativeOf(QFileInfo(path).absolutePath()).c_str());
    if (folder == INVALID_FILE_ATTRIBUTES)
        return ENOENT;
    return folder & FILE_ATTRIBUTE_DIRECTORY ? 0 : ENOTDIR;
}
