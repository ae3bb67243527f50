#include "link/RegularFile.h"

#include <windows.h>

namespace {

TReadResult openRefusal(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return TReadResult::Missing;
    default:
        return TReadResult::Unreadable;
    }
}

// Closes the handle when it goes out of scope.
struct TOpenFile {
    HANDLE handle;
    ~TOpenFile() {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

} // namespace

TReadResult ReadRegularFile(const QString& path,
                            const std::function<bool(const QByteArray& piece)>& take,
                            qsizetype pieceSize) {
    const std::wstring name = path.toStdWString();
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return openRefusal(GetLastError());
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return TReadResult::NotRegular;
    // Device names (NUL, COM1, a pipe) open as files of another type.
    const TOpenFile file{CreateFileW(name.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE)
        return openRefusal(GetLastError());
    if (GetFileType(file.handle) != FILE_TYPE_DISK)
        return TReadResult::NotRegular;
    QByteArray piece(pieceSize, Qt::Uninitialized);
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file.handle, piece.data(), DWORD(pieceSize), &n, nullptr))
            return TReadResult::Unreadable;
        if (n == 0 || !take(QByteArray(piece.constData(), qsizetype(n))))
            return TReadResult::Read;
    }
}
