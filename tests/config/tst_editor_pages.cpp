// The tree, the page panels, their names, fonts and layout.
#include "EditorHost.h"

#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>

namespace {
QString describe(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w))
        return "label " + label->text();
    return w->objectName();
}
} // namespace

class TestEditorPages : public QObject {
    Q_OBJECT
private slots:
    void tree();
    void panels();
    void controlNames();
    void overviewPicture();
    void fonts();
    void showPage_data();
    void showPage();
    void clickingSelectedNodeShowsItAgain();
    void onlyLeftClickOrKeysChangePage_data();
    void onlyLeftClickOrKeysChangePage();
    void layoutFits_data();
    void layoutFits();
    void grabPages();
};

void TestEditorPages::tree() {
    EditorHost h;
    QTreeWidget* tree = h.window.findChild<QTreeWidget*>("TreeView1");
    QVERIFY(tree);
    QCOMPARE(tree->parentWidget(), h.treeArea);
    h.window.show();
    QCOMPARE(tree->geometry(), QRect(0, 0, 161, 387));
    QVERIFY(!tree->rootIsDecorated());
    QCOMPARE(tree->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    QCOMPARE(root->text(0), "Konfiguration");
    QVERIFY(root->isExpanded());
    QCOMPARE(root->childCount(), 3);
    QCOMPARE(root->child(0)->text(0), "Externanschluss");
    QCOMPARE(root->child(1)->text(0), "Berechtigungen");
    QCOMPARE(root->child(2)->text(0), "Rufverteilung");
}

void TestEditorPages::panels() {
    EditorHost h;
    h.window.show();
    for (const char* name : {"PanelImage", "PanelLtg", "PanelTln", "PanelRuf"}) {
        auto* panel = h.window.findChild<QFrame*>(name);
        QVERIFY2(panel, name);
        QCOMPARE(panel->parentWidget(), h.pageArea);
        QCOMPARE(panel->geometry(), QRect(0, 0, 368, 388));
        QCOMPARE(panel->isVisible(), QByteArray(name) == "PanelImage");
    }
}

void TestEditorPages::controlNames() {
    EditorHost h;
    auto expectIn = [&](const QString& name, const QString& parent) {
        QWidget* w = h.window.findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(w->parentWidget()->objectName(), parent);
    };
    for (int p = 1; p <= 4; ++p) {
        const QString n = QString::number(20 + p);
        const QString typ = QStringLiteral("PanelTyp%1").arg(p);
        const QString berecht = QStringLiteral("PanelBerecht%1").arg(p);
        const QString ruf = QStringLiteral("PanelRuf%1").arg(p);
        expectIn(typ, "PanelTln");
        expectIn(berecht, "PanelTln");
        expectIn(ruf, "PanelRuf");
        for (const char* rb : {"RBTelefon", "RBAnrufbeantworter", "RBTfe"})
            expectIn(QString::fromLatin1(rb) + n, typ);
        for (const char* rb : {"RBvab", "RBhab", "RBnab", "CBtb"})
            expectIn(QString::fromLatin1(rb) + n, berecht);
        expectIn("CBarb" + n, ruf);
        for (int k = 1; k <= 4; ++k)
            expectIn(QStringLiteral("CBTaste%1Ruf").arg(k) + n, ruf);
    }
    for (const char* g : {"Amtsholung", "Heranholen", "Anklopfschutz", "Wartemusik"}) {
        const QString name = QString::fromLatin1(g);
        expectIn("Panel" + name, "PanelLtg");
        expectIn("RB" + name + "Ja", "Panel" + name);
        expectIn("RB" + name + "Nein", "Panel" + name);
    }
    expectIn("ButtonTlnEin", "PanelRuf");
    expectIn("ButtonTlnAus", "PanelRuf");
    QCOMPARE(h.button("RBAmtsholungNein")->text(), "durch Vorwahl der Kennziffer 0");
    QCOMPARE(h.button("RBWartemusikJa")->text(), "ein");
    QCOMPARE(h.button("ButtonTlnEin")->text(), "Türrufe an allen Anschlüssen signalisieren");
    QCOMPARE(h.button("ButtonTlnAus")->text(), "Türrufe an keinem Anschluss signalisieren");
    QVERIFY(h.button("RBTelefon21")->text().isEmpty());
}

void TestEditorPages::overviewPicture() {
    EditorHost h;
    auto* image = h.window.findChild<QLabel*>("Image1");
    QVERIFY(image);
    QCOMPARE(image->parentWidget()->objectName(), "PanelImage");
    QCOMPARE(image->geometry(), QRect(8, 53, 340, 236));
    QCOMPARE(image->pixmap().size(), QSize(340, 236));
    QFile gif(":/images/overview.gif");
    QVERIFY(gif.open(QIODevice::ReadOnly));
    QCOMPARE(gif.read(6), QByteArray("GIF89a"));
}

void TestEditorPages::fonts() {
    EditorHost h;
    for (QFrame* page : {h.editor->PanelLtg(), h.editor->PanelTln(), h.editor->PanelRuf()}) {
        QCOMPARE(page->font().family(), "Arial");
        QCOMPARE(page->font().pixelSize(), 13);
        const auto labels = page->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        QVERIFY(!labels.isEmpty());
        const QFont heading = labels.first()->font();
        QCOMPARE(heading.pixelSize(), 16);
        QVERIFY(heading.bold());
    }
    QCOMPARE(h.rb("RBvab21")->font().pixelSize(), 13);
    QVERIFY(!h.rb("RBvab21")->font().bold());
}

void TestEditorPages::showPage_data() {
    QTest::addColumn<int>("child"); // -1: the root
    QTest::addColumn<QString>("visible");
    QTest::addColumn<int>("topic");
    QTest::newRow("Konfiguration") << -1 << "PanelImage" << 1;
    QTest::newRow("Externanschluss") << 0 << "PanelLtg" << 2;
    QTest::newRow("Berechtigungen") << 1 << "PanelTln" << 3;
    QTest::newRow("Rufverteilung") << 2 << "PanelRuf" << 4;
}

void TestEditorPages::showPage() {
    QFETCH(int, child);
    QFETCH(QString, visible);
    EditorHost h;
    h.window.show();
    QSignalSpy topics(h.editor.get(), &TEditorPages::helpTopicRequested);
    QTreeWidgetItem* root = h.editor->TreeView1()->topLevelItem(0);
    // come from another page first
    h.editor->TreeView1()->setCurrentItem(root->child(child == 1 ? 2 : 1));
    h.editor->TreeView1()->setCurrentItem(child < 0 ? root : root->child(child));
    for (QFrame* panel :
         {h.editor->PanelImage(), h.editor->PanelLtg(), h.editor->PanelTln(), h.editor->PanelRuf()})
        QCOMPARE(panel->isVisible(), panel->objectName() == visible);
    QCOMPARE(topics.size(), 2);
    QTEST(topics.last().at(0).toInt(), "topic");
}

void TestEditorPages::clickingSelectedNodeShowsItAgain() {
    EditorHost h;
    h.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&h.window));
    QTreeWidget* tree = h.editor->TreeView1();
    QTreeWidgetItem* ruf = tree->topLevelItem(0)->child(2);
    QSignalSpy topics(h.editor.get(), &TEditorPages::helpTopicRequested);
    const QPoint at = tree->visualItemRect(ruf).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QVERIFY(h.editor->PanelRuf()->isVisible());
    QVERIFY(!topics.isEmpty());
    QCOMPARE(topics.last().at(0).toInt(), 4);
    topics.clear();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(topics.size(), 1);
    QCOMPARE(topics.last().at(0).toInt(), 4);
}

