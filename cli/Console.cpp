#include "cli/Console.h"

#include <cstdio>

namespace {
void writeTo(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

void PrintLine(const QString& line) {
    writeTo(stdout, line + QLatin1Char('\n'));
}

void PrintMessage(const QString& text) {
    writeTo(stderr, QStringLiteral("zuvex910k: ") + text + QLatin1Char('\n'));
}

void PrintFileMessage(const QString& path, const QString& text) {
    PrintMessage(path + QStringLiteral(": ") + text);
}
