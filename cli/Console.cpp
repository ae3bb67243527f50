#include "cli/Console.h"

#include "cli/ConsoleStream.h"

#include <cerrno>
#include <cstdio>

namespace {
int lostOutput = 0; // errno of the first failed write to stdout

// False when the text did not reach the stream as a whole.
bool writeTo(TStream stream, const QString& text) {
    if (const std::optional<bool> shown = WriteToConsoleWindow(stream, text))
        return *shown;
    std::FILE* file = stream == TStream::Out ? stdout : stderr;
    const QByteArray bytes = text.toUtf8();
    errno = 0;
    const bool written = std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()),
                                     file) == static_cast<size_t>(bytes.size());
    return std::fflush(file) == 0 && written;
}
} // namespace

void PrintLine(const QString& line) {
    if (!writeTo(TStream::Out, line + QLatin1Char('\n')) && lostOutput == 0)
        lostOutput = errno != 0 ? errno : EIO;
}

void PrintMessage(const QString& text) {
    writeTo(TStream::Err, QStringLiteral("zuvex910k: ") + text + QLatin1Char('\n'));
}

void PrintFileMessage(const QString& path, const QString& text) {
    PrintMessage(path + QStringLiteral(": ") + text);
}

void PrintProgress(const QString& text) {
    writeTo(TStream::Err, text);
}

bool ProgressShown() {
    return StreamIsTerminal(TStream::Err);
}

std::optional<int> LostOutputError() {
    return lostOutput != 0 ? std::optional(lostOutput) : std::nullopt;
}
