// Printing from the window: what is drawn where, the dialogs, printer failures, a real PDF.
#include "RecordingSurface.h"
#include "ReportEntries.h"
#include "WindowTest.h"
#include "app/Application.h"

#include <QPrinter>

namespace {

// A printer of 600 dpi with its printable width on A4.
constexpr int PrinterDpi = 600;
constexpr int PrinterPageWidth = 4724;

constexpr int DateGap = 10; // pixels between the date line and the right margin
constexpr int TextPoints = 10;
constexpr int TitlePoints = 16;

// The date line is drawn first, then the report's lines.
constexpr int DateLines = 1;

QString todayLine() {
    return "Druckdatum " + QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
}

// The print dialog is answered "print"; the report is recorded at `dpi`.
void recordPrints(TAppFormProbe& form, PrintRecord& record, int dpi = PrinterDpi,
                  int pageWidth = PrinterPageWidth, int failAtText = -1) {
    form.PrintDialogProvider = [](QPrinter&) { return true; };
    form.ReportSurfaceFactory = [&record, dpi, pageWidth, failAtText](QPrinter&) {
        ++record.prints;
        return std::make_unique<RecordingSurface>(record, dpi, pageWidth, failAtText);
    };
}

// The report's lines as they are printed: the headings without their mark.
QStringList printedLines(QStringList lines) {
    for (QString& line : lines)
        line.remove(ReportHeadingMark);
    return lines;
}

// The general error display's caption; it shows a failure's own text.
const QString AppErrorCaption = QStringLiteral("Zuvex 910k Konfigurator");

struct PdfWord {
    QString text;
    double xMin, yMin, xMax, yMax;
};

// A PDF's words in reading order with their boxes in points (`pdftotext -bbox`); its pages.
QList<PdfWord> pdfWords(const QString& pdf, int& pages) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {"-bbox", pdf, "-"});
    p.waitForFinished(30000);
    const QString boxes = QString::fromUtf8(p.readAllStandardOutput());
    pages = int(boxes.count("<page "));
    static const QRegularExpression re(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    QList<PdfWord> words;
    for (auto it = re.globalMatch(boxes); it.hasNext();) {
        const auto m = it.next();
        words << PdfWord{m.captured(5), m.captured(1).toDouble(), m.captured(2).toDouble(),
                         m.captured(3).toDouble(), m.captured(4).toDouble()};
    }
    return words;
}

// Where the report lands on a printer of `dpi`, in device pixels of the printable area.
struct PageLayout {
    int dpi, pageWidth;
    int top() const { return CentimetresToPixels(dpi, 1.0); }
    int left() const { return CentimetresToPixels(dpi, 1.5); }
    int right() const { return CentimetresToPixels(dpi, 1.0); }
    int dateEnd() const { return pageWidth - right() - DateGap; } // the date line's right end
    int step(int points) const { return ReportLineStep(FontHeightPixels(points, dpi)); }
};

} // namespace

