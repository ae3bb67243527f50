// The help panel: how it shows topics and hints, and follows the pointer and menus in the window.
#include "EditorHost.h"
#include "WindowTest.h"
#include "config/ApplicationHint.h"
#include "config/HelpTexts.h"

namespace {
// The panel's lines with the bold ones marked "*".
QStringList panelLines(const QTextEdit* edit) {
    QStringList lines;
    if (edit->document()->isEmpty())
        return lines;
    for (QTextBlock b = edit->document()->begin(); b.isValid(); b = b.next()) {
        bool bold = false;
        for (auto it = b.begin(); !it.atEnd(); ++it)
            bold = bold || it.fragment().charFormat().fontWeight() >= QFont::Bold;
        lines << (bold ? "*" : "") + b.text();
    }
    return lines;
}

constexpr int NoTopic = -1;
constexpr int GeraetetypTopic = 20; // longer than most

// A topic as the panel shows it: the heading bold, then its lines; nothing for no topic.
QStringList shownTopic(int topic) {
    const std::optional<THelpTopic> text = helpTopic(topic);
    return text ? QStringList("*" + text->heading) + text->lines : QStringList();
}

} // namespace

class TestHelpPanel : public QObject, AppWithSim {
    Q_OBJECT
    int hintCalls = 0;

    // Offline, hints counted; the pointer to the corner, as a move to where it is sends nothing.
    void showWindow() {
        openWindow();
        QVERIFY(showOffline());
        TApplicationHint* hint = part<THelpPanel>(*form)->ApplicationHint();
        hint->OnApplicationHint = [this, show = hint->OnApplicationHint](const QString& text) {
            ++hintCalls;
            show(text);
        };
        QTest::mouseMove(form.get(), {form->width() - 1, form->height() - 1});
    }
    QString currentHint() const {
        return part<THelpPanel>(*form)->ApplicationHint()->CurrentHint();
    }
    QStringList panel() const { return panelLines(part<THelpPanel>(*form)->InfoText()); }
    void pointAt(QWidget* w, QPoint at) const {
        QTest::mouseMove(w, at);
        QCoreApplication::processEvents();
    }
    void pointAt(const char* control) const {
        QWidget* w = part<QWidget>(*form, control);
        pointAt(w, w->rect().center());
    }
    void showPage(const char* node) const {
        auto* tree = part<QTreeWidget>(*form, "TreeView1");
        tree->setCurrentItem(tree->findItems(node, Qt::MatchExactly | Qt::MatchRecursive).value(0));
    }

private slots:
    void cleanup() { closeWindow(); }

    // A topic's hint shows its heading bold, then its lines, the first empty; unknown: nothing.
    void showsTopic_data() {
        QTest::addColumn<int>("topic");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<int>("lineCount");
        QTest::addColumn<QString>("lastLine");
        const QString more = "Weitere Informationen erhalten Sie, wenn Sie den Mauszeiger über "
                             "eine Einstellung bewegen.";
        const QString program = "Dieses Programm ermöglicht es Ihnen, Einstellungen an Ihrer "
                                "Telefonanlage vorzunehmen.";
        const auto row = [](int topic, const char* heading, int lines, const QString& last) {
            QTest::addRow("topic %d", topic)
                << topic << QString::fromUtf8(heading) << lines << last;
        };
        row(1, "Konfigurationsprogramm", 2, program);
        row(2, "Externanschluss", 4, more);
        row(3, "Gerätetyp und Berechtigungen", 4, more);
        row(4, "Rufsignalisierung festlegen", 4, more);
        row(5, "Konfiguration auslesen", 3, "");
        row(6, "Konfiguration speichern", 5, "");
        row(7, "Werkseinstellungen", 5, "");
        row(8, "Konfigurationsprogramm", 2, program);
        row(9, "Öffnen", 3, "");
        row(10, "In Datei speichern", 3, "");
        row(11, "Neu erstellen", 4,
            "Im Gegensatz zum Menüpunkt Werkseinstellungen wird die Konfiguration nicht sofort "
            "in die Telefonanlage gespeichert.");
        row(12, "Beenden", 3, "");
        row(13, "Drucken", 3, "");
        row(14, "Drucker einrichten", 3, "");
        row(15, "Neue Firmware", 6,
            "Bevor Sie die Firmware aktualisieren, laden Sie diese bitte zuerst auf Ihren PC "
            "herunter.");
        row(16, "Amtsholung", 4, "Diese Einstellung gilt für alle Internteilnehmer.");
        row(17, "Externanrufe heranholen", 5, "Diese Einstellung gilt für alle Internteilnehmer.");
        row(18, "Anklopfschutz", 5,
            "Das Anklopfen eines weiteren Externteilnehmers an einem Externgespräch ist ein "
            "Orvell-Netz Leistungsmerkmal, und kann durch diese Einstellung nicht beeinflusst "
            "werden. Dazu müssen Sie das Orvell-Netz Leistungsmerkmal Anklopfen durch die "
            "entsprechende Bedienprozedur in der Vermittlungsstelle ein- bzw. ausschalten.");
        row(19, "Wartemusik", 4,
            "Ein Externteilnehmer hört die Wartemusik, während Sie ein Rückfragegespräch mit "
            "einem Internteilnehmer führen.");
        row(20, "Gerätetyp", 9,
            "Es kann nur ein Anschluss auf Gerätetyp Anrufbeantworter und ein Anschluss auf "
            "Gerätetyp TFE eingestellt werden.");
        row(21, "Berechtigungen", 10,
            "Je nach eingestelltem Gerätetyp können einzelne Einstellungen deaktiviert sein!");
        row(22, "Rufsignalisierung festlegen", 7,
            "Je nach eingestelltem Gerätetyp oder eingestellter Berechtigung können einzelne "
            "Kontrollkästchen deaktiviert sein!");
        row(23, "Türrufe an allen Anschlüssen signalisieren", 3, "");
        row(24, "Türrufe an keinem Anschluss signalisieren", 3, "");
        for (int topic : {0, -1, 25, 1000})
            QTest::addRow("unknown %d", topic) << topic << QString() << 0 << QString();
    }
    void showsTopic() {
        QFETCH(int, topic);
        QWidget parent;
        THelpPanel panel(&parent);
        panel.ShowHelpTopic(GeraetetypTopic);
        panel.OnApplicationHint(Hint::forTopic(topic));
        QCOMPARE(panelLines(panel.InfoText()), shownTopic(topic));
        const THelpTopic text = helpTopic(topic).value_or(THelpTopic{});
        QTEST(text.heading, "heading");
        QTEST(int(text.lines.size()), "lineCount");
        QCOMPARE(text.lines.value(0), QString());
        QTEST(text.lines.value(text.lines.size() - 1), "lastLine");
    }

