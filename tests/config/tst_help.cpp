// The help panel: topic texts, the application's hint and how it follows the pointer.
#include "EditorHost.h"
#include "config/ApplicationHint.h"
#include "config/HelpPanel.h"
#include "config/HelpTexts.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>

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

QString heading(const QTextEdit* edit) {
    const QStringList lines = panelLines(edit);
    return lines.isEmpty() ? QString() : lines.first();
}

// The main window's regions with the editor, the help panel and a menu bar.
struct HelpHost : EditorHost {
    QWidget* infoArea;
    std::unique_ptr<THelpPanel> help;
    QMenuBar* menuBar;
    QMenu* fileMenu;
    QMenu* helpMenu;
    QAction* printAction;
    QAction* aboutAction;
    int hintCalls = 0;

    HelpHost() {
        infoArea = new QWidget(&window);
        infoArea->setGeometry(528, 30, 232, 388);
        help = std::make_unique<THelpPanel>(infoArea);
        QObject::connect(editor.get(), &TEditorPages::helpTopicRequested, help.get(),
                         &THelpPanel::ShowHelpTopic);
        menuBar = new QMenuBar(&window);
        menuBar->setGeometry(0, 0, 300, 22);
        fileMenu = menuBar->addMenu("Konfiguration");
        Hint::set(fileMenu->menuAction(), Hint::forTopic(8));
        printAction = fileMenu->addAction("&Drucken...");
        Hint::set(printAction, Hint::forTopic(13));
        fileMenu->addAction("ohne Hinweis");
        helpMenu = menuBar->addMenu("Hilfe");
        Hint::set(helpMenu->menuAction(), "Hilfethemen");
        aboutAction = helpMenu->addAction("&Info...");
        Hint::set(aboutAction, "Info|Zeigt Programminformationen an");

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
    void showPage(int child) const {
        QTreeWidgetItem* root = editor->TreeView1()->topLevelItem(0);
        editor->TreeView1()->setCurrentItem(child < 0 ? root : root->child(child));
    }
};
} // namespace

class TestHelp : public QObject {
    Q_OBJECT
private slots:
    void topicTexts_data();
    void topicTexts();
    void topicOneEqualsEight();
    void unknownTopicsEmptyThePanel();
    void hintParts();
    void onApplicationHint_data();
    void onApplicationHint();
    void panelLayout();
    void editorHints();
    void inheritedHints_data();
    void inheritedHints();
    void treeKeepsText();
    void clickingSelectedNodeRewritesTopic();
    void callbackOnlyOnChange();
    void menusSetTheHint();
    void toolButtonUsesItsAction();
    void grabPanel();
};

// Heading, number of further lines and the last of them, for every topic.
void TestHelp::topicTexts_data() {
    QTest::addColumn<int>("topic");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<QString>("lastLine");
    const QString more = "Weitere Informationen erhalten Sie, wenn Sie den Mauszeiger über eine "
                         "Einstellung bewegen.";
    const struct {
        int topic;
        const char* heading;
        int lines;
        QString last;
    } rows[] = {
        {1, "Konfigurationsprogramm", 2,
         "Dieses Programm ermöglicht es Ihnen, Einstellungen an Ihrer Telefonanlage vorzunehmen."},
        {2, "Externanschluss", 4, more},
        {3, "Gerätetyp und Berechtigungen", 4, more},
        {4, "Rufsignalisierung festlegen", 4, more},
        {5, "Konfiguration auslesen", 3, ""},
        {6, "Konfiguration speichern", 5, ""},
        {7, "Werkseinstellungen", 5, ""},
        {8, "Konfigurationsprogramm", 2,
         "Dieses Programm ermöglicht es Ihnen, Einstellungen an Ihrer Telefonanlage vorzunehmen."},
        {9, "Öffnen", 3, ""},
        {10, "In Datei speichern", 3, ""},
        {11, "Neu erstellen", 4,
         "Im Gegensatz zum Menüpunkt Werkseinstellungen wird die Konfiguration nicht sofort in die "
         "Telefonanlage gespeichert."},
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
         "Orvell-Netz Leistungsmerkmal, und kann durch diese Einstellung nicht beeinflusst werden. "
         "Dazu müssen Sie das Orvell-Netz Leistungsmerkmal Anklopfen durch die entsprechende "
         "Bedienprozedur in der Vermittlungsstelle ein- bzw. ausschalten."},
        {19, "Wartemusik", 4,
         "Ein Externteilnehmer hört die Wartemusik, während Sie ein Rückfragegespräch mit einem "
         "Internteilnehmer führen."},
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
}

