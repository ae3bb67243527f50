// A console window shows what WriteConsoleW gives it, whatever its code page: cmd.exe and
// PowerShell start with the OEM one, where UTF-8 bytes turn the umlauts into junk. A pipe or a
// file gets the UTF-8 bytes, as on Linux.
#include "cli/ConsoleStream.h"

#include <cerrno>
#include <cstdio>
#include <windows.h>

namespace {
HANDLE handleOf(TStream stream) {
    return ::GetStdHandle(stream == TStream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && ::GetConsoleMode(handle, &mode);
}
} // namespace

std::optional<bool> WriteToConsoleWindow(TStream stream, const QString& text) {
    const HANDLE handle = handleOf(stream);
    if (!isConsole(handle))
        return std::nullopt;
    std::fflush(stream == TStream::Out ? stdout : stderr); // keeps the order of earlier bytes
    const auto* next = reinterpret_cast<const wchar_t*>(text.utf16());
    DWORD left = static_cast<DWORD>(text.size());
    while (left > 0) {
        DWORD written = 0;
        if (!::WriteConsoleW(handle, next, left, &written, nullptr) || written == 0) {
            errno = EIO;
            return false;
        }
        next += written;
        left -= written;
    }
    return true;
}

bool StreamIsTerminal(TStream stream) {
    return isConsole(handleOf(stream));
}
