#include "app/ReportDrawing.h"

#include "app/ReportBuilder.h"
#include "app/ReportSurface.h"

#include <QDate>
#include <QLocale>

namespace {

const QString FontName = QStringLiteral("Arial");

// Everything from beginning the document to ending it.
void drawPage(TReportSurface& s, QStringList& lines, const QString& dateLine, int pageWidth,
              const ReportMargins& margins) {
    s.SetFont({FontName, 10, false, false});
    // Margins all from the vertical resolution, as the printer's font reports it.
    const int dpi = s.PixelsPerInch();
    int y = CentimetresToPixels(dpi, margins.top);
    const int x = CentimetresToPixels(dpi, margins.left);
    const int right = CentimetresToPixels(dpi, margins.right);

    // The date line ends 10 pixels before the right margin.
    s.TextOut(pageWidth - right - (s.TextWidth(dateLine) + 10), y, dateLine);
    y += ReportLineStep(s.FontHeight());

    if (lines.isEmpty())
        return;
    s.SetFont({FontName, 16, true, true});
    s.TextOut(x, y, lines[0]);
    y += ReportLineStep(s.FontHeight());

    s.SetFont({FontName, 10, false, false});
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].startsWith(ReportHeadingMark)) {
            s.SetFont({FontName, 10, true, true});
            lines[i].remove(0, ReportHeadingMark.size());
            s.TextOut(x, y, lines[i]);
            s.SetFont({FontName, 10, false, false});
        } else {
            s.TextOut(x, y, lines[i]);
        }
        y += ReportLineStep(s.FontHeight());
    }
}

} // namespace

void DrawReport(TReportSurface& surface, QStringList& lines, const QString& dateLine,
                const ReportMargins& margins) {
    const int pageWidth = surface.PageWidth();
    surface.SetJobName(ReportJobName);
    try {
        surface.BeginDoc();
        drawPage(surface, lines, dateLine, pageWidth, margins);
        surface.EndDoc();
    } catch (...) {
        surface.Abort();
        throw;
    }
}

QString ReportDateLine() {
    return QStringLiteral("Druckdatum ") +
           QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
}
