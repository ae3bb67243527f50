#pragma once

#include "app/ReportSurface.h"

#include <functional>
#include <memory>

class QPrinter;

// Shows the print dialog for `printer`; true when the user chose to print.
using TPrintDialogProvider = std::function<bool(QPrinter&)>;
// Shows the printer-setup dialog; what the user chose there stays in `printer`.
using TPageSetupProvider = std::function<void(QPrinter&)>;
// The surface the report is drawn on for `printer`.
using TReportSurfaceFactory = std::function<std::unique_ptr<TReportSurface>(QPrinter&)>;

// The platform's own dialogs (German through the loaded translations).
bool runPlatformPrintDialog(QPrinter& printer);
void runPlatformPageSetupDialog(QPrinter& printer);
// Draws through QPainter on the printer.
std::unique_ptr<TReportSurface> makePrinterSurface(QPrinter& printer);
