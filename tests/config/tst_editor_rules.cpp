// The editor's rules, driven through the real controls.
#include "EditorHost.h"

#include <QPushButton>
#include <QRandomGenerator>

class TestEditorRules : public QObject {
    Q_OBJECT
private slots:
    void startsUncheckedAndEnabled();
    void factoryDefaults();
    void portRules_data();
    void portRules();
    void otherPortsUntouched();
    void typeExclusivity_data();
    void typeExclusivity();
    void modifiedCalls_data();
    void modifiedCalls();
    void doorButtons();
    void applyDoorRule();
    void anyExternalRing();
};

void TestEditorRules::startsUncheckedAndEnabled() {
    EditorHost h;
    for (auto* b : h.window.findChildren<QAbstractButton*>()) {
        QVERIFY2(!b->isChecked(), qPrintable(b->objectName()));
        QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    }
    QCOMPARE(h.modifiedCalls, 0);
}

void TestEditorRules::factoryDefaults() {
    EditorHost h;
    h.editor->SetFactoryDefaults();
    QVERIFY(h.modifiedCalls > 0); // the rules mark; the window clears afterwards
    for (int p = 1; p <= 4; ++p) {
        QCOMPARE(h.portState(p), "vab E+ hab E- nab E- tb E+ arb E+ k E+ E+ E+ E+");
        QCOMPARE(h.editor->Port(p).telefon->isChecked(), true);
    }
    QCOMPARE(h.typeEnabled("RBAnrufbeantworter"), "EEEE");
    QCOMPARE(h.typeEnabled("RBTfe"), "EEEE");
    for (const char* name :
         {"RBAmtsholungJa", "RBHeranholenJa", "RBAnklopfschutzNein", "RBWartemusikJa"})
        QVERIFY(h.rb(QString::fromLatin1(name))->isChecked());

    // Again from a changed state (the command "Neu erstellen").
    h.run({"RBTfe22", "RBAnrufbeantworter23", "RBnab24", "CBtb21", "RBAmtsholungNein"});
    h.editor->SetFactoryDefaults();
    for (int p = 1; p <= 4; ++p)
        QCOMPARE(h.portState(p), "vab E+ hab E- nab E- tb E+ arb E+ k E+ E+ E+ E+");
    QCOMPARE(h.typeEnabled("RBAnrufbeantworter"), "EEEE");
    QCOMPARE(h.typeEnabled("RBTfe"), "EEEE");
    QVERIFY(h.rb("RBAmtsholungJa")->isChecked());
}

// Each row starts from the factory state and edits port 2.
void TestEditorRules::portRules_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("expected");
    const QString telefon = "vab E+ hab E- nab E- tb E+ arb E+ k E+ E+ E+ E+";
    const QString ab = "vab E+ hab E- nab D- tb D- arb D+ k D- D- D- D-";
    const QString tfe = "vab D- hab D- nab E+ tb D- arb D- k D- D- D- D-";
    QTest::newRow("Telefon (factory)") << QStringList{} << telefon;
    QTest::newRow("Anrufbeantworter") << QStringList{"RBAnrufbeantworter22"} << ab;
    QTest::newRow("TFE") << QStringList{"RBTfe22"} << tfe;
    QTest::newRow("TFE then Telefon") << QStringList{"RBTfe22", "RBTelefon22"} << telefon;
    QTest::newRow("AB then Telefon")
        << QStringList{"RBAnrufbeantworter22", "RBTelefon22"} << telefon;
    QTest::newRow("AB then TFE") << QStringList{"RBAnrufbeantworter22", "RBTfe22"} << tfe;
    QTest::newRow("TFE then AB") << QStringList{"RBTfe22", "RBAnrufbeantworter22"} << ab;
    QTest::newRow("Telefon resets a reduced port")
        << QStringList{"RBnab22", "CBtb22", "RBAnrufbeantworter22", "RBTelefon22"} << telefon;
    QTest::newRow("AB: halbamtsberechtigt changes nothing else")
        << QStringList{"RBAnrufbeantworter22", "RBhab22"}
        << "vab E- hab E+ nab D- tb D- arb D+ k D- D- D- D-";
    QTest::newRow("AB: back to amtsberechtigt")
        << QStringList{"RBAnrufbeantworter22", "RBhab22", "RBvab22"} << ab;
    QTest::newRow("TFE: disabled permissions cannot be clicked")
        << QStringList{"RBTfe22", "RBvab22", "RBhab22", "CBtb22", "CBarb22"} << tfe;
    QTest::newRow("halbamtsberechtigt ticks all bells")
        << QStringList{"CBTaste3Ruf22", "CBTaste4Ruf22", "RBhab22"}
        << "vab E- hab E+ nab E- tb E+ arb E+ k E+ E+ E+ E+";
    QTest::newRow("amtsberechtigt again ticks all bells")
        << QStringList{"RBhab22", "CBTaste1Ruf22", "RBvab22"} << telefon;
    QTest::newRow("nichtamtsberechtigt")
        << QStringList{"RBnab22"} << "vab E- hab E- nab E+ tb E+ arb D- k E+ E+ E+ E+";
    QTest::newRow("nichtamtsberechtigt then amtsberechtigt")
        << QStringList{"RBnab22", "RBvab22"} << telefon;
    QTest::newRow("nichtamtsberechtigt without door permission")
        << QStringList{"CBtb22", "RBnab22"} << "vab E- hab E- nab E+ tb E- arb D- k D- D- D- D-";
    QTest::newRow("halbamtsberechtigt without door permission")
        << QStringList{"CBtb22", "RBhab22"} << "vab E- hab E+ nab E- tb E- arb E+ k D- D- D- D-";
    QTest::newRow("Externanruf can be cleared")
        << QStringList{"CBarb22"} << "vab E+ hab E- nab E- tb E+ arb E- k E+ E+ E+ E+";
    QTest::newRow("türberechtigt cleared")
        << QStringList{"CBtb22"} << "vab E+ hab E- nab E- tb E- arb E+ k D- D- D- D-";
    QTest::newRow("türberechtigt ticked again")
        << QStringList{"CBTaste2Ruf22", "CBtb22", "CBtb22"} << telefon;
    QTest::newRow("program sets a disabled box: its rule runs")
        << QStringList{"RBTfe22", "CBtb22=1"} << "vab D- hab D- nab E+ tb D+ arb D- k E+ E+ E+ E+";
    QTest::newRow("program selects disabled amtsberechtigt")
        << QStringList{"RBTfe22", "RBvab22=1"} << "vab D+ hab D- nab E- tb E- arb E+ k D- D- D- D-";
}

