#pragma once

#include <QStringList>

// The report's lines by number: the title, then three sections, each an empty line and a heading.
namespace ReportLine {
constexpr int ExternHeading = 3;
constexpr int Amtsholung = 4;
constexpr int Heranholen = 5;
constexpr int Anklopfschutz = 6;
constexpr int Wartemusik = 7;
constexpr int BerechtigungenHeading = 9;
constexpr int RufHeading = 15;
constexpr int Count = 21;
constexpr int permission(int port) {
    return BerechtigungenHeading + port;
}
constexpr int ring(int port) {
    return RufHeading + port;
}
} // namespace ReportLine

// A line of the report that differs from the factory report.
struct ReportEntry {
    int line;
    QString text;
};
using ReportEntries = QList<ReportEntry>;

inline QStringList withEntries(QStringList lines, const ReportEntries& entries) {
    for (const ReportEntry& entry : entries)
        lines[entry.line] = entry.text;
    return lines;
}
