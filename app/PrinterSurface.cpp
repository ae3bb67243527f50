#include "app/PrinterSurface.h"

#include "app/ReportBuilder.h"

#include <QFile>
#include <QFontMetrics>
#include <QPrinter>
#include <stdexcept>

namespace {
[[noreturn]] void fail(const QString& text) {
    throw std::runtime_error(text.toStdString());
}
} // namespace

TPrinterSurface::TPrinterSurface(QPrinter& printer) : printer_(printer) {
    SetFont(font_);
}

TPrinterSurface::~TPrinterSurface() {
    if (painter_.isActive())
        painter_.end();
}

int TPrinterSurface::PageWidth() const {
    return printer_.width(); // the printable area, in device pixels
}

void TPrinterSurface::SetJobName(const QString& name) {
    printer_.setDocName(name);
}

void TPrinterSurface::BeginDoc() {
    if (painter_.begin(&printer_))
        return;
    if (!printer_.outputFileName().isEmpty())
        fail(QStringLiteral("Die Druckdatei \"%1\" kann nicht angelegt werden.")
                 .arg(printer_.outputFileName()));
    if (printer_.printerName().isEmpty())
        fail(QStringLiteral("Es ist kein Drucker installiert."));
    fail(QStringLiteral("Der Drucker \"%1\" kann nicht drucken.").arg(printer_.printerName()));
}

void TPrinterSurface::EndDoc() {
    throwOnPrinterError();
    if (!painter_.end() || printer_.printerState() == QPrinter::Error)
        fail(QStringLiteral("Der Druckauftrag konnte nicht abgeschlossen werden."));
}

void TPrinterSurface::Abort() {
    if (!painter_.isActive())
        return;
    const bool aborted = printer_.abort();
    painter_.end();
    // Qt's PDF engine cannot abort; a half-written file must not look like a report.
    if (!aborted && !printer_.outputFileName().isEmpty())
        QFile::remove(printer_.outputFileName());
}

void TPrinterSurface::SetFont(const ReportFont& font) {
    font_ = font;
    qfont_ = QFont(font.name);
    // The character height in device pixels, as FontHeight reports it.
    qfont_.setPixelSize(FontHeight());
    qfont_.setBold(font.bold);
    qfont_.setUnderline(font.underline);
    if (painter_.isActive())
        painter_.setFont(qfont_);
}

int TPrinterSurface::FontHeight() const {
    return FontHeightPixels(font_.points, PixelsPerInch());
}

int TPrinterSurface::PixelsPerInch() const {
    return printer_.logicalDpiY();
}

int TPrinterSurface::TextWidth(const QString& text) const {
    return QFontMetrics(qfont_, &printer_).horizontalAdvance(text);
}

void TPrinterSurface::TextOut(int x, int y, const QString& text) {
    if (!text.isEmpty()) {
        // QPainter places text on its baseline; the report gives the top edge.
        painter_.setFont(qfont_);
        painter_.drawText(x, y + QFontMetrics(qfont_, &printer_).ascent(), text);
    }
    throwOnPrinterError();
}

void TPrinterSurface::throwOnPrinterError() const {
    if (printer_.printerState() == QPrinter::Error)
        fail(QStringLiteral("Der Drucker meldet einen Fehler."));
}
