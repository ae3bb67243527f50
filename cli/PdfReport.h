#pragma once

#include "config/ConfigCodec.h"

#include <QString>

// Prints the one-page report of `settings` into the PDF file `path`, as the window prints
// it on a printer. False (reported on stderr) when the file cannot be written; no
// half-written file is left then.
bool PrintReportToPdf(const TEditorSettings& settings, const QString& path);
