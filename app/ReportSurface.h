#pragma once

#include <QString>

// A font of the report: name, size in points and style.
struct ReportFont {
    QString name;
    int points = 10;
    bool bold = false;
    bool underline = false;
    bool operator==(const ReportFont&) const = default;
};

// The printer as the report sees it: one document on one page, drawn in device pixels of
// the printable area (origin at its top-left corner). Any call between BeginDoc and EndDoc
// may throw std::exception when the printer fails; the caller then calls Abort.
class TReportSurface {
public:
    virtual ~TReportSurface() = default;

    // ---- the document ----
    virtual int PageWidth() const = 0; // printable width in device pixels
    virtual void SetJobName(const QString& name) = 0;
    virtual void BeginDoc() = 0;
    virtual void EndDoc() = 0;
    virtual void Abort() = 0; // discards what has been drawn

    // ---- drawing ----
    virtual void SetFont(const ReportFont& font) = 0;
    virtual int FontHeight() const = 0;    // of the current font, in pixels
    virtual int PixelsPerInch() const = 0; // vertical resolution
    virtual int TextWidth(const QString& text) const = 0;
    virtual void TextOut(int x, int y, const QString& text) = 0; // top-left corner at (x, y)
};
