#include "cli/PdfReport.h"

#include "app/PrinterSurface.h"
#include "app/ReportBuilder.h"
#include "app/ReportDrawing.h"
#include "cli/Console.h"

#include <QPrinter>
#include <exception>

bool PrintReportToPdf(const TEditorSettings& settings, const QString& path) {
    QPrinter printer(QPrinter::HighResolution); // as the window's printer
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    QStringList lines = BuildReport(settings);
    try {
        TPrinterSurface surface(printer);
        DrawReport(surface, lines, ReportDateLine(), ReportMargins{});
        return true;
    } catch (const std::exception& e) {
        PrintMessage(QString::fromUtf8(e.what())); // names the file itself
        return false;
    }
}