void TestEditorRules::portRules() {
    QFETCH(QStringList, steps);
    EditorHost h;
    h.editor->SetFactoryDefaults();
    h.run(steps);
    QTEST(h.portState(2), "expected");
}

void TestEditorRules::otherPortsUntouched() {
    EditorHost h;
    h.editor->SetFactoryDefaults();
    h.run({"RBTfe22", "CBtb23", "RBnab23", "RBAnrufbeantworter24"});
    QCOMPARE(h.portState(1), "vab E+ hab E- nab E- tb E+ arb E+ k E+ E+ E+ E+");
    QCOMPARE(h.portState(3), "vab E- hab E- nab E+ tb E- arb D- k D- D- D- D-");
}

void TestEditorRules::typeExclusivity_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("ab");
    QTest::addColumn<QString>("tfe");
    QTest::newRow("factory") << QStringList{} << "EEEE"
                             << "EEEE";
    QTest::newRow("AB at port 1") << QStringList{"RBAnrufbeantworter21"} << "EDDD"
                                  << "EEEE";
    QTest::newRow("AB at port 1, then Telefon")
        << QStringList{"RBAnrufbeantworter21", "RBTelefon21"} << "EEEE"
        << "EEEE";
    QTest::newRow("AB at 1, TFE at 2") << QStringList{"RBAnrufbeantworter21", "RBTfe22"} << "EDDD"
                                       << "DEDD";
    QTest::newRow("AB at 1, TFE at 2, port 3 Telefon again")
        << QStringList{"RBAnrufbeantworter21", "RBTfe22", "RBTelefon23"} << "EDDD"
        << "DEDD";
    QTest::newRow("AB at 1, TFE at 2, port 3 TFE refused")
        << QStringList{"RBAnrufbeantworter21", "RBTfe22", "RBTfe23"} << "EDDD"
        << "DEDD";
    QTest::newRow("AB at 1 moves to TFE at 1")
        << QStringList{"RBAnrufbeantworter21", "RBTfe21"} << "EEEE"
        << "EDDD";
    QTest::newRow("AB at 1, TFE at 2, both back to Telefon")
        << QStringList{"RBAnrufbeantworter21", "RBTfe22", "RBTelefon21", "RBTelefon22"} << "EEEE"
        << "EEEE";
    QTest::newRow("AB at 4 refused at 3")
        << QStringList{"RBAnrufbeantworter24", "RBAnrufbeantworter23"} << "DDDE"
        << "EEEE";
}

void TestEditorRules::typeExclusivity() {
    QFETCH(QStringList, steps);
    EditorHost h;
    h.editor->SetFactoryDefaults();
    h.run(steps);
    QTEST(h.typeEnabled("RBAnrufbeantworter"), "ab");
    QTEST(h.typeEnabled("RBTfe"), "tfe");
    int abCount = 0, tfeCount = 0;
    for (int p = 1; p <= 4; ++p) {
        abCount += h.editor->Port(p).anrufbeantworter->isChecked();
        tfeCount += h.editor->Port(p).tfe->isChecked();
    }
    QVERIFY(abCount <= 1 && tfeCount <= 1);
}

