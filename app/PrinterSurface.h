#pragma once

#include "app/ReportSurface.h"

#include <QFont>
#include <QPainter>

class QPrinter;

// The report surface on a real printer (or PDF file) through QPainter.
class TPrinterSurface : public TReportSurface {
public:
    explicit TPrinterSurface(QPrinter& printer);
    ~TPrinterSurface() override;

    int PageWidth() const override;
    void SetJobName(const QString& name) override;
    void BeginDoc() override;
    void EndDoc() override;
    void Abort() override;

    void SetFont(const ReportFont& font) override;
    int FontHeight() const override;
    int PixelsPerInch() const override;
    int TextWidth(const QString& text) const override;
    void TextOut(int x, int y, const QString& text) override;

private:
    void throwOnPrinterError() const;

    QPrinter& printer_;
    QPainter painter_;
    ReportFont font_;
    QFont qfont_;
};