void TestEditorPages::onlyLeftClickOrKeysChangePage_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("page");
    QTest::newRow("left click") << "left"
                                << "PanelRuf";
    QTest::newRow("right click") << "right"
                                 << "PanelImage";
    QTest::newRow("middle click") << "middle"
                                  << "PanelImage";
    QTest::newRow("tab into the tree") << "tab"
                                       << "PanelImage";
    QTest::newRow("tab, then arrow down") << "tab down"
                                          << "PanelLtg";
}

// A node is shown only when it is selected by a left click or by the keyboard; tabbing into
// the tree makes a node current without selecting it, and shows no help topic.
void TestEditorPages::onlyLeftClickOrKeysChangePage() {
    QFETCH(QString, how);
    QFETCH(QString, page);
    EditorHost h;
    QTreeWidget* tree = h.editor->TreeView1();
    auto* before = new QPushButton(QStringLiteral("vor dem Baum"), &h.window);
    h.window.setTabOrder(before, tree);
    before->setFocus();
    QSignalSpy topics(h.editor.get(), &TEditorPages::helpTopicRequested);
    h.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    const QPoint ruf = tree->visualItemRect(tree->topLevelItem(0)->child(2)).center();
    const QStringList steps = how.split(u' ');
    if (steps.first() == "tab") {
        QTest::keyClick(before, Qt::Key_Tab);
        QVERIFY(tree->hasFocus());
        for (const QString& step : steps.mid(1))
            QTest::keyClick(tree, step == "down" ? Qt::Key_Down : Qt::Key_Up);
    } else {
        const Qt::MouseButton button = how == "left"    ? Qt::LeftButton
                                       : how == "right" ? Qt::RightButton
                                                        : Qt::MiddleButton;
        QTest::mouseClick(tree->viewport(), button, {}, ruf);
    }
    QVERIFY(h.window.findChild<QFrame*>(page)->isVisible());
    QCOMPARE(topics.isEmpty(), page == "PanelImage");
}

