#pragma once

#include "config/ConfigCodec.h"

#include <QString>
#include <QStringList>

// Marks a report line as a section heading: the mark is not printed, the rest of the
// line is printed bold and underlined.
inline const QString ReportHeadingMark = QStringLiteral("<U>");

// The 21 lines of the printed report for the editor's checked states. Entry 0 is the
// title; detail lines start with three blanks.
QStringList BuildReport(const TEditorSettings& settings);

// trunc(n × a × b) taken from the exact real values of the doubles, not from a rounded
// double product (50 × 1.2 is 59.99999999999999778 and gives 59, not 60).
long long TruncExactProduct(long long n, double a, double b = 1.0);

// The distance between two report lines for a font `heightPixels` high: trunc(height × 1.2).
int ReportLineStep(int heightPixels);

// A margin in device pixels: trunc(dpi × 0.39370078740157477 × centimetres).
int CentimetresToPixels(int dpi, double centimetres);

// The pixel height of a font of `points` at `dpi`, rounded to the nearest pixel
// (halves away from zero): 10 points at 600 dpi are 83 pixels.
int FontHeightPixels(int points, int dpi);