void TestHelp::topicTexts() {
    QFETCH(int, topic);
    QFETCH(QString, heading);
    QFETCH(int, lineCount);
    QFETCH(QString, lastLine);
    QWidget parent;
    parent.resize(232, 388);
    THelpPanel panel(&parent);
    panel.ShowHelpTopic(topic);
    const QStringList lines = panelLines(panel.InfoText());
    QCOMPARE(lines.size(), 1 + lineCount);
    QCOMPARE(lines.first(), "*" + heading);
    QCOMPARE(lines.last(), lineCount ? lastLine : "*" + heading);
    QCOMPARE(lines.at(1), QString()); // every topic starts with an empty line
    for (const QString& line : lines.mid(1))
        QVERIFY2(!line.startsWith(u'*'), qPrintable(line)); // only the heading is bold

    // The pure data agrees with what the panel shows.
    const std::optional<THelpTopic> data = helpTopic(topic);
    QVERIFY(data);
    QCOMPARE("*" + data->heading, lines.first());
    QCOMPARE(data->lines, lines.mid(1));
}

void TestHelp::topicOneEqualsEight() {
    QTextDocument one, eight;
    writeHelpTopic(one, 1);
    writeHelpTopic(eight, 8);
    QCOMPARE(one.toHtml(), eight.toHtml());
    QVERIFY(!one.isEmpty());
}

void TestHelp::unknownTopicsEmptyThePanel() {
    QWidget parent;
    THelpPanel panel(&parent);
    for (int topic : {0, -1, 25, 1000}) {
        panel.ShowHelpTopic(20);
        QVERIFY(!panel.InfoText()->document()->isEmpty());
        panel.ShowHelpTopic(topic);
        QVERIFY2(panel.InfoText()->document()->isEmpty(), qPrintable(QString::number(topic)));
    }
}

void TestHelp::hintParts() {
    QCOMPARE(Hint::forTopic(20), "|20");
    QCOMPARE(Hint::shortPart("|20"), "");
    QCOMPARE(Hint::longPart("|20"), "20");
    QCOMPARE(Hint::shortPart("Neu|Neue Datei erstellen"), "Neu");
    QCOMPARE(Hint::longPart("Neu|Neue Datei erstellen"), "Neue Datei erstellen");
    QCOMPARE(Hint::longPart("Hilfethemen"), "Hilfethemen");
    QCOMPARE(Hint::longPart("a|b|c"), "b|c");
}

void TestHelp::onApplicationHint_data() {
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("shown"); // heading afterwards; "keep" = topic 16 stays
    QTest::newRow("empty keeps the text") << ""
                                          << "keep";
    QTest::newRow("empty long part keeps the text") << "Tipp|"
                                                    << "keep";
    QTest::newRow("topic") << "|19"
                           << "*Wartemusik";
    QTest::newRow("short part ignored") << "x|5"
                                        << "*Konfiguration auslesen";
    QTest::newRow("not a number") << "Hilfethemen"
                                  << "";
    QTest::newRow("sentence") << "Info|Zeigt Programminformationen an"
                              << "";
    QTest::newRow("zero") << "|0"
                          << "";
    QTest::newRow("too large") << "|25"
                               << "";
    QTest::newRow("number with text") << "|12a"
                                      << "";
}

