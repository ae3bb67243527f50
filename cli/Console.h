#pragma once

#include <QString>

// What a command produces goes to stdout, one line each; messages go to stderr, prefixed
// with the program's name so that they stand out in a script's log.
void PrintLine(const QString& line);
void PrintMessage(const QString& text);
// The same message about a file, naming it first.
void PrintFileMessage(const QString& path, const QString& text);