void TestEditorRules::modifiedCalls_data() {
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("calls");
    const QStringList none;
    QTest::newRow("Türrufe an keinem Anschluss, all clear")
        << QStringList{"ButtonTlnAus"} << QStringList{"ButtonTlnAus"} << 0;
    QTest::newRow("Türrufe an allen Anschlüssen, all ticked")
        << none << QStringList{"ButtonTlnEin"} << 0;
    QTest::newRow("Türrufe an keinem Anschluss, factory: each box")
        << none << QStringList{"ButtonTlnAus"} << 16;
    QTest::newRow("one box cleared, then all on")
        << QStringList{"CBTaste3Ruf24"} << QStringList{"ButtonTlnEin"} << 1;
    QTest::newRow("selected radio clicked again")
        << none << QStringList{"RBvab21", "RBTelefon21", "RBWartemusikJa"} << 0;
    QTest::newRow("Wartemusik aus") << none << QStringList{"RBWartemusikNein"} << 1;
    QTest::newRow("Amtsholung both ways")
        << none << QStringList{"RBAmtsholungNein", "RBAmtsholungJa"} << 2;
    QTest::newRow("Externanruf cleared") << none << QStringList{"CBarb23"} << 1;
    QTest::newRow("one bell box") << none << QStringList{"CBTaste2Ruf21"} << 1;
    QTest::newRow("program sets the state it has")
        << none << QStringList{"CBtb21=1", "RBvab22=1"} << 0;
    QTest::newRow("disabled control clicked")
        << QStringList{"RBTfe21"} << QStringList{"RBvab21", "CBarb21", "CBtb21"} << 0;
    // tb cleared: four bell boxes change (4) plus the door rule's own mark (1)
    QTest::newRow("türberechtigt cleared") << none << QStringList{"CBtb21"} << 5;
}

void TestEditorRules::modifiedCalls() {
    QFETCH(QStringList, setup);
    QFETCH(QStringList, steps);
    EditorHost h;
    h.editor->SetFactoryDefaults();
    h.run(setup);
    h.modifiedCalls = 0;
    h.run(steps);
    QTEST(h.modifiedCalls, "calls");
}

void TestEditorRules::doorButtons() {
    EditorHost h;
    h.editor->SetFactoryDefaults();
    h.run({"RBTfe21", "CBtb22"}); // port 1 and 2: bell boxes disabled and clear
    h.run("ButtonTlnEin");
    // all sixteen ticked, the disabled ones too, enabled states untouched
    QCOMPARE(h.portState(1), "vab D- hab D- nab E+ tb D- arb D- k D+ D+ D+ D+");
    QCOMPARE(h.portState(2), "vab E+ hab E- nab E- tb E- arb E+ k D+ D+ D+ D+");
    QCOMPARE(h.portState(3), "vab E+ hab E- nab E- tb E+ arb E+ k E+ E+ E+ E+");
    ConfigImage image{};
    h.editor->EditorToImage(image);
    for (int k = 8; k <= 11; ++k)
        QCOMPARE(image[k], std::uint8_t(0x0F));
    h.run("ButtonTlnAus");
    QCOMPARE(h.portState(3), "vab E+ hab E- nab E- tb E+ arb E+ k E- E- E- E-");
    h.editor->EditorToImage(image);
    for (int k = 8; k <= 11; ++k)
        QCOMPARE(image[k], std::uint8_t(0));
}

void TestEditorRules::applyDoorRule() {
    EditorHost h;
    h.editor->SetFactoryDefaults();
    h.modifiedCalls = 0;
    h.editor->ApplyDoorRule(3, false);
    QCOMPARE(h.portState(3), "vab E+ hab E- nab E- tb E+ arb E+ k D- D- D- D-");
    QCOMPARE(h.modifiedCalls, 4); // only the boxes' own rules mark
    h.modifiedCalls = 0;
    h.editor->ApplyDoorRule(3, false);
    QCOMPARE(h.modifiedCalls, 0);
    h.editor->ApplyDoorRule(3, true);
    QCOMPARE(h.portState(3), "vab E+ hab E- nab E- tb E+ arb E+ k E+ E+ E+ E+");
    QCOMPARE(h.portState(4), "vab E+ hab E- nab E- tb E+ arb E+ k E+ E+ E+ E+");
}

void TestEditorRules::anyExternalRing() {
    EditorHost h;
    h.editor->SetFactoryDefaults();
    QVERIFY(h.editor->AnyExternalRing());
    h.run({"CBarb21", "RBnab22", "RBTfe23"});
    QVERIFY(h.editor->AnyExternalRing());
    h.run("CBarb24");
    QVERIFY(!h.editor->AnyExternalRing());
    h.run("RBAnrufbeantworter24"); // an answering machine always takes external calls
    QVERIFY(h.editor->AnyExternalRing());
}

QTEST_MAIN(TestEditorRules)
#include "tst_editor_rules.moc"