void TestHelp::onApplicationHint() {
    QFETCH(QString, hint);
    QFETCH(QString, shown);
    QWidget parent;
    THelpPanel panel(&parent);
    panel.ShowHelpTopic(16);
    panel.OnApplicationHint(hint);
    QCOMPARE(heading(panel.InfoText()), shown == "keep" ? "*Amtsholung" : shown);
}

void TestHelp::panelLayout() {
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

void TestHelp::editorHints() {
    EditorHost h;
    h.editor->AssignHelpHints();
    const std::pair<const char*, int> expected[] = {{"PanelImage", 1},
                                                    {"PanelLtg", 2},
                                                    {"PanelTln", 3},
                                                    {"PanelRuf", 4},
                                                    {"PanelAmtsholung", 16},
                                                    {"PanelHeranholen", 17},
                                                    {"PanelAnklopfschutz", 18},
                                                    {"PanelWartemusik", 19},
                                                    {"PanelTyp1", 20},
                                                    {"PanelTyp4", 20},
                                                    {"PanelBerecht2", 21},
                                                    {"PanelRuf3", 22},
                                                    {"ButtonTlnEin", 23},
                                                    {"ButtonTlnAus", 24}};
    for (const auto& [name, topic] : expected)
        QCOMPARE(Hint::of(h.window.findChild<QWidget*>(name)), "|" + QString::number(topic));
    // the controls themselves carry none and inherit their group's
    QCOMPARE(Hint::of(h.rb("RBAnrufbeantworter21")), QString());
    QCOMPARE(Hint::resolve(h.rb("RBAnrufbeantworter21")), "|20");
    QCOMPARE(Hint::resolve(h.cb("CBTaste4Ruf24")), "|22");
    QCOMPARE(Hint::resolve(h.editor->TreeView1()), QString());
}

void TestHelp::inheritedHints_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("heading");
    QTest::newRow("Anrufbeantworter row") << 1 << "RBAnrufbeantworter22"
                                          << "*Gerätetyp";
    QTest::newRow("türberechtigt") << 1 << "CBtb23"
                                   << "*Berechtigungen";
    QTest::newRow("Klingeltaste box") << 2 << "CBTaste3Ruf21"
                                      << "*Rufsignalisierung festlegen";
    QTest::newRow("Externanruf box") << 2 << "CBarb24"
                                     << "*Rufsignalisierung festlegen";
    QTest::newRow("door button on") << 2 << "ButtonTlnEin"
                                    << "*Türrufe an allen Anschlüssen signalisieren";
    QTest::newRow("door button off") << 2 << "ButtonTlnAus"
                                     << "*Türrufe an keinem Anschluss signalisieren";
    QTest::newRow("Amtsholung") << 0 << "RBAmtsholungNein"
                                << "*Amtsholung";
    QTest::newRow("Heranholen") << 0 << "RBHeranholenJa"
                                << "*Externanrufe heranholen";
    QTest::newRow("Anklopfschutz") << 0 << "RBAnklopfschutzJa"
                                   << "*Anklopfschutz";
    QTest::newRow("Wartemusik") << 0 << "RBWartemusikNein"
                                << "*Wartemusik";
}

void TestHelp::inheritedHints() {
    QFETCH(int, page);
    QFETCH(QString, control);
    HelpHost h;
    h.showPage(-1);
    h.showPage(page);
    QCOMPARE(heading(h.info()), QStringList({"*Externanschluss", "*Gerätetyp und Berechtigungen",
                                             "*Rufsignalisierung festlegen"})
                                    .at(page));
    h.pointAt(h.button(control));
    QTEST(heading(h.info()), "heading");
}

void TestHelp::treeKeepsText() {
    HelpHost h;
    h.showPage(0);
    h.pointAt(h.rb("RBAmtsholungJa"));
    QCOMPARE(heading(h.info()), "*Amtsholung");
    h.pointAt(h.editor->TreeView1()->viewport(), {80, 300});
    QCOMPARE(h.help->ApplicationHint()->CurrentHint(), QString());
    QCOMPARE(heading(h.info()), "*Amtsholung");
    // the page's own background carries the page topic
    h.pointAt(h.editor->PanelLtg(), {360, 380});
    QCOMPARE(heading(h.info()), "*Externanschluss");
}

