// Windows: the new content goes into a file of its own beside the target and reaches the disk;
// only then does it take the target's place, with ReplaceFileW (the old file's access list,
// attributes and identity stay) or, for a new file, with MoveFileExW.
#include "app/SafeSave.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <optional>
#include <string>
#include <windows.h>

namespace {

// A name of ours is ".NAME.zuvex-PROCESS-N.new" (and ".old" for the replaced file while it is
// being swapped); NAME is cut so that the whole stays within a folder entry's 255 characters.
constexpr qsizetype MaxNamePart = 200;
constexpr int NameAttempts = 100; // names already taken by other saves of the same target

// "\\?\" lifts the limit of MAX_PATH characters. Such a path is taken as it stands: absolute,
// without "." or "..", with backslashes only.
std::wstring longPath(const QString& path) {
    const QString clean =
        QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    if (clean.startsWith(QLatin1String("\\\\?\\")))
        return clean.toStdWString();
    if (clean.startsWith(QLatin1String("\\\\"))) // \\server\share\...
        return (QStringLiteral("\\\\?\\UNC\\") + clean.mid(2)).toStdWString();
    return (QStringLiteral("\\\\?\\") + clean).toStdWString();
}

class THandle {
public:
    explicit THandle(HANDLE handle) : handle_(handle) {}
    ~THandle() { close(); }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    bool close() {
        const bool closed = !valid() || ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle_;
};

// A name of ours in the target's folder, whose file is removed unless it is to be kept (put in
// the target's place, or not ours).
class TNewFile {
public:
    explicit TNewFile(std::wstring path) : path_(std::move(path)) {}
    ~TNewFile() {
        if (!kept_)
            ::DeleteFileW(path_.c_str());
    }
    TNewFile(const TNewFile&) = delete;
    TNewFile& operator=(const TNewFile&) = delete;
    const wchar_t* path() const { return path_.c_str(); }
    void keep() { kept_ = true; }

private:
    std::wstring path_;
    bool kept_ = false;
};

// A link is followed: the file it names is replaced and the link stays.
std::optional<std::wstring> finalPath(const std::wstring& path) {
    const THandle file(::CreateFileW(path.c_str(), 0,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid())
        return std::nullopt;
    std::wstring out(MAX_PATH, L'\0');
    DWORD length = ::GetFinalPathNameByHandleW(file.get(), out.data(), DWORD(out.size()), 0);
    if (length >= out.size()) {
        out.resize(length);
        length = ::GetFinalPathNameByHandleW(file.get(), out.data(), DWORD(out.size()), 0);
    }
    if (length == 0 || length >= out.size())
        return std::nullopt;
    out.resize(length);
    return out;
}

// Whether this user may write the existing file, and it is a file on a disk.
TSaveResult writableFile(const std::wstring& path) {
    const THandle file(::CreateFileW(path.c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return TSaveResult::CannotCreate; // denied, or held by a program that shares no writes
    return ::GetFileType(file.get()) == FILE_TYPE_DISK ? TSaveResult::Saved
                                                       : TSaveResult::NotRegular;
}

bool writeAll(HANDLE file, const QByteArray& data) {
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        DWORD written = 0;
        const DWORD chunk = DWORD(std::min<qsizetype>(left, 1 << 30));
        if (!::WriteFile(file, p, chunk, &written, nullptr) || written == 0)
            return false;
        p += written;
        left -= written;
    }
    return ::FlushFileBuffers(file);
}

// Swaps the new file in. The replaced one waits under `old` until the swap is done (and is then
// removed), so that a failure half-way can put it back under its name; where even that fails,
// it stays under ours rather than being lost.
bool replaceWith(const std::wstring& target, TNewFile& fresh, TNewFile& old) {
    if (::ReplaceFileW(target.c_str(), fresh.path(), old.path(), 0, nullptr, nullptr)) {
        fresh.keep();
        return true;
    }
    if (::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES &&
        !::MoveFileExW(old.path(), target.c_str(), MOVEFILE_WRITE_THROUGH))
        old.keep();
    return false;
}

} // namespace

// The cause of a failure is not named on Windows yet: 0, as where no system call failed.
TSaveResult SaveFileSafely(const QString& path, const QByteArray& data, int* cause) {
    if (cause)
        *cause = 0;
    std::wstring target = longPath(path);
    DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return TSaveResult::CannotCreate; // the folder is missing or cannot be searched
    if (exists && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        const std::optional<std::wstring> named = finalPath(target);
        if (!named)
            return TSaveResult::NotRegular; // a link to nothing
        target = *named;
        attributes = ::GetFileAttributesW(target.c_str());
    }
    if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return TSaveResult::NotRegular;
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY))
        return TSaveResult::CannotCreate; // write-protected by its user
    if (exists) {
        if (const TSaveResult check = writableFile(target); check != TSaveResult::Saved)
            return check;
    }

    const qsizetype slash = target.rfind(L'\\');
    const QString folder = QString::fromStdWString(target.substr(0, slash + 1));
    const QString stem =
        QStringLiteral(".%1.zuvex-%2-")
            .arg(QString::fromStdWString(target.substr(slash + 1)).left(MaxNamePart))
            .arg(::GetCurrentProcessId(), 0, 16);
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        const QString name = folder + stem + QString::number(attempt);
        TNewFile fresh((name + QStringLiteral(".new")).toStdWString());
        THandle file(::CreateFileW(fresh.path(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            fresh.keep(); // not ours
            if (::GetLastError() == ERROR_FILE_EXISTS)
                continue;
            return TSaveResult::CannotCreate; // the folder takes no new file
        }
        if (!writeAll(file.get(), data) || !file.close())
            return TSaveResult::WriteFailed;
        if (!exists) {
            // no MOVEFILE_REPLACE_EXISTING: a file made meanwhile by someone else stays
            if (!::MoveFileExW(fresh.path(), target.c_str(), MOVEFILE_WRITE_THROUGH))
                return TSaveResult::WriteFailed;
            fresh.keep();
            return TSaveResult::Saved;
        }
        TNewFile old((name + QStringLiteral(".old")).toStdWString());
        return replaceWith(target, fresh, old) ? TSaveResult::Saved : TSaveResult::WriteFailed;
    }
    return TSaveResult::CannotCreate;
}
