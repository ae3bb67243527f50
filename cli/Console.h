#pragma once

#include <QString>
#include <optional>

// What a command produces goes to stdout, one line each; messages go to stderr, prefixed
// with the program's name so that they stand out in a script's log.
void PrintLine(const QString& line);
void PrintMessage(const QString& text);
// The same message about a file, naming it first.
void PrintFileMessage(const QString& path, const QString& text);

// A progress bar on stderr, redrawn in place ("\r"); only where a person watches it.
bool ProgressShown();
void PrintProgress(const QString& text);

// The errno of the first line that did not reach stdout (a full disk, a closed output).
std::optional<int> LostOutputError();