void TestHelp::clickingSelectedNodeRewritesTopic() {
    HelpHost h;
    h.showPage(2);
    QTreeWidget* tree = h.editor->TreeView1();
    h.pointAt(h.cb("CBTaste1Ruf22"));
    QCOMPARE(heading(h.info()), "*Rufsignalisierung festlegen");
    QCOMPARE(panelLines(h.info()).size(), 8); // topic 22
    const QPoint at = tree->visualItemRect(tree->currentItem()).center();
    h.pointAt(tree->viewport(), at);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(panelLines(h.info()).size(), 5); // topic 4 again
    QCOMPARE(panelLines(h.info()).at(2),
             "Hier können Sie festlegen, an welchen internen Anschlüssen ein Externanruf und/oder "
             "Türruf signalisiert werden soll.");
    QVERIFY(h.editor->PanelRuf()->isVisible());
}

void TestHelp::callbackOnlyOnChange() {
    HelpHost h;
    h.showPage(1);
    h.pointAt(h.rb("RBTelefon21"));
    const int calls = h.hintCalls;
    QCOMPARE(h.help->ApplicationHint()->CurrentHint(), "|20");
    h.pointAt(h.rb("RBTfe21"));
    h.pointAt(h.editor->Port(1).panelTyp, {2, 2});
    h.pointAt(h.rb("RBTelefon24"));
    QCOMPARE(h.hintCalls, calls); // still "|20"
    h.pointAt(h.rb("RBvab21"));
    QCOMPARE(h.hintCalls, calls + 1);
    QCOMPARE(heading(h.info()), "*Berechtigungen");
}

void TestHelp::menusSetTheHint() {
    HelpHost h;
    h.showPage(1);
    h.pointAt(h.rb("RBvab21"));
    QCOMPARE(heading(h.info()), "*Berechtigungen");

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
    h.pointAt(h.rb("RBTelefon21"));
    QCOMPARE(heading(h.info()), "*Drucken");
    h.fileMenu->hide();
    QCOMPARE(h.help->ApplicationHint()->CurrentHint(), QString());
    QCOMPARE(heading(h.info()), "*Drucken");

    h.helpMenu->popup(h.window.mapToGlobal(QPoint(60, 22)));
    QVERIFY(QTest::qWaitForWindowExposed(h.helpMenu));
    QCOMPARE(h.help->ApplicationHint()->CurrentHint(), "Hilfethemen");
    QVERIFY(h.info()->document()->isEmpty());
    h.pointAt(h.rb("RBTfe21")); // ignored while the menu is open
    QVERIFY(h.info()->document()->isEmpty());
    h.helpMenu->setActiveAction(h.aboutAction);
    QVERIFY(h.info()->document()->isEmpty());
    h.helpMenu->hide();
    QCOMPARE(h.help->ApplicationHint()->CurrentHint(), QString());

    // once closed, the pointer counts again
    h.pointAt(h.rb("RBTelefon22"));
    QCOMPARE(heading(h.info()), "*Gerätetyp");
}

void TestHelp::toolButtonUsesItsAction() {
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
    h.pointAt(h.rb("RBHeranholenJa"));
    h.pointAt(button);
    QCOMPARE(heading(h.info()), "*Konfiguration speichern");
}

// Set ZUVEX_GRAB_DIR to keep a picture of the panel with its longest topic.
void TestHelp::grabPanel() {
    const QString dir = qEnvironmentVariable("ZUVEX_GRAB_DIR");
    if (dir.isEmpty())
        QSKIP("ZUVEX_GRAB_DIR not set");
    HelpHost h;
    h.showPage(0);
    h.pointAt(h.rb("RBAnklopfschutzJa"));
    QVERIFY(h.window.grab().save(dir + "/help-18.png"));
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
