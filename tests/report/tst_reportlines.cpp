// The report's lines from the editor's states, and the arithmetic of its layout.
#include "ReportEntries.h"
#include "app/ReportBuilder.h"

#include <QTest>
#include <map>

namespace {

using enum Permission;
constexpr std::array<bool, 4> AllBells{true, true, true, true};
constexpr TPortSettings FactoryPort{TypTelefon, Amtsberechtigt, true, true, AllBells};

// The factory settings with some ports (1..4) set as given.
TEditorSettings withPorts(const std::map<int, TPortSettings>& ports) {
    TEditorSettings settings = factorySettings();
    for (const auto& [port, set] : ports)
        settings.ports[port - 1] = set;
    return settings;
}

QStringList factoryLines() {
    QString text = "Zuvex 910k Konfiguration\n\n\n<U>Externanschluss\n"
                   "   Wählen Extern = Automatische Amtsholung\n"
                   "   Externanrufe heranholen = ja\n"
                   "   Anklopfschutz = nein\n"
                   "   Wartemusik = ein\n"
                   "\n<U>Berechtigungen\n"
                   "   Intern 1 = amtsberechtigt + türberechtigt\n";
    for (int p = 2; p <= 4; ++p)
        text += QString("   Intern %1 = vollamtsberechtigt + türberechtigt\n").arg(p);
    text += "\n<U>Rufverteilung\n";
    for (int p = 1; p <= 4; ++p)
        text += QString("   Intern %1 = Externen Anruf signalisieren + Klingeltaste1 + "
                        "Klingeltaste2 + Klingeltaste3 + Klingeltaste4\n")
                    .arg(p);
    return text.split(u'\n'); // the report ends with an empty line
}

} // namespace

Q_DECLARE_METATYPE(TEditorSettings)

class TestReportLines : public QObject {
    Q_OBJECT
private slots:
    void factoryState() {
        QCOMPARE(factoryLines().size(), ReportLine::Count);
        QCOMPARE(BuildReport(factorySettings()), factoryLines());
    }

    // Each change touches only the lines listed; every other line stays as in the factory
    // report. The rows marked "as the editor sets it" are the states its rules leave.
    void changedStates_data() {
        using namespace ReportLine;
        QTest::addColumn<TEditorSettings>("settings");
        QTest::addColumn<ReportEntries>("entries");
        const TPortSettings hab{TypTelefon, Halbamtsberechtigt, true, true, AllBells};
        const TPortSettings nab{TypTelefon, Nichtamtsberechtigt, true, true, AllBells};
        const TPortSettings noDoor{TypTelefon, Amtsberechtigt, false, true, AllBells};
        const TPortSettings tfe{TypTfe, Nichtamtsberechtigt, false, false, {}};
        QTest::newRow("system settings flipped")
            << TEditorSettings{false,
                               false,
                               true,
                               false,
                               {FactoryPort, FactoryPort, FactoryPort, FactoryPort}}
            << ReportEntries{{Amtsholung, "   Wählen Extern = Vorwahl der Kennziffer 0"},
                             {Heranholen, "   Externanrufe heranholen = nein"},
                             {Anklopfschutz, "   Anklopfschutz = ja"},
                             {Wartemusik, "   Wartemusik = aus"}};
        QTest::newRow("halbamtsberechtigt on every port")
            << withPorts({{1, hab}, {2, hab}, {3, hab}, {4, hab}})
            << ReportEntries{{permission(1), "   Intern 1 = halbamtsberechtigt + türberechtigt"},
                             {permission(2), "   Intern 2 = halbamtsberechtigt + türberechtigt"},
                             {permission(3), "   Intern 3 = halbamtsberechtigt + türberechtigt"},
                             {permission(4), "   Intern 4 = halbamtsberechtigt + türberechtigt"}};
        QTest::newRow("nichtamtsberechtigt without door permission")
            << withPorts({{1, {TypTelefon, Nichtamtsberechtigt, false, true, AllBells}}, {4, nab}})
            << ReportEntries{{permission(1), "   Intern 1 = nichtamtsberechtigt"},
                             {permission(4), "   Intern 4 = nichtamtsberechtigt + türberechtigt"}};
        QTest::newRow("nichtamtsberechtigt as the editor sets it")
            << withPorts({{4, {TypTelefon, Nichtamtsberechtigt, true, false, AllBells}}})
            << ReportEntries{{permission(4), "   Intern 4 = nichtamtsberechtigt + türberechtigt"},
                             {ring(4), "   Intern 4 = Klingeltaste1 + Klingeltaste2 + "
                                       "Klingeltaste3 + Klingeltaste4"}};
        QTest::newRow("full permission without door permission")
            << withPorts({{1, noDoor}, {3, noDoor}})
            << ReportEntries{{permission(1), "   Intern 1 = amtsberechtigt"},
                             {permission(3), "   Intern 3 = vollamtsberechtigt"}};
        for (int port : {1, 3})
            QTest::addRow("TFE on port %d", port)
                << withPorts({{port, tfe}})
                << ReportEntries{
                       {permission(port), QString("   Intern %1 = nichtamtsberechtigt").arg(port)},
                       {ring(port), QString("   Intern %1 = ").arg(port)}};
        QTest::newRow("Anrufbeantworter as the editor sets it")
            << withPorts({{2, {TypAnrufbeantworter, Amtsberechtigt, false, true, {}}}})
            << ReportEntries{{permission(2), "   Intern 2 = vollamtsberechtigt"},
                             {ring(2), "   Intern 2 = Externen Anruf signalisieren"}};
        QTest::newRow("port 3 with every ring box clear")
            << withPorts({{3, {TypTelefon, Amtsberechtigt, true, false, {}}}})
            << ReportEntries{{ring(3), "   Intern 3 = "}};
        QTest::newRow("bell buttons without external call")
            << withPorts(
                   {{2, {TypTelefon, Amtsberechtigt, true, false, {false, true, false, true}}},
                    {4, {TypTelefon, Amtsberechtigt, true, false, {false, false, true, false}}}})
            << ReportEntries{{ring(2), "   Intern 2 = Klingeltaste2 + Klingeltaste4"},
                             {ring(4), "   Intern 4 = Klingeltaste3"}};
        QTest::newRow("external call only")
            << withPorts({{1, {TypTelefon, Amtsberechtigt, true, true, {}}}})
            << ReportEntries{{ring(1), "   Intern 1 = Externen Anruf signalisieren"}};
        QTest::newRow("external call and one bell button")
            << withPorts(
                   {{4, {TypTelefon, Amtsberechtigt, true, true, {true, false, false, false}}}})
            << ReportEntries{
                   {ring(4), "   Intern 4 = Externen Anruf signalisieren + Klingeltaste1"}};
    }
    void changedStates() {
        QFETCH(TEditorSettings, settings);
        QFETCH(ReportEntries, entries);
        QCOMPARE(BuildReport(settings), withEntries(factoryLines(), entries));
    }

