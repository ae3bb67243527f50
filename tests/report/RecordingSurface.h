#pragma once

#include "app/ReportBuilder.h"
#include "app/ReportSurface.h"

#include <QTest>
#include <stdexcept>

// What a print did: the document calls in order and every string drawn with its font.
struct DrawnText {
    int x = 0;
    int y = 0;
    QString text;
    ReportFont font;
    bool operator==(const DrawnText&) const = default;
};

inline char* toString(const DrawnText& d) {
    return QTest::toString(QString::asprintf(
        "%d,%d %s %d%s%s \"%s\"", d.x, d.y, qUtf8Printable(d.font.name), d.font.points,
        d.font.bold ? "B" : "", d.font.underline ? "U" : "", qUtf8Printable(d.text)));
}

struct PrintRecord {
    QStringList calls; // "job:<name>", "begin", "end", "abort"
    QList<DrawnText> drawn;
    int prints = 0; // surfaces created
};

// Text is recorded 1/20 inch per character wide.
inline int recordedTextWidth(const QString& text, int dpi) {
    return int(text.size()) * dpi / 20;
}

// A printer that records instead of printing; with failAtText >= 0 drawing that string fails.
class RecordingSurface : public TReportSurface {
public:
    RecordingSurface(PrintRecord& record, int dpi, int pageWidth, int failAtText = -1)
        : record_(record), dpi_(dpi), pageWidth_(pageWidth), failAtText_(failAtText) {}

    int PageWidth() const override { return pageWidth_; }
    void SetJobName(const QString& name) override { record_.calls << "job:" + name; }
    void BeginDoc() override { record_.calls << QStringLiteral("begin"); }
    void EndDoc() override { record_.calls << QStringLiteral("end"); }
    void Abort() override { record_.calls << QStringLiteral("abort"); }
    void SetFont(const ReportFont& font) override { font_ = font; }
    int FontHeight() const override { return FontHeightPixels(font_.points, dpi_); }
    int PixelsPerInch() const override { return dpi_; }
    int TextWidth(const QString& text) const override { return recordedTextWidth(text, dpi_); }
    void TextOut(int x, int y, const QString& text) override {
        if (int(record_.drawn.size()) == failAtText_)
            throw std::runtime_error("Papierstau im Drucker.");
        record_.drawn << DrawnText{x, y, text, font_};
    }

private:
    PrintRecord& record_;
    int dpi_;
    int pageWidth_;
    int failAtText_;
    ReportFont font_;
};
