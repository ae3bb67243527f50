// The help panel: how it shows a topic, the application's hint and how it follows the pointer.
#include "EditorHost.h"
#include "config/ApplicationHint.h"
#include "config/HelpPanel.h"
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
constexpr int AmtsholungTopic = 16;
constexpr int GeraetetypTopic = 20; // longer than most

// A topic as the panel shows it: the heading bold, then its lines; nothing for no topic.
QStringList shownTopic(int topic) {
    const std::optional<THelpTopic> text = helpTopic(topic);
    return text ? QStringList("*" + text->heading) + text->lines : QStringList();
}

QString heading(const QTextEdit* edit) {
    return panelLines(edit).value(0);
}

// The main window's regions with the editor, the help panel and a menu bar.
struct HelpHost : EditorHost {
    std::unique_ptr<THelpPanel> help;
    QMenu* fileMenu;
    QMenu* helpMenu;
    QAction* printAction;
    int hintCalls = 0;

    HelpHost() {
        auto* infoArea = new QWidget(&window);
        infoArea->setGeometry(528, 30, 232, 388);
        help = std::make_unique<THelpPanel>(infoArea);
        QObject::connect(editor.get(), &TEditorPages::helpTopicRequested, help.get(),
                         &THelpPanel::ShowHelpTopic);
        auto* menuBar = new QMenuBar(&window);
        menuBar->setGeometry(0, 0, 300, 22);
        fileMenu = menuBar->addMenu("Konfiguration");
        Hint::set(fileMenu->menuAction(), Hint::forTopic(8));
        printAction = fileMenu->addAction("&Drucken...");
        Hint::set(printAction, Hint::forTopic(13));
        fileMenu->addAction("ohne Hinweis");
        helpMenu = menuBar->addMenu("Hilfe");
        Hint::set(helpMenu->menuAction(), "Hilfethemen");
        helpMenu->addAction("&Info...");

        editor->AssignHelpHints();
        help->InstallHintCallback();
        help->ApplicationHint()->OnApplicationHint = [this](const QString& hint) {
            ++hintCalls;
            help->OnApplicationHint(hint);
        };
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            qFatal("window not exposed");
        // The pointer may still stand where an earlier test left it; a move to the same
        // place is no move.
        QTest::mouseMove(&window, {759, 436});
    }
    QTextEdit* info() const { return help->InfoText(); }
    void pointAt(QWidget* w, QPoint at = {-1, -1}) const {
        if (at == QPoint(-1, -1))
            at = w->rect().center();
        QTest::mouseMove(w, at);
        QCoreApplication::processEvents();
    }
    // The editor pages by their place under the tree's root node.
    enum Page { Externanschluss, Berechtigungen, Rufverteilung };
    void showPage(Page page) const {
        editor->TreeView1()->setCurrentItem(editor->TreeView1()->topLevelItem(0)->child(page));
    }
};
} // namespace

class TestHelpPanel : public QObject {
    Q_OBJECT
private slots:

