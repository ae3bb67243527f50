// The report's lines from the editor's states, and the arithmetic of its layout.
#include "ReportEntries.h"
#include "app/ReportBuilder.h"

#include <QTest>
#include <map>

namespace {

using enum Permission;
constexpr std::array<bool, 4> AllBells{true, true, true, true};

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

class TestReportLines : public QObject {
    Q_OBJECT
private slots:
    // Only the listed lines differ from the factory report; "as the editor sets it": rules applied.
    void changedStates_data() {
        using namespace ReportLine;
        QTest::addColumn<TEditorSettings>("settings");
        QTest::addColumn<ReportEntries>("entries");
        const TPortSettings hab{TypTelefon, Halbamtsberechtigt, true, true, AllBells};
        const TPortSettings nab{TypTelefon, Nichtamtsberechtigt, true, true, AllBells};
        const TPortSettings noDoor{TypTelefon, Amtsberechtigt, false, true, AllBells};
        const TPortSettings tfe{TypTfe, Nichtamtsberechtigt, false, false, {}};
        QTest::newRow("factory state") << factorySettings() << ReportEntries{};
        QTest::newRow("system settings flipped")
            << TEditorSettings{false, false, true, false, factorySettings().ports}
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
        QCOMPARE(BuildReport(settings).size(), ReportLine::Count);
        QCOMPARE(BuildReport(settings), withEntries(factoryLines(), entries));
    }

    // 1.2 is 1.1999999999999999556 as a double: a whole height × 1.2 is exactly a bit less.
    void layoutArithmetic_data() {
        QTest::addColumn<qlonglong>("value");
        QTest::addColumn<qlonglong>("expected");
        const auto row = [](const char* name, qlonglong value, qlonglong expected) {
            QTest::newRow(name) << value << expected;
        };
        row("line step: 10 pt at 300 dpi", ReportLineStep(42), 50);
        row("line step: 10 pt at 360 dpi", ReportLineStep(50), 59);
        row("line step: 10 pt at 600 dpi", ReportLineStep(83), 99);
        row("line step: 16 pt at 600 dpi", ReportLineStep(133), 159);
        row("line step: 16 pt at 300 dpi", ReportLineStep(67), 80);
        row("line step: whole product 72", ReportLineStep(60), 71);
        row("line step: whole product 12", ReportLineStep(10), 11);
        row("line step: fraction .8", ReportLineStep(84), 100);
        row("line step: zero", ReportLineStep(0), 0);
        row("line step: one", ReportLineStep(1), 1);
        // a plain double product would round these up to the whole number
        row("exact product: 10 x 0.7", TruncExactProduct(10, 0.7, 1.0), 6);
        row("exact product: 50 x 1.2", TruncExactProduct(50, 1.2, 1.0), 59);
        // exact values just above the whole number stay on it
        row("exact product: 10 x 0.1", TruncExactProduct(10, 0.1, 1.0), 1);
        row("exact product: 3 x 1.5 x 2", TruncExactProduct(3, 1.5, 2.0), 9);
        row("exact product: toward zero when negative", TruncExactProduct(-50, 1.2, 1.0), -59);
        row("exact product: negative factor", TruncExactProduct(50, -1.2, 1.0), -59);
        row("exact product: large exponent", TruncExactProduct(3, 1024.0, 1024.0), 3145728);
        row("exact product: tiny", TruncExactProduct(1000, 1e-300, 1.0), 0);
        row("margin: 600 dpi 1.0 cm", CentimetresToPixels(600, 1.0), 236);
        row("margin: 600 dpi 1.5 cm", CentimetresToPixels(600, 1.5), 354);
        row("margin: 300 dpi 1.0 cm", CentimetresToPixels(300, 1.0), 118);
        row("margin: 300 dpi 1.5 cm", CentimetresToPixels(300, 1.5), 177);
        row("margin: 1200 dpi 1.5 cm", CentimetresToPixels(1200, 1.5), 708);
        row("margin: 72 dpi 1.0 cm", CentimetresToPixels(72, 1.0), 28);
        row("font height: 16 pt 600 dpi", FontHeightPixels(16, 600), 133);
        row("font height: 10 pt 600 dpi", FontHeightPixels(10, 600), 83);
        row("font height: 10 pt 300 dpi rounds up", FontHeightPixels(10, 300), 42);
        row("font height: 16 pt 300 dpi", FontHeightPixels(16, 300), 67);
        row("font height: 10 pt 360 dpi", FontHeightPixels(10, 360), 50);
        row("font height: half rounds up", FontHeightPixels(9, 4), 1);
        row("font height: below half rounds down", FontHeightPixels(1, 35), 0);
    }
    void layoutArithmetic() {
        QFETCH(qlonglong, value);
        QTEST(value, "expected");
    }
};

QTEST_APPLESS_MAIN(TestReportLines)
#include "tst_reportlines.moc"
