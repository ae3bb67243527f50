#include "cli/Console.h"

#include <cerrno>
#include <cstdio>

namespace {
int lostOutput = 0; // errno of the first failed write to stdout

// False when the text did not reach the stream as a whole.
bool writeTo(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    errno = 0;
    const bool written = std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()),
                                     stream) == static_cast<size_t>(bytes.size());
    return std::fflush(stream) == 0 && written;
}
} // namespace

void PrintLine(const QString& line) {
    if (!writeTo(stdout, line + QLatin1Char('\n')) && lostOutput == 0)
        lostOutput = errno != 0 ? errno : EIO;
}

void PrintMessage(const QString& text) {
    writeTo(stderr, QStringLiteral("zuvex910k: ") + text + QLatin1Char('\n'));
}

void PrintFileMessage(const QString& path, const QString& text) {
    PrintMessage(path + QStringLiteral(": ") + text);
}

std::optional<int> LostOutputError() {
    return lostOutput != 0 ? std::optional(lostOutput) : std::nullopt;
}
