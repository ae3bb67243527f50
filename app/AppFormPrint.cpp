// Printing the configuration the editor shows, and setting up the printer.
#include "app/AppForm.h"

#include "app/ReportBuilder.h"
#include "app/ReportDrawing.h"
#include "app/ReportSurface.h"
#include "config/EditorPages.h"

#include <QPrinter>
#include <exception>

void TAppForm::BuildReport() {
    // From the controls, so unsaved and unwritten changes are printed too.
    ReportLines = ::BuildReport(Editor->ReadSettings());
}

QPrinter& TAppForm::CurrentPrinter() {
    if (!Printer)
        Printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    return *Printer;
}

void TAppForm::Print1Execute() {
    const QString dateLine = ReportDateLine();
    BuildReport();
    QPrinter& printer = CurrentPrinter();
    if (!PrintDialogProvider(printer))
        return;
    try {
        const std::unique_ptr<TReportSurface> surface = ReportSurfaceFactory(printer);
        DrawReport(*surface, ReportLines, dateLine,
                   {PrintTopMargin, PrintLeftMargin, PrintRightMargin});
    } catch (const std::exception& e) {
        // The job has been aborted; the failure is shown as it is.
        ShowApplicationError(QString::fromUtf8(e.what()));
    }
}

void TAppForm::Printer1Execute() {
    PageSetupProvider(CurrentPrinter());
}
