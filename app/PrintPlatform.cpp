#include "app/PrintPlatform.h"

#include "app/PrinterSurface.h"

#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

bool runPlatformPrintDialog(QPrinter& printer) {
    QPrintDialog dlg(&printer);
    dlg.setObjectName(QStringLiteral("PrintDialog1"));
    return dlg.exec() == QDialog::Accepted;
}

void runPlatformPageSetupDialog(QPrinter& printer) {
    QPageSetupDialog dlg(&printer);
    dlg.setObjectName(QStringLiteral("PrinterSetupDialog1"));
    dlg.exec();
}

std::unique_ptr<TReportSurface> makePrinterSurface(QPrinter& printer) {
    return std::make_unique<TPrinterSurface>(printer);
}