    // 1.2 as a double is 1.1999999999999999556: where height × 1.2 is a whole number the
    // exact product lies just below it.
    void lineStep_data() {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("step");
        QTest::newRow("10 pt at 300 dpi") << 42 << 50;
        QTest::newRow("10 pt at 360 dpi") << 50 << 59;
        QTest::newRow("10 pt at 600 dpi") << 83 << 99;
        QTest::newRow("16 pt at 600 dpi") << 133 << 159;
        QTest::newRow("16 pt at 300 dpi") << 67 << 80;
        QTest::newRow("whole product 72") << 60 << 71;
        QTest::newRow("whole product 12") << 10 << 11;
        QTest::newRow("fraction .8") << 84 << 100;
        QTest::newRow("zero") << 0 << 0;
        QTest::newRow("one") << 1 << 1;
    }
    void lineStep() {
        QFETCH(int, height);
        QTEST(ReportLineStep(height), "step");
    }

    void truncExactProduct_data() {
        QTest::addColumn<qlonglong>("n");
        QTest::addColumn<double>("a");
        QTest::addColumn<double>("b");
        QTest::addColumn<qlonglong>("result");
        // a plain double product would round these up to the whole number
        QTest::newRow("10 x 0.7") << 10LL << 0.7 << 1.0 << 6LL;
        QTest::newRow("50 x 1.2") << 50LL << 1.2 << 1.0 << 59LL;
        // exact values just above the whole number stay on it
        QTest::newRow("10 x 0.1") << 10LL << 0.1 << 1.0 << 1LL;
        QTest::newRow("3 x 1.5 x 2") << 3LL << 1.5 << 2.0 << 9LL;
        QTest::newRow("toward zero when negative") << -50LL << 1.2 << 1.0 << -59LL;
        QTest::newRow("negative factor") << 50LL << -1.2 << 1.0 << -59LL;
        QTest::newRow("large exponent") << 3LL << 1024.0 << 1024.0 << 3145728LL;
        QTest::newRow("tiny") << 1000LL << 1e-300 << 1.0 << 0LL;
    }
    void truncExactProduct() {
        QFETCH(qlonglong, n);
        QFETCH(double, a);
        QFETCH(double, b);
        QTEST(TruncExactProduct(n, a, b), "result");
    }

    void margins_data() {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<double>("centimetres");
        QTest::addColumn<int>("pixels");
        QTest::newRow("600 dpi 1.0 cm") << 600 << 1.0 << 236;
        QTest::newRow("600 dpi 1.5 cm") << 600 << 1.5 << 354;
        QTest::newRow("300 dpi 1.0 cm") << 300 << 1.0 << 118;
        QTest::newRow("300 dpi 1.5 cm") << 300 << 1.5 << 177;
        QTest::newRow("1200 dpi 1.5 cm") << 1200 << 1.5 << 708;
        QTest::newRow("72 dpi 1.0 cm") << 72 << 1.0 << 28;
    }
    void margins() {
        QFETCH(int, dpi);
        QFETCH(double, centimetres);
        QTEST(CentimetresToPixels(dpi, centimetres), "pixels");
    }

    void fontHeight_data() {
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("pixels");
        QTest::newRow("16 pt 600 dpi") << 16 << 600 << 133;
        QTest::newRow("10 pt 600 dpi") << 10 << 600 << 83;
        QTest::newRow("10 pt 300 dpi rounds up") << 10 << 300 << 42;
        QTest::newRow("16 pt 300 dpi") << 16 << 300 << 67;
        QTest::newRow("10 pt 360 dpi") << 10 << 360 << 50;
        QTest::newRow("half rounds up") << 9 << 4 << 1;
        QTest::newRow("below half rounds down") << 1 << 35 << 0;
    }
    void fontHeight() {
        QFETCH(int, points);
        QFETCH(int, dpi);
        QTEST(FontHeightPixels(points, dpi), "pixels");
    }
};

QTEST_APPLESS_MAIN(TestReportLines)
#include "tst_reportlines.moc"