    // The parts around a hint's first bar (more in onApplicationHint); a tool button's own hint.
    void hintParts_data() {
        QTest::addColumn<QString>("part");
        QTest::addColumn<QString>("expected");
        QTest::newRow("topic, short") << Hint::shortPart("|20") << "";
        QTest::newRow("both, short") << Hint::shortPart("Neu|Neue Datei erstellen") << "Neu";
        QTest::newRow("two bars, long") << Hint::longPart("a|b|c") << "b|c";
        QAction action;
        Hint::set(&action, Hint::forTopic(5));
        QToolButton button;
        button.setDefaultAction(&action);
        QTest::newRow("tool button, its action's") << Hint::resolve(&button) << Hint::forTopic(5);
        Hint::set(&button, Hint::forTopic(6));
        QTest::newRow("tool button, its own") << Hint::resolve(&button) << Hint::forTopic(6);
    }
    void hintParts() {
        QFETCH(QString, part);
        QTEST(part, "expected");
    }
    // The panel shows Gerätetyp when the hint comes; the topic shown afterwards.
    void onApplicationHint_data() {
        QTest::addColumn<QString>("hint");
        QTest::addColumn<int>("topic");
        const std::pair<const char*, int> rows[] = {
            {"", GeraetetypTopic},
            {"Tipp|", GeraetetypTopic},
            {"x|5", 5}, // the short part is ignored
            {"Hilfethemen", NoTopic},
            {"Info|Zeigt Programminformationen an", NoTopic},
            {"|12a", NoTopic},
        };
        for (const auto& [hint, topic] : rows)
            QTest::addRow("\"%s\"", hint) << hint << topic;
    }
    void onApplicationHint() {
        QFETCH(QString, hint);
        QFETCH(int, topic);
        QWidget parent;
        THelpPanel panel(&parent);
        panel.ShowHelpTopic(GeraetetypTopic);
        panel.OnApplicationHint(hint);
        QCOMPARE(panelLines(panel.InfoText()), shownTopic(topic));
    }

    void panelLayout() {
        QWidget parent;
        parent.resize(760, 388);
        THelpPanel panel(&parent);
        parent.show();
        QCOMPARE(panel.PanelInfo()->objectName(), "PanelInfo");
        QCOMPARE(panel.PanelInfo()->geometry(), QRect(528, 0, 232, 388));
        QCOMPARE(panel.PanelInfoHead()->objectName(), "PanelInfoHead");
        QCOMPARE(panel.PanelInfoHead()->text(), "Hilfe");
        QCOMPARE(panel.PanelInfoHead()->height(), 41);
        QVERIFY(panel.PanelInfoHead()->font().bold());
        QCOMPARE(panel.PanelInfoHead()->font().pixelSize(), 13);
        QTextEdit* info = panel.InfoText();
        QCOMPARE(info->objectName(), "InfoText");
        QVERIFY(info->isReadOnly());
        QCOMPARE(info->frameShape(), QFrame::NoFrame);
        QCOMPARE(info->palette().color(QPalette::Base), info->palette().color(QPalette::Button));
        QCOMPARE(info->font().pixelSize(), 13);
        QCOMPARE(info->lineWrapMode(), QTextEdit::WidgetWidth);
        QVERIFY(info->geometry().top() >= 41);
    }

