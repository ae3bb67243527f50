// A terminal takes the UTF-8 bytes as they are.
#include "cli/ConsoleStream.h"

#include <unistd.h>

std::optional<bool> WriteToConsoleWindow(TStream, const QString&) {
    return std::nullopt;
}

bool StreamIsTerminal(TStream stream) {
    return isatty(stream == TStream::Out ? STDOUT_FILENO : STDERR_FILENO) == 1;
}