    // Every topic's heading in bold, then its lines, the first of them empty: their number
    // and the last. An unknown topic empties the panel.
    void showsTopic_data() {
        QTest::addColumn<int>("topic");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<int>("lineCount");
        QTest::addColumn<QString>("lastLine");
        const QString more = "Weitere Informationen erhalten Sie, wenn Sie den Mauszeiger über "
                             "eine Einstellung bewegen.";
        const QString program = "Dieses Programm ermöglicht es Ihnen, Einstellungen an Ihrer "
                                "Telefonanlage vorzunehmen.";
        const struct {
            int topic;
            const char* heading;
            int lines;
            QString last;
        } rows[] = {
            {1, "Konfigurationsprogramm", 2, program},
            {2, "Externanschluss", 4, more},
            {3, "Gerätetyp und Berechtigungen", 4, more},
            {4, "Rufsignalisierung festlegen", 4, more},
            {5, "Konfiguration auslesen", 3, ""},
            {6, "Konfiguration speichern", 5, ""},
            {7, "Werkseinstellungen", 5, ""},
            {8, "Konfigurationsprogramm", 2, program},
            {9, "Öffnen", 3, ""},
            {10, "In Datei speichern", 3, ""},
            {11, "Neu erstellen", 4,
             "Im Gegensatz zum Menüpunkt Werkseinstellungen wird die Konfiguration nicht sofort "
             "in die Telefonanlage gespeichert."},
            {12, "Beenden", 3, ""},
            {13, "Drucken", 3, ""},
            {14, "Drucker einrichten", 3, ""},
            {15, "Neue Firmware", 6,
             "Bevor Sie die Firmware aktualisieren, laden Sie diese bitte zuerst auf Ihren PC "
             "herunter."},
            {16, "Amtsholung", 4, "Diese Einstellung gilt für alle Internteilnehmer."},
            {17, "Externanrufe heranholen", 5, "Diese Einstellung gilt für alle Internteilnehmer."},
            {18, "Anklopfschutz", 5,
             "Das Anklopfen eines weiteren Externteilnehmers an einem Externgespräch ist ein "
             "Orvell-Netz Leistungsmerkmal, und kann durch diese Einstellung nicht beeinflusst "
             "werden. Dazu müssen Sie das Orvell-Netz Leistungsmerkmal Anklopfen durch die "
             "entsprechende Bedienprozedur in der Vermittlungsstelle ein- bzw. ausschalten."},
            {19, "Wartemusik", 4,
             "Ein Externteilnehmer hört die Wartemusik, während Sie ein Rückfragegespräch mit "
             "einem Internteilnehmer führen."},
            {20, "Gerätetyp", 9,
             "Es kann nur ein Anschluss auf Gerätetyp Anrufbeantworter und ein Anschluss auf "
             "Gerätetyp TFE eingestellt werden."},
            {21, "Berechtigungen", 10,
             "Je nach eingestelltem Gerätetyp können einzelne Einstellungen deaktiviert sein!"},
            {22, "Rufsignalisierung festlegen", 7,
             "Je nach eingestelltem Gerätetyp oder eingestellter Berechtigung können einzelne "
             "Kontrollkästchen deaktiviert sein!"},
            {23, "Türrufe an allen Anschlüssen signalisieren", 3, ""},
            {24, "Türrufe an keinem Anschluss signalisieren", 3, ""},
        };
        for (const auto& r : rows)
            QTest::addRow("topic %d", r.topic)
                << r.topic << QString::fromUtf8(r.heading) << r.lines << r.last;
        for (int topic : {0, -1, 25, 1000})
            QTest::addRow("unknown %d", topic) << topic << QString() << 0 << QString();
    }
    void showsTopic() {
        QFETCH(int, topic);
        QWidget parent;
        THelpPanel panel(&parent);
        panel.ShowHelpTopic(GeraetetypTopic);
        panel.ShowHelpTopic(topic);
        QCOMPARE(panelLines(panel.InfoText()), shownTopic(topic));
        const THelpTopic text = helpTopic(topic).value_or(THelpTopic{});
        QTEST(text.heading, "heading");
        QTEST(int(text.lines.size()), "lineCount");
        QCOMPARE(text.lines.value(0), QString());
        QTEST(text.lines.value(text.lines.size() - 1), "lastLine");
    }

    // A hint's short part (before the first bar) and long part (after it, or all of it).
    void hintParts_data() {
        QTest::addColumn<QString>("part");
        QTest::addColumn<QString>("expected");
        QTest::newRow("topic, short") << Hint::shortPart("|20") << "";
        QTest::newRow("topic, long") << Hint::longPart("|20") << "20";
        QTest::newRow("both, short") << Hint::shortPart("Neu|Neue Datei erstellen") << "Neu";
        QTest::newRow("both, long")
            << Hint::longPart("Neu|Neue Datei erstellen") << "Neue Datei erstellen";
        QTest::newRow("no bar, long") << Hint::longPart("Hilfethemen") << "Hilfethemen";
        QTest::newRow("two bars, long") << Hint::longPart("a|b|c") << "b|c";
    }
    void hintParts() {
        QFETCH(QString, part);
        QTEST(part, "expected");
    }

