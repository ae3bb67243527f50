#pragma once

#include <QString>
#include <QStringList>

class TReportSurface;

struct ReportMargins {
    double top = 1.0, left = 1.5, right = 1.0; // centimetres; there is no bottom margin
};

inline const QString ReportJobName = QStringLiteral("Zuvex 910k Konfiguration");

// "Druckdatum " and today's date in the system's short date format.
QString ReportDateLine();

// Prints `lines` as one page: the date line right-aligned at the top, the title 16 point
// bold and underlined, then the other lines 10 point, headings bold and underlined. The
// heading marks are removed from `lines` as the headings are printed. A failure of the
// surface aborts the document and is passed on.
void DrawReport(TReportSurface& surface, QStringList& lines, const QString& dateLine,
                const ReportMargins& margins);