class TestReportPrint : public QObject, AppWithSim {
    Q_OBJECT
    // The window's printer writes the PDF file of that name in the test's home; its path.
    QString printIntoPdf(const QString& name) {
        form->Printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
        form->Printer->setOutputFormat(QPrinter::PdfFormat);
        form->Printer->setOutputFileName(home->path(name));
        return form->Printer->outputFileName();
    }
    // Prints, answering the general error display's box; what it showed.
    ShownBox printShowingError() {
        ModalAnswer err("ApplicationErrorBox", press("OK"));
        action(*form, "Print1")->trigger();
        return shown(err);
    }

private slots:
    void initTestCase() {
        // as the program does at start-up: Qt's own dialogs in German
        QVERIFY(static_cast<TApplication*>(qApp)->loadGermanTranslations());
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    // Every print draws the same page: the date line, the title, the entries one line apart.
    void positions_data() {
        QTest::addColumn<PageLayout>("px");
        QTest::newRow("600 dpi") << PageLayout{PrinterDpi, PrinterPageWidth};
        QTest::newRow("300 dpi") << PageLayout{PrinterDpi / 2, PrinterPageWidth / 2};
    }
    void positions() {
        QFETCH(PageLayout, px);
        PrintRecord record;
        recordPrints(*form, record, px.dpi, px.pageWidth);
        const QStringList lines = BuildReport(factorySettings());
        const int titleY = px.top() + px.step(TextPoints);
        QList<DrawnText> expected{
            {px.dateEnd() - recordedTextWidth(todayLine(), px.dpi),
             px.top(),
             todayLine(),
             {"Arial", TextPoints}},
            {px.left(), titleY, lines[0], {"Arial", TitlePoints, true, true}}};
        for (int i = 1; i < lines.size(); ++i) {
            const bool heading = lines[i].startsWith(ReportHeadingMark);
            const int y = titleY + px.step(TitlePoints) + (i - 1) * px.step(TextPoints);
            expected << DrawnText{px.left(),
                                  y,
                                  QString(lines[i]).remove(ReportHeadingMark),
                                  {"Arial", TextPoints, heading, heading}};
        }
        for (int print = 1; print <= 2; ++print) {
            record.calls.clear();
            record.drawn.clear();
            action(*form, "Print1")->trigger();
            QCOMPARE(record.prints, print);
            QCOMPARE(record.calls, (QStringList{"job:Zuvex 910k Konfiguration", "begin", "end"}));
            QCOMPARE(record.drawn, expected);
        }
    }

    // The report is read from the controls: the next print shows what changed, saved or not.
    void printFollowsControls() {
        PrintRecord record;
        recordPrints(*form, record);
        action(*form, "Print1")->trigger(); // the menu's and the tool button's action
        part<QAbstractButton>(*form, "RBTfe22")->click();
        QVERIFY(form->windowTitle().endsWith(u'*'));
        record = PrintRecord{};
        action(*form, "Print1")->trigger();
        const ReportEntries tfe{{ReportLine::permission(2), "   Intern 2 = nichtamtsberechtigt"},
                                {ReportLine::ring(2), "   Intern 2 = "}};
        QStringList drawnLines;
        for (const DrawnText& drawn : record.drawn.mid(DateLines))
            drawnLines << drawn.text;
        QCOMPARE(drawnLines, printedLines(withEntries(BuildReport(factorySettings()), tfe)));
    }

    // A printer failing mid-document: the job aborts, its text is shown, the next print works.
    void printerFailureAborts_data() {
        QTest::addColumn<int>("failAt");
        QTest::newRow("date line") << 0;
        QTest::newRow("a heading") << DateLines + ReportLine::ExternHeading;
        QTest::newRow("last line") << DateLines + ReportLine::Count - 1;
    }
    void printerFailureAborts() {
        QFETCH(int, failAt);
        PrintRecord record;
        recordPrints(*form, record, PrinterDpi, PrinterPageWidth, failAt);
        QCOMPARE(printShowingError(), ShownBox(AppErrorCaption, {"Papierstau im Drucker."}));
        QCOMPARE(record.calls, (QStringList{"job:Zuvex 910k Konfiguration", "begin", "abort"}));
        QCOMPARE(record.drawn.size(), failAt);

        record = PrintRecord{};
        recordPrints(*form, record);
        action(*form, "Print1")->trigger();
        QCOMPARE(record.calls.last(), QStringLiteral("end"));
        QCOMPARE(record.drawn.size(), DateLines + ReportLine::Count);
    }

    void realPrintToPdf() {
        const QString pdf = printIntoPdf("bericht.pdf");
        int dialogs = 0;
        form->PrintDialogProvider = [&dialogs](QPrinter&) { return ++dialogs > 0; };
        action(*form, "Print1")->trigger();
        QCOMPARE(dialogs, 1);

        // every word of the report, in order, on one page
        int pages = 0;
        const QList<PdfWord> words = pdfWords(pdf, pages);
        QCOMPARE(pages, 1);
        QStringList texts;
        for (const PdfWord& w : words)
            texts << w.text;
        const QStringList report =
            QStringList(todayLine()) + printedLines(BuildReport(factorySettings()));
        QCOMPARE(texts.join(' '), report.join(' ').simplified());

        // the date line right-aligned to the right margin, the title at the left one
        const qsizetype dateWords = todayLine().split(u' ').size();
        const PdfWord& dateValue = words.at(dateWords - 1);
        const PdfWord& title = words.at(dateWords);
        const QRectF printable = form->Printer->pageLayout().paintRect(QPageLayout::Point);
        const PageLayout px{form->Printer->logicalDpiY(), form->Printer->width()};
        const double pt = 72.0 / px.dpi; // points per device pixel
        QCOMPARE_LT(qAbs(dateValue.xMax - (printable.left() + px.dateEnd() * pt)), 1.0);
        QCOMPARE_LT(qAbs(title.xMin - (printable.left() + px.left() * pt)), 1.0);
        // the title's top one line (10 point) below the top margin
        const double titleTop = printable.top() + (px.top() + px.step(TextPoints)) * pt;
        QCOMPARE_LT(qAbs(title.yMin - titleTop), 4.0);
    }

    void unwritablePrinterOutputIsShown() {
        const QString pdf = printIntoPdf("fehlt/bericht.pdf");
        form->PrintDialogProvider = [](QPrinter&) { return true; };
        QCOMPARE(printShowingError(),
                 ShownBox(AppErrorCaption,
                          {"Die Druckdatei \"" + pdf + "\" kann nicht angelegt werden."}));
    }

    // Qt's own print and page set-up dialogs, in German; a cancelled print prints nothing.
    void platformDialogs_data() {
        QTest::addColumn<bool>("print");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("caption");
        QTest::newRow("print, cancelled") << true << "PrintDialog1" << QString("Drucken");
        QTest::newRow("printer setup")
            << false << "PrinterSetupDialog1" << QString("Seite einrichten");
    }
    void platformDialogs() {
        QFETCH(bool, print);
        QFETCH(QString, dialog);
        QFETCH(QString, caption);
        const QString pdf = printIntoPdf("bericht.pdf");
        ModalAnswer dlg(dialog, [print](QWidget* w) {
            print ? static_cast<QDialog*>(w)->reject() : static_cast<QDialog*>(w)->accept();
        });
        (print ? action(*form, "Print1") : action(*form, "Printer1"))->trigger();
        QVERIFY(dlg.seen());
        QCOMPARE(dlg.caption, caption);
        QVERIFY(!QFile::exists(pdf));
    }

    void printerSetupAppliesToPrinting() {
        form->PageSetupProvider = [](QPrinter& p) { p.setPageOrientation(QPageLayout::Landscape); };
        action(*form, "Printer1")->trigger();
        auto printedOn = QPageLayout::Portrait;
        form->PrintDialogProvider = [&printedOn](QPrinter& p) {
            printedOn = p.pageLayout().orientation();
            return false;
        };
        action(*form, "Print1")->trigger();
        QCOMPARE(printedOn, QPageLayout::Landscape);
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TestReportPrint test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_reportprint.moc"