    // The panel shows Amtsholung when the hint comes; the topic shown afterwards.
    void onApplicationHint_data() {
        QTest::addColumn<QString>("hint");
        QTest::addColumn<int>("topic");
        const std::pair<const char*, int> rows[] = {
            {"", AmtsholungTopic},
            {"Tipp|", AmtsholungTopic},
            {"|19", 19},
            {"x|5", 5}, // the short part is ignored
            {"Hilfethemen", NoTopic},
            {"Info|Zeigt Programminformationen an", NoTopic},
            {"|0", NoTopic},
            {"|25", NoTopic},
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
        panel.ShowHelpTopic(AmtsholungTopic);
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

    // The page panels and the editor's groups carry a topic; their controls carry none and
    // take their group's.
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
        group("PanelRuf", 4);
        group("PanelAmtsholung", 16);
        group("PanelHeranholen", 17);
        group("PanelAnklopfschutz", 18);
        group("PanelWartemusik", 19);
        group("PanelTyp1", 20);
        group("PanelTyp4", 20);
        group("PanelBerecht2", 21);
        group("PanelRuf3", 22);
        group("ButtonTlnEin", 23);
        group("ButtonTlnAus", 24);
        control("RBAmtsholungNein", 16);
        control("RBHeranholenJa", 17);
        control("RBAnklopfschutzJa", 18);
        control("RBWartemusikNein", 19);
        control("RBAnrufbeantworter21", 20);
        control("RBAnrufbeantworter22", 20);
        control("CBtb23", 21);
        control("CBTaste3Ruf21", 22);
        control("CBTaste4Ruf24", 22);
        control("CBarb24", 22);
        QTest::newRow("TreeView1") << "TreeView1" << QString() << QString();
    }
    void editorHints() {
        QFETCH(QString, control);
        EditorHost h;
        h.editor->AssignHelpHints();
        const QWidget* widget = h.find<QWidget>(control);
        QTEST(Hint::of(widget), "own");
        QTEST(Hint::resolve(widget), "resolved");
    }

    // The tree carries no hint: pointing at it keeps the text, clicking its selected node
    // shows the page's topic again. The page's own background carries the page's topic.
    void treeAndPageBackground() {
        HelpHost h;
        h.showPage(HelpHost::Rufverteilung);
        QTreeWidget* tree = h.editor->TreeView1();
        h.pointAt(h.button("CBTaste1Ruf22"));
        QCOMPARE(panelLines(h.info()), shownTopic(22));
        const QPoint node = tree->visualItemRect(tree->currentItem()).center();
        h.pointAt(tree->viewport(), node);
        QCOMPARE(h.help->ApplicationHint()->CurrentHint(), QString());
        QCOMPARE(panelLines(h.info()), shownTopic(22));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, node);
        QCOMPARE(panelLines(h.info()), shownTopic(4));
        QCOMPARE(
            panelLines(h.info()).at(2),
            "Hier können Sie festlegen, an welchen internen Anschlüssen ein Externanruf und/oder "
            "Türruf signalisiert werden soll.");
        h.pointAt(h.button("CBTaste1Ruf22"));
        h.pointAt(h.editor->PanelRuf(), {360, 380});
        QCOMPARE(panelLines(h.info()), shownTopic(4));
    }

    void callbackOnlyOnChange() {
        HelpHost h;
        h.showPage(HelpHost::Berechtigungen);
        h.pointAt(h.button("RBTelefon21"));
        const int calls = h.hintCalls;
        QCOMPARE(h.help->ApplicationHint()->CurrentHint(), "|20");
        h.pointAt(h.button("RBTfe21"));
        h.pointAt(h.editor->Port(1).panelTyp, {2, 2});
        h.pointAt(h.button("RBTelefon24"));
        QCOMPARE(h.hintCalls, calls); // still "|20"
        h.pointAt(h.button("RBvab21"));
        QCOMPARE(h.hintCalls, calls + 1);
        QCOMPARE(heading(h.info()), "*Berechtigungen");
    }