void TestEditorPages::layoutFits_data() {
    QTest::addColumn<QString>("page");
    QTest::newRow("Externanschluss") << "PanelLtg";
    QTest::newRow("Berechtigungen") << "PanelTln";
    QTest::newRow("Rufverteilung") << "PanelRuf";
    QTest::newRow("Bild") << "PanelImage";
}

// Siblings do not overlap, everything lies inside its parent, and no text is clipped.
void TestEditorPages::layoutFits() {
    QFETCH(QString, page);
    EditorHost h;
    h.window.show();
    QWidget* panel = h.window.findChild<QWidget*>(page);
    QList<QWidget*> parents{panel};
    for (QFrame* frame : panel->findChildren<QFrame*>())
        parents << frame;
    for (QWidget* parent : parents) {
        const auto children = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (int i = 0; i < children.size(); ++i) {
            QWidget* a = children[i];
            QVERIFY2(parent->rect().contains(a->geometry()), qPrintable(a->objectName()));
            for (int j = i + 1; j < children.size(); ++j)
                QVERIFY2(!a->geometry().intersects(children[j]->geometry()),
                         qPrintable(describe(a) + " / " + describe(children[j])));
            if (auto* label = qobject_cast<QLabel*>(a); label && label->pixmap().isNull())
                QVERIFY2(label->sizeHint().width() <= label->width() &&
                             label->sizeHint().height() <= label->height() + 4,
                         qPrintable(label->text()));
            if (auto* button = qobject_cast<QAbstractButton*>(a))
                QVERIFY2(button->sizeHint().width() <= button->width(),
                         qPrintable(button->objectName()));
        }
    }
}

// Set ZUVEX_GRAB_DIR to keep pictures of the three pages for a look.
void TestEditorPages::grabPages() {
    const QString dir = qEnvironmentVariable("ZUVEX_GRAB_DIR");
    if (dir.isEmpty())
        QSKIP("ZUVEX_GRAB_DIR not set");
    EditorHost h;
    h.editor->SetFactoryDefaults();
    h.run({"RBAnrufbeantworter22", "RBTfe23", "RBhab24", "CBTaste2Ruf24"});
    h.window.show();
    QTreeWidgetItem* root = h.editor->TreeView1()->topLevelItem(0);
    const std::pair<QTreeWidgetItem*, const char*> pages[] = {
        {root, "image"}, {root->child(0), "ltg"}, {root->child(1), "tln"}, {root->child(2), "ruf"}};
    for (const auto& [node, name] : pages) {
        h.editor->TreeView1()->setCurrentItem(node);
        QVERIFY(h.window.grab().save(QDir(dir).filePath(QString("page-%1.png").arg(name))));
    }
}

QTEST_MAIN(TestEditorPages)
#include "tst_editor_pages.moc"
