#pragma once

#include <QString>
#include <optional>

// The two streams the tool writes to.
enum class TStream { Out, Err };

// Writes `text` to a console window that would garble UTF-8 bytes, in the form the window
// takes. Nothing (nullopt) when the stream is no such window: it gets the UTF-8 bytes then.
// Otherwise whether the text arrived whole (errno set when not).
std::optional<bool> WriteToConsoleWindow(TStream stream, const QString& text);

// Whether the stream is a terminal (a console window on Windows) where a person watches.
bool StreamIsTerminal(TStream stream);