    void menusSetTheHint() {
        HelpHost h;
        h.showPage(HelpHost::Berechtigungen);
        h.fileMenu->popup(h.window.mapToGlobal(QPoint(0, 22)));
        QVERIFY(QTest::qWaitForWindowExposed(h.fileMenu));
        QCOMPARE(heading(h.info()), "*Konfigurationsprogramm"); // the menu itself: topic 8
        h.fileMenu->setActiveAction(h.printAction);
        QCOMPARE(h.help->ApplicationHint()->CurrentHint(), "|13");
        QCOMPARE(heading(h.info()), "*Drucken");
        h.fileMenu->setActiveAction(h.fileMenu->actions().at(1)); // an item without a hint
        QCOMPARE(h.help->ApplicationHint()->CurrentHint(), QString());
        QCOMPARE(heading(h.info()), "*Drucken");
        // while the menu is open, the controls under it do not count
        h.pointAt(h.button("RBTelefon21"));
        QCOMPARE(heading(h.info()), "*Drucken");
        h.fileMenu->hide();
        QCOMPARE(h.help->ApplicationHint()->CurrentHint(), QString());
        QCOMPARE(heading(h.info()), "*Drucken");

        h.helpMenu->popup(h.window.mapToGlobal(QPoint(60, 22)));
        QVERIFY(QTest::qWaitForWindowExposed(h.helpMenu));
        QCOMPARE(h.help->ApplicationHint()->CurrentHint(), "Hilfethemen");
        QVERIFY(h.info()->document()->isEmpty());
        h.pointAt(h.button("RBTfe21")); // ignored while the menu is open
        QVERIFY(h.info()->document()->isEmpty());
        h.helpMenu->hide();
        QCOMPARE(h.help->ApplicationHint()->CurrentHint(), QString());

        // once closed, the pointer counts again
        h.pointAt(h.button("RBTelefon22"));
        QCOMPARE(heading(h.info()), "*Gerätetyp");
    }

    void toolButtonUsesItsAction() {
        HelpHost h;
        auto* action = new QAction("Konfiguration auslesen", &h.window);
        Hint::set(action, Hint::forTopic(5));
        auto* button = new QToolButton(&h.window);
        button->setDefaultAction(action);
        button->setGeometry(300, 2, 100, 24);
        button->show();
        h.pointAt(button);
        QCOMPARE(heading(h.info()), "*Konfiguration auslesen");
        Hint::set(button, Hint::forTopic(6)); // its own hint wins
        h.pointAt(h.button("RBHeranholenJa"));
        h.pointAt(button);
        QCOMPARE(heading(h.info()), "*Konfiguration speichern");
    }

    // Set ZUVEX_GRAB_DIR to keep pictures of the pages, Externanschluss with the panel's
    // longest topic.
    void grabPages() {
        const QString dir = qEnvironmentVariable("ZUVEX_GRAB_DIR");
        if (dir.isEmpty())
            QSKIP("ZUVEX_GRAB_DIR not set");
        HelpHost h;
        h.editor->SetFactoryDefaults();
        h.click({"RBAnrufbeantworter22", "RBTfe23", "RBhab24", "CBTaste2Ruf24"});
        QVERIFY(h.window.grab().save(dir + "/page-image.png"));
        for (auto [page, name] : {std::pair{HelpHost::Rufverteilung, "ruf"},
                                  {HelpHost::Berechtigungen, "tln"},
                                  {HelpHost::Externanschluss, "ltg"}}) {
            h.showPage(page);
            QVERIFY(h.window.grab().save(dir + "/page-" + name + ".png"));
        }
        h.pointAt(h.button("RBAnklopfschutzJa"));
        QVERIFY(h.window.grab().save(dir + "/help-18.png"));
    }
};

QTEST_MAIN(TestHelpPanel)
#include "tst_help_panel.moc"
