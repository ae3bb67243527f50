// The editor's rules, driven through the real controls.
#include "EditorHost.h"

class TestEditorRules : public QObject {
    Q_OBJECT
private slots:
    void startsUncheckedAndEnabled() {
        EditorHost h;
        for (auto* b : h.window.findChildren<QAbstractButton*>()) {
            QVERIFY2(!b->isChecked(), qPrintable(b->objectName()));
            QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
        }
        QCOMPARE(h.modifiedCalls, 0);
    }

    void factoryDefaults_data() {
        QTest::addColumn<QString>("steps");
        QTest::newRow("from the start") << QString();
        QTest::newRow("again from a changed state")
            << "RBTfe22 RBAnrufbeantworter23 RBnab24 CBtb21 RBAmtsholungNein SetFactoryDefaults";
    }
    void factoryDefaults() {
        QFETCH(QString, steps);
        EditorHost h(EditorHost::Factory);
        h.runAll(steps);
        QVERIFY(h.modifiedCalls > 0); // the rules mark; the window clears afterwards
        QCOMPARE(h.portStates(), QStringList(4, FactoryPort));
        for (int p = 1; p <= 4; ++p)
            QVERIFY(h.editor->Port(p).telefon->isChecked());
        QCOMPARE(h.typeEnabled("RBAnrufbeantworter"), "EEEE");
        QCOMPARE(h.typeEnabled("RBTfe"), "EEEE");
        for (const char* name :
             {"RBAmtsholungJa", "RBHeranholenJa", "RBAnklopfschutzNein", "RBWartemusikJa"})
            QVERIFY(h.rb(QString::fromLatin1(name))->isChecked());
    }

