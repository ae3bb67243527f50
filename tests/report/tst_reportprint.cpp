// Printing from the main window: what is drawn where, the print and printer-setup
// dialogs, failures of the printer, and one real print into a PDF file.
#include "AppWithSim.h"
#include "ModalDriver.h"
#include "RecordingSurface.h"
#include "ShownBox.h"
#include "WindowParts.h"
#include "app/AppFormProbe.h"
#include "app/ReportBuilder.h"
#include "config/EditorPages.h"

#include <QAbstractButton>
#include <QDate>
#include <QDialog>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTranslator>

namespace {

QString todayLine() {
    return QStringLiteral("Druckdatum ") +
           QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
}

// The print dialog is answered "print"; the report is recorded at `dpi`.
void recordPrints(TAppFormProbe& form, PrintRecord& record, int dpi = 600, int pageWidth = 4724,
                  int failAtText = -1) {
    form.PrintDialogProvider = [](QPrinter&) { return true; };
    form.ReportSurfaceFactory = [&record, dpi, pageWidth, failAtText](QPrinter&) {
        ++record.prints;
        return std::make_unique<RecordingSurface>(record, dpi, pageWidth, failAtText);
    };
}

QStringList describe(const QList<DrawnText>& drawn) {
    QStringList out;
    for (const DrawnText& d : drawn)
        out << QStringLiteral("%1,%2 %3 %4%5%6 \"%7\"")
                   .arg(d.x)
                   .arg(d.y)
                   .arg(d.font.name)
                   .arg(d.font.points)
                   .arg(d.font.bold ? "B" : "")
                   .arg(d.font.underline ? "U" : "")
                   .arg(d.text);
    return out;
}

void click(TAppFormProbe& form, const QString& name) {
    auto* b = form.findChild<QAbstractButton*>(name);
    QVERIFY2(b, qPrintable(name));
    QVERIFY2(b->isEnabled(), qPrintable(name));
    b->click();
}

// A failure's own text in the general error display.
ShownBox appError(const QString& text) {
    return {"Zuvex 910k Konfigurator", {text}};
}

struct PdfWord {
    QString text;
    double xMin, yMin, xMax, yMax;
};

QString pdftotext(const QString& option, const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {option, pdf, "-"});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The words of a PDF with their boxes in points, in reading order.
QList<PdfWord> pdfWords(const QString& pdf) {
    static const QRegularExpression re(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    QList<PdfWord> words;
    for (auto it = re.globalMatch(pdftotext("-bbox", pdf)); it.hasNext();) {
        const auto m = it.next();
        QString text = m.captured(5);
        text.replace("&amp;", "&").replace("&lt;", "<").replace("&gt;", ">");
        words << PdfWord{text, m.captured(1).toDouble(), m.captured(2).toDouble(),
                         m.captured(3).toDouble(), m.captured(4).toDouble()};
    }
    return words;
}

// The window's printer writes into `pdf` (a file name) instead.
void printIntoPdf(TAppFormProbe& form, const QString& pdf) {
    form.Printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    form.Printer->setOutputFormat(QPrinter::PdfFormat);
    if (!pdf.isEmpty())
        form.Printer->setOutputFileName(pdf);
}

const PdfWord* findWord(const QList<PdfWord>& words, const QString& text) {
    for (const PdfWord& w : words)
        if (w.text == text)
            return &w;
    return nullptr;
}

// Where the report lands on a page, in device pixels of the printable area.
struct PageLayout {
    int dpi, pageWidth, top, left, right, step10, step16, titleY, entry1Y, entry3Y;
};

} // namespace
Q_DECLARE_METATYPE(PageLayout)

class TestReportPrint : public QObject, AppWithSim {
    Q_OBJECT
    // Prints, answering the general error display's box; what it showed.
    ShownBox printShowingError() {
        ModalAnswer err("ApplicationErrorBox", press("OK"));
        action(*form, "Print1")->trigger();
        return shown(err);
    }

private slots:
    void initTestCase() {
        // as the program does at start-up: Qt's own dialogs in German
        auto* translator = new QTranslator(this);
        QVERIFY(translator->load(QLocale(QLocale::German, QLocale::Germany),
                                 QStringLiteral("qtbase"), QStringLiteral("_"),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
        QCoreApplication::installTranslator(translator);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    // The report is read from the controls: each click changes the listed entries only.
    void reportFollowsControls_data() {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QList<int>>("entries");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("factory state")
            << QStringList{} << QList<int>{10, 11, 16}
            << QStringList{"   Intern 1 = amtsberechtigt + türberechtigt",
                           "   Intern 2 = vollamtsberechtigt + türberechtigt",
                           "   Intern 1 = Externen Anruf signalisieren + Klingeltaste1 + "
                           "Klingeltaste2 + Klingeltaste3 + Klingeltaste4"};
        QTest::newRow("Externanschluss page")
            << QStringList{"RBAmtsholungNein", "RBHeranholenNein", "RBAnklopfschutzJa",
                           "RBWartemusikNein"}
            << QList<int>{4, 5, 6, 7}
            << QStringList{"   Wählen Extern = Vorwahl der Kennziffer 0",
                           "   Externanrufe heranholen = nein", "   Anklopfschutz = ja",
                           "   Wartemusik = aus"};
        QTest::newRow("halbamtsberechtigt port 1")
            << QStringList{"RBhab21"} << QList<int>{10}
            << QStringList{"   Intern 1 = halbamtsberechtigt + türberechtigt"};
        QTest::newRow("TFE port 1")
            << QStringList{"RBTfe21"} << QList<int>{10, 16}
            << QStringList{"   Intern 1 = nichtamtsberechtigt", "   Intern 1 = "};
        QTest::newRow("TFE port 3")
            << QStringList{"RBTfe23"} << QList<int>{12, 18}
            << QStringList{"   Intern 3 = nichtamtsberechtigt", "   Intern 3 = "};
        QTest::newRow("port 3 ring boxes cleared")
            << QStringList{"CBarb23", "CBTaste1Ruf23", "CBTaste2Ruf23", "CBTaste3Ruf23",
                           "CBTaste4Ruf23"}
            << QList<int>{18} << QStringList{"   Intern 3 = "};
        QTest::newRow("port 2 without door permission")
            << QStringList{"CBtb22"} << QList<int>{11, 17}
            << QStringList{"   Intern 2 = vollamtsberechtigt",
                           "   Intern 2 = Externen Anruf signalisieren"};
        QTest::newRow("port 4 nichtamtsberechtigt")
            << QStringList{"RBnab24"} << QList<int>{13, 19}
            << QStringList{"   Intern 4 = nichtamtsberechtigt + türberechtigt",
                           "   Intern 4 = Klingeltaste1 + Klingeltaste2 + Klingeltaste3 + "
                           "Klingeltaste4"};
        QTest::newRow("Anrufbeantworter port 2")
            << QStringList{"RBAnrufbeantworter22"} << QList<int>{11, 17}
            << QStringList{"   Intern 2 = vollamtsberechtigt",
                           "   Intern 2 = Externen Anruf signalisieren"};
    }
    void reportFollowsControls() {
        QFETCH(QStringList, clicks);
        QFETCH(QList<int>, entries);
        QFETCH(QStringList, texts);
        QVERIFY(form->ReportLines.isEmpty());
        for (const QString& name : clicks)
            click(*form, name);
        form->BuildReport();
        QStringList expected = BuildReport(factorySettings());
        for (int i = 0; i < entries.size(); ++i)
            expected[entries[i]] = texts[i];
        QCOMPARE(form->ReportLines, expected);
    }

    void positions_data() {
        QTest::addColumn<PageLayout>("px");
        QTest::newRow("600 dpi") << PageLayout{600, 4724, 236, 354, 236, 99, 159, 335, 494, 692};
        QTest::newRow("300 dpi") << PageLayout{300, 2362, 118, 177, 118, 50, 80, 168, 248, 348};
    }
    void positions() {
        QFETCH(PageLayout, px);
        PrintRecord record;
        recordPrints(*form, record, px.dpi, px.pageWidth);
        action(*form, "Print1")->trigger();

        QCOMPARE(record.calls, (QStringList{"job:Zuvex 910k Konfiguration", "begin", "end"}));
        const QStringList lines = BuildReport(factorySettings());
        QCOMPARE(record.drawn.size(), 1 + lines.size());

        // the date line ending 10 pixels before the right margin, then the title
        const int dateX = px.pageWidth - px.right - 10 - int(todayLine().size()) * px.dpi / 20;
        QCOMPARE(
            describe(record.drawn.mid(0, 2)),
            (QStringList{QString("%1,%2 Arial 10 \"%3\"").arg(dateX).arg(px.top).arg(todayLine()),
                         QString("%1,%2 Arial 16BU \"Zuvex 910k Konfiguration\"")
                             .arg(px.left)
                             .arg(px.titleY)}));
        QCOMPARE(px.titleY, px.top + px.step10);
        QCOMPARE(record.drawn[2].y, px.entry1Y);
        QCOMPARE(px.entry1Y, px.titleY + px.step16);
        QCOMPARE(record.drawn[4].text, QStringLiteral("Externanschluss"));
        QCOMPARE(record.drawn[4].y, px.entry3Y);
        for (int i = 1; i < lines.size(); ++i) {
            const DrawnText& d = record.drawn[1 + i];
            const bool heading = lines[i].startsWith("<U>");
            QCOMPARE(d.text, heading ? lines[i].mid(3) : lines[i]);
            QCOMPARE(d.x, px.left);
            QCOMPARE(d.y, px.entry1Y + (i - 1) * px.step10);
            QCOMPARE(d.font, (ReportFont{"Arial", 10, heading, heading}));
        }
        // the printed headings have lost their marks in ReportLines
        QCOMPARE(form->ReportLines[3], QStringLiteral("Externanschluss"));
        QCOMPARE(form->ReportLines[9], QStringLiteral("Berechtigungen"));
        QCOMPARE(form->ReportLines[15], QStringLiteral("Rufverteilung"));
        // everything on one page: the last entry about 10 cm below the top
        QVERIFY(record.drawn.last().y * 2.54 / px.dpi < 10.5);
    }

    void secondPrintIsTheSame() {
        PrintRecord record;
        recordPrints(*form, record);
        action(*form, "Print1")->trigger();
        const QStringList first = describe(record.drawn);
        record.drawn.clear();
        action(*form, "Print1")->trigger();
        QCOMPARE(record.prints, 2);
        QCOMPARE(describe(record.drawn), first);
        // the headings bold and underlined the second time too
        for (int i : {4, 10, 16})
            QCOMPARE(record.drawn[i].font, (ReportFont{"Arial", 10, true, true}));
    }

    void printsUnsavedChanges() {
        click(*form, "RBTfe22");
        QVERIFY(form->Modified);
        PrintRecord record;
        recordPrints(*form, record);
        action(*form, "Print1")->trigger(); // the menu's and the tool button's action
        QCOMPARE(record.prints, 1);
        QCOMPARE(record.drawn[1 + 11].text, QStringLiteral("   Intern 2 = nichtamtsberechtigt"));
        QCOMPARE(record.drawn[1 + 17].text, QStringLiteral("   Intern 2 = "));
    }

    void cancelPrintsNothingButRebuildsLines() {
        PrintRecord record;
        recordPrints(*form, record);
        action(*form, "Print1")->trigger();
        QCOMPARE(form->ReportLines[3], QStringLiteral("Externanschluss"));

        click(*form, "RBWartemusikNein");
        int dialogs = 0;
        form->PrintDialogProvider = [&dialogs](QPrinter&) {
            ++dialogs;
            return false;
        };
        record.drawn.clear();
        record.calls.clear();
        action(*form, "Print1")->trigger();
        QCOMPARE(dialogs, 1);
        QCOMPARE(record.prints, 1); // no surface for the cancelled print
        QVERIFY(record.calls.isEmpty());
        QVERIFY(record.drawn.isEmpty());
        QCOMPARE(form->ReportLines, BuildReport(part<TEditorPages>(*form)->ReadSettings()));
        QCOMPARE(form->ReportLines[3], QStringLiteral("<U>Externanschluss"));
        QCOMPARE(form->ReportLines[7], QStringLiteral("   Wartemusik = aus"));
    }

    // A printer failing while the document is produced: the job is aborted, the failure's
    // own text is shown by the general error display, and the next print works.
    void printerFailureAborts_data() {
        QTest::addColumn<int>("failAt");
        QTest::newRow("date line") << 0;
        QTest::newRow("a heading") << 4;
        QTest::newRow("last line") << 21;
    }
    void printerFailureAborts() {
        QFETCH(int, failAt);
        PrintRecord record;
        recordPrints(*form, record, 600, 4724, failAt);
        QCOMPARE(printShowingError(), appError("Papierstau im Drucker."));
        QCOMPARE(record.calls, (QStringList{"job:Zuvex 910k Konfiguration", "begin", "abort"}));
        QCOMPARE(record.drawn.size(), failAt);

        record = PrintRecord{};
        recordPrints(*form, record);
        action(*form, "Print1")->trigger();
        QCOMPARE(record.calls.last(), QStringLiteral("end"));
        QCOMPARE(record.drawn.size(), 22);
    }

    // The program's own print path into a PDF file.
    void realPrintToPdf() {
        const QString pdf = home->path("bericht.pdf");
        printIntoPdf(*form, pdf);
        int dialogs = 0;
        form->PrintDialogProvider = [&dialogs](QPrinter&) { return ++dialogs > 0; };
        action(*form, "Print1")->trigger();
        QCOMPARE(dialogs, 1);
        QVERIFY(QFile::exists(pdf));
        if (qEnvironmentVariableIsSet("ZUVEX_KEEP_REPORT_PDF"))
            QFile::copy(pdf, qEnvironmentVariable("ZUVEX_KEEP_REPORT_PDF"));

        // every line of the report, in order, on one page
        const QString text = pdftotext("-layout", pdf);
        QVERIFY2(!text.isEmpty(), "pdftotext failed");
        QCOMPARE(text.count(QLatin1Char('\f')), 1);
        qsizetype at = text.indexOf(todayLine());
        QVERIFY2(at >= 0, qPrintable(text));
        for (QString line : BuildReport(factorySettings())) {
            line = line.remove("<U>").trimmed();
            if (line.isEmpty())
                continue;
            const qsizetype next = text.indexOf(line, at);
            QVERIFY2(next > at, qPrintable("missing or out of order: " + line + "\n" + text));
            at = next + line.size();
        }

        // title at the top, date line above it and right-aligned to the right margin
        const QList<PdfWord> words = pdfWords(pdf);
        const PdfWord* date = findWord(words, QStringLiteral("Druckdatum"));
        const PdfWord* dateValue =
            findWord(words, QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
        const PdfWord* title = findWord(words, QStringLiteral("Zuvex"));
        const PdfWord* heading = findWord(words, QStringLiteral("Externanschluss"));
        QVERIFY(date && dateValue && title && heading);
        for (const PdfWord& w : words) {
            if (&w != date && &w != dateValue)
                QVERIFY2(w.yMin >= title->yMin, qPrintable(w.text));
        }
        QVERIFY(date->yMax <= title->yMin + 1);
        const QRectF printable = form->Printer->pageLayout().paintRect(QPageLayout::Point);
        const int dpi = form->Printer->logicalDpiY();
        const double pt = 72.0 / dpi; // points per device pixel
        const double rightEdge =
            printable.left() + (form->Printer->width() - CentimetresToPixels(dpi, 1.0) - 10) * pt;
        QVERIFY2(qAbs(dateValue->xMax - rightEdge) < 1.0,
                 qPrintable(
                     QString("date ends at %1, expected %2").arg(dateValue->xMax).arg(rightEdge)));
        const double leftEdge = printable.left() + CentimetresToPixels(dpi, 1.5) * pt;
        QVERIFY(qAbs(title->xMin - leftEdge) < 1.0);
        QVERIFY(qAbs(heading->xMin - leftEdge) < 1.0);
        // the title's top one line (10 point) below the top margin
        const double titleTop =
            printable.top() +
            (CentimetresToPixels(dpi, 1.0) + ReportLineStep(FontHeightPixels(10, dpi))) * pt;
        QVERIFY2(qAbs(title->yMin - titleTop) < 4.0,
                 qPrintable(QString("title at %1, expected %2").arg(title->yMin).arg(titleTop)));
    }

    void unwritablePrinterOutputIsShown() {
        const QString pdf = home->path("fehlt/bericht.pdf");
        printIntoPdf(*form, pdf);
        form->PrintDialogProvider = [](QPrinter&) { return true; };
        QCOMPARE(printShowingError(),
                 appError("Die Druckdatei \"" + pdf + "\" kann nicht angelegt werden."));
        QVERIFY(!QFile::exists(pdf));
    }

    // Qt's own print and page set-up dialogs, in German; a cancelled print prints nothing.
    void platformDialogs_data() {
        QTest::addColumn<bool>("print");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("caption");
        QTest::newRow("print, cancelled") << true << "PrintDialog1"
                                          << "Drucken";
        QTest::newRow("printer setup") << false << "PrinterSetupDialog1"
                                       << "Seite einrichten";
    }
    void platformDialogs() {
        QFETCH(bool, print);
        QFETCH(QString, dialog);
        QFETCH(QString, caption);
        const QString pdf = home->path("bericht.pdf");
        printIntoPdf(*form, pdf);
        ModalAnswer dlg(dialog, [print](QWidget* w) {
            print ? static_cast<QDialog*>(w)->reject() : static_cast<QDialog*>(w)->accept();
        });
        (print ? action(*form, "Print1") : action(*form, "Printer1"))->trigger();
        QVERIFY(dlg.seen());
        QCOMPARE(dlg.caption, caption);
        QVERIFY(!QFile::exists(pdf));
        QCOMPARE(form->ReportLines, print ? BuildReport(factorySettings()) : QStringList());
    }

    // What the printer setup chose applies to the next print.
    void printerSetupAppliesToPrinting() {
        printIntoPdf(*form, QString());
        form->Printer->setPageOrientation(QPageLayout::Portrait);
        const int portraitWidth = form->Printer->width();
        form->PageSetupProvider = [](QPrinter& p) { p.setPageOrientation(QPageLayout::Landscape); };
        action(*form, "Printer1")->trigger();

        int widthSeen = 0;
        QPrinter* printerSeen = nullptr;
        form->PrintDialogProvider = [](QPrinter&) { return true; };
        PrintRecord record;
        form->ReportSurfaceFactory = [&](QPrinter& p) {
            printerSeen = &p;
            widthSeen = p.width();
            return std::make_unique<RecordingSurface>(record, p.logicalDpiY(), p.width());
        };
        action(*form, "Print1")->trigger();
        QCOMPARE(printerSeen, form->Printer.get());
        QVERIFY(widthSeen > portraitWidth);
        QCOMPARE(record.drawn.first().x +
                     int(todayLine().size()) * form->Printer->logicalDpiY() / 20 + 10,
                 widthSeen - CentimetresToPixels(form->Printer->logicalDpiY(), 1.0));
    }
};

QTEST_MAIN(TestReportPrint)
#include "tst_reportprint.moc"