    // Pages and groups carry a topic; their controls carry none and take their group's.
    void editorHints_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("own");
        QTest::addColumn<QString>("resolved");
        const auto group = [](const char* control, int topic) {
            QTest::newRow(control) << control << Hint::forTopic(topic) << Hint::forTopic(topic);
        };
        const auto control = [](const char* name, int topic) {
            QTest::newRow(name) << name << QString() << Hint::forTopic(topic);
        };
        group("PanelImage", 1);
        group("PanelLtg", 2);
        group("PanelTln", 3);
        group("PanelBerecht2", 21);
        group("PanelRuf3", 22);
        group("ButtonTlnEin", 23);
        group("ButtonTlnAus", 24);
        control("RBAmtsholungNein", 16);
        control("RBHeranholenJa", 17);
        control("RBAnklopfschutzJa", 18);
        control("RBWartemusikNein", 19);
        control("RBAnrufbeantworter21", 20);
        control("CBtb23", 21);
        control("CBTaste3Ruf21", 22);
        control("CBTaste4Ruf24", 22);
        control("CBarb24", 22);
    }
    void editorHints() {
        QFETCH(QString, control);
        EditorHost h;
        h.editor->AssignHelpHints();
        const QWidget* widget = h.find<QWidget>(control);
        QTEST(Hint::of(widget), "own");
        QTEST(Hint::resolve(widget), "resolved");
    }

    // No hint on the tree; its selected node clicked and the page's background: the page's topic.
    void treeAndPageBackground() {
        showWindow();
        showPage("Rufverteilung");
        auto* tree = part<QTreeWidget>(*form, "TreeView1");
        pointAt("CBTaste1Ruf22");
        QCOMPARE(panel(), shownTopic(22));
        const QPoint node = tree->visualItemRect(tree->currentItem()).center();
        pointAt(tree->viewport(), node);
        QCOMPARE(currentHint(), QString());
        QCOMPARE(panel(), shownTopic(22));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, node);
        QCOMPARE(panel(), shownTopic(4));
        QCOMPARE(
            panel().at(2),
            "Hier können Sie festlegen, an welchen internen Anschlüssen ein Externanruf und/oder "
            "Türruf signalisiert werden soll.");
        pointAt("CBTaste1Ruf22");
        pointAt(part<QWidget>(*form, "PanelRuf"), {360, 380});
        QCOMPARE(panel(), shownTopic(4));
    }

    void callbackOnlyOnChange() {
        showWindow();
        showPage("Berechtigungen");
        pointAt("RBTelefon21");
        const int calls = hintCalls;
        QCOMPARE(currentHint(), "|20");
        pointAt("RBTfe21");
        pointAt(part<QWidget>(*form, "PanelTyp1"), {2, 2});
        pointAt("RBTelefon24");
        QCOMPARE(hintCalls, calls); // still "|20"
        pointAt("RBvab21");
        QCOMPARE(hintCalls, calls + 1);
        QCOMPARE(panel(), shownTopic(21));
    }

    // An open menu's item sets the hint, not controls under it; closed: no hint, the text stays.
    void menusSetTheHint() {
        showWindow();
        showPage("Berechtigungen");
        auto* file = part<QMenu>(*form, "File1");
        file->popup(form->mapToGlobal(QPoint(0, 0)));
        QVERIFY(QTest::qWaitForWindowExposed(file));
        file->setActiveAction(part<QAction>(*form, "PrintItem"));
        QCOMPARE(currentHint(), "|13");
        QCOMPARE(panel(), shownTopic(13));
        // the open menu takes the pointer's moves; a control under it may still see it enter
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(part<QWidget>(*form, "RBTelefon21"), &enter);
        QCOMPARE(panel(), shownTopic(13));
        file->hide();
        QCOMPARE(currentHint(), QString());
        QCOMPARE(panel(), shownTopic(13));
        pointAt("RBTelefon22");
        QCOMPARE(panel(), shownTopic(20));
        // a menu without a hint keeps the text
        auto* extras = part<QMenu>(*form, "Extras1");
        extras->popup(form->mapToGlobal(QPoint(0, 0)));
        QVERIFY(QTest::qWaitForWindowExposed(extras));
        QCOMPARE(currentHint(), QString());
        QCOMPARE(panel(), shownTopic(20));
    }
};

QTEST_MAIN(TestHelpPanel)
#include "tst_help_panel.moc"