    // Each row starts from the factory state, runs the steps (see EditorHost::run) and asks
    // the editor one thing: a port's state ("2", see EditorHost::portState), which type
    // buttons are enabled ("types": answering machine, then TFE), the image's bell bytes 8 to
    // 11 ("bells"), whether any port takes external calls ("rings"), or how often the editor
    // marked itself modified during the steps after the '|' ("marks").
    void afterSteps_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("probe");
        QTest::addColumn<QString>("expected");
        const QString telefon = FactoryPort;
        const QString ab = "vab E+ hab E- nab D- tb D- arb D+ k D- D- D- D-";
        const QString tfe = "vab D- hab D- nab E+ tb D- arb D- k D- D- D- D-";
        const QString doorsOn = "RBTfe21 CBtb22 ButtonTlnEin";
        const QString othersEdited = "RBTfe22 CBtb23 RBnab23 RBAnrufbeantworter24";
        const QString noRing = "CBarb21 RBnab22 RBTfe23";
        const struct {
            const char* name;
            QString steps;
            const char* probe;
            QString expected;
        } rows[] = {
            {"Telefon (factory)", "", "2", telefon},
            {"Anrufbeantworter", "RBAnrufbeantworter22", "2", ab},
            {"TFE", "RBTfe22", "2", tfe},
            {"TFE then Telefon", "RBTfe22 RBTelefon22", "2", telefon},
            {"AB then Telefon", "RBAnrufbeantworter22 RBTelefon22", "2", telefon},
            {"AB then TFE", "RBAnrufbeantworter22 RBTfe22", "2", tfe},
            {"TFE then AB", "RBTfe22 RBAnrufbeantworter22", "2", ab},
            {"Telefon resets a reduced port", "RBnab22 CBtb22 RBAnrufbeantworter22 RBTelefon22",
             "2", telefon},
            {"AB: halbamtsberechtigt changes nothing else", "RBAnrufbeantworter22 RBhab22", "2",
             "vab E- hab E+ nab D- tb D- arb D+ k D- D- D- D-"},
            {"AB: back to amtsberechtigt", "RBAnrufbeantworter22 RBhab22 RBvab22", "2", ab},
            {"TFE: disabled permissions cannot be clicked",
             "RBTfe22 RBvab22 RBhab22 CBtb22 CBarb22", "2", tfe},
            {"halbamtsberechtigt ticks all bells", "CBTaste3Ruf22 CBTaste4Ruf22 RBhab22", "2",
             "vab E- hab E+ nab E- tb E+ arb E+ k E+ E+ E+ E+"},
            {"amtsberechtigt again ticks all bells", "RBhab22 CBTaste1Ruf22 RBvab22", "2", telefon},
            {"nichtamtsberechtigt", "RBnab22", "2",
             "vab E- hab E- nab E+ tb E+ arb D- k E+ E+ E+ E+"},
            {"nichtamtsberechtigt then amtsberechtigt", "RBnab22 RBvab22", "2", telefon},
            {"nichtamtsberechtigt without door permission", "CBtb22 RBnab22", "2",
             "vab E- hab E- nab E+ tb E- arb D- k D- D- D- D-"},
            {"halbamtsberechtigt without door permission", "CBtb22 RBhab22", "2",
             "vab E- hab E+ nab E- tb E- arb E+ k D- D- D- D-"},
            {"Externanruf can be cleared", "CBarb22", "2",
             "vab E+ hab E- nab E- tb E+ arb E- k E+ E+ E+ E+"},
            {"türberechtigt cleared", "CBtb22", "2",
             "vab E+ hab E- nab E- tb E- arb E+ k D- D- D- D-"},
            {"türberechtigt ticked again", "CBTaste2Ruf22 CBtb22 CBtb22", "2", telefon},
            {"program sets a disabled box: its rule runs", "RBTfe22 CBtb22=1", "2",
             "vab D- hab D- nab E+ tb D+ arb D- k E+ E+ E+ E+"},
            {"program selects disabled amtsberechtigt", "RBTfe22 RBvab22=1", "2",
             "vab D+ hab D- nab E- tb E- arb E+ k D- D- D- D-"},
            {"other ports untouched: 1", othersEdited, "1", telefon},
            {"other ports untouched: 3", othersEdited, "3",
             "vab E- hab E- nab E+ tb E- arb D- k D- D- D- D-"},
            // all sixteen ticked, the disabled ones too, enabled states untouched
            {"Türrufe an allen: TFE port", doorsOn, "1",
             "vab D- hab D- nab E+ tb D- arb D- k D+ D+ D+ D+"},
            {"Türrufe an allen: without door permission", doorsOn, "2",
             "vab E+ hab E- nab E- tb E- arb E+ k D+ D+ D+ D+"},
            {"Türrufe an allen: Telefon", doorsOn, "3", telefon},
            {"Türrufe an allen: image", doorsOn, "bells", "0f0f0f0f"},
            {"Türrufe an keinem", doorsOn + " ButtonTlnAus", "3",
             "vab E+ hab E- nab E- tb E+ arb E+ k E- E- E- E-"},
            {"Türrufe an keinem: image", doorsOn + " ButtonTlnAus", "bells", "00000000"},
            {"types: factory", "", "types", "EEEE EEEE"},
            {"AB at port 1", "RBAnrufbeantworter21", "types", "EDDD EEEE"},
            {"AB at port 1, then Telefon", "RBAnrufbeantworter21 RBTelefon21", "types",
             "EEEE EEEE"},
            {"AB at 1, TFE at 2", "RBAnrufbeantworter21 RBTfe22", "types", "EDDD DEDD"},
            {"AB at 1, TFE at 2, port 3 Telefon again", "RBAnrufbeantworter21 RBTfe22 RBTelefon23",
             "types", "EDDD DEDD"},
            {"AB at 1, TFE at 2, port 3 TFE refused", "RBAnrufbeantworter21 RBTfe22 RBTfe23",
             "types", "EDDD DEDD"},
            {"AB at 1 moves to TFE at 1", "RBAnrufbeantworter21 RBTfe21", "types", "EEEE EDDD"},
            {"AB at 1, TFE at 2, both back to Telefon",
             "RBAnrufbeantworter21 RBTfe22 RBTelefon21 RBTelefon22", "types", "EEEE EEEE"},
            {"AB at 4 refused at 3", "RBAnrufbeantworter24 RBAnrufbeantworter23", "types",
             "DDDE EEEE"},
            {"Türrufe an keinem Anschluss, all clear", "ButtonTlnAus | ButtonTlnAus", "marks", "0"},
            {"Türrufe an allen Anschlüssen, all ticked", "| ButtonTlnEin", "marks", "0"},
            {"Türrufe an keinem Anschluss, factory: each box", "| ButtonTlnAus", "marks", "16"},
            {"one box cleared, then all on", "CBTaste3Ruf24 | ButtonTlnEin", "marks", "1"},
            {"selected radio clicked again", "| RBvab21 RBTelefon21 RBWartemusikJa", "marks", "0"},
            {"Wartemusik aus", "| RBWartemusikNein", "marks", "1"},
            {"Amtsholung both ways", "| RBAmtsholungNein RBAmtsholungJa", "marks", "2"},
            {"Externanruf cleared", "| CBarb23", "marks", "1"},
            {"one bell box", "| CBTaste2Ruf21", "marks", "1"},
            {"program sets the state it has", "| CBtb21=1 RBvab22=1", "marks", "0"},
            {"disabled control clicked", "RBTfe21 | RBvab21 CBarb21 CBtb21", "marks", "0"},
            // four bell boxes change (4) plus the door rule's own mark (1)
            {"türberechtigt cleared: marks", "| CBtb21", "marks", "5"},
            {"rings: factory", "", "rings", "yes"},
            {"port 4 still rings", noRing, "rings", "yes"},
            {"none rings", noRing + " CBarb24", "rings", "no"},
            // an answering machine always takes external calls
            {"answering machine rings", noRing + " CBarb24 RBAnrufbeantworter24", "rings", "yes"},
        };
        for (const auto& r : rows)
            QTest::newRow(r.name) << r.steps << QString(r.probe) << r.expected;
    }
    void afterSteps() {
        QFETCH(QString, steps);
        QFETCH(QString, probe);
        EditorHost h(EditorHost::Factory);
        const QStringList parts = steps.split(u'|');
        h.runAll(parts.first());
        h.modifiedCalls = 0;
        h.runAll(parts.value(1));
        QString answer;
        if (probe == "types") {
            answer = h.typeEnabled("RBAnrufbeantworter") + ' ' + h.typeEnabled("RBTfe");
        } else if (probe == "bells") {
            const ConfigImage image = h.image();
            answer = QByteArray(reinterpret_cast<const char*>(image.data()) + 8, 4).toHex();
        } else if (probe == "rings") {
            answer = h.editor->AnyExternalRing() ? "yes" : "no";
        } else if (probe == "marks") {
            answer = QString::number(h.modifiedCalls);
        } else {
            answer = h.portState(probe.toInt());
        }
        QTEST(answer, "expected");
        // whatever was clicked, one answering machine and one TFE at most
        int abCount = 0, tfeCount = 0;
        for (int p = 1; p <= 4; ++p) {
            abCount += h.editor->Port(p).anrufbeantworter->isChecked();
            tfeCount += h.editor->Port(p).tfe->isChecked();
        }
        QVERIFY(abCount <= 1 && tfeCount <= 1);
    }

    void applyDoorRule() {
        EditorHost h(EditorHost::Factory);
        h.modifiedCalls = 0;
        h.editor->ApplyDoorRule(3, false);
        QCOMPARE(h.portState(3), "vab E+ hab E- nab E- tb E+ arb E+ k D- D- D- D-");
        QCOMPARE(h.modifiedCalls, 4); // only the boxes' own rules mark
        h.modifiedCalls = 0;
        h.editor->ApplyDoorRule(3, false);
        QCOMPARE(h.modifiedCalls, 0);
        h.editor->ApplyDoorRule(3, true);
        QCOMPARE(h.portState(3), FactoryPort);
        QCOMPARE(h.portState(4), FactoryPort);
    }
};

QTEST_MAIN(TestEditorRules)
#include "tst_editor_rules.moc"
