// The tree, the page panels, their names, fonts and layout.
#include "EditorHost.h"

namespace {
QString describe(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w))
        return "label " + label->text();
    return w->objectName();
}

// What is done to the tree: a node made current by the program, a click on the node
// Rufverteilung, a tab into the tree from the control before it, the arrow key down.
enum class TreeStep {
    RootCurrent,
    ExternCurrent,
    BerechtigungenCurrent,
    RufCurrent,
    LeftClickRuf,
    RightClickRuf,
    MiddleClickRuf,
    TabIntoTree,
    ArrowDown
};
using TreeSteps = QList<TreeStep>;
} // namespace
Q_DECLARE_METATYPE(TreeStep)

class TestEditorPages : public QObject {
    Q_OBJECT
private slots:
    // Where the tree, the page panels and the overview picture lie.
    void placement_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("tree") << "TreeView1"
                              << "treeArea" << QRect(0, 0, 161, 387);
        for (const char* panel : {"PanelImage", "PanelLtg", "PanelTln", "PanelRuf"})
            QTest::newRow(panel) << panel << "pageArea" << QRect(0, 0, 368, 388);
        QTest::newRow("picture") << "Image1"
                                 << "PanelImage" << QRect(8, 53, 340, 236);
    }
    void placement() {
        QFETCH(QString, name);
        EditorHost h;
        h.treeArea->setObjectName("treeArea");
        h.pageArea->setObjectName("pageArea");
        h.window.show();
        auto* w = h.find<QWidget>(name);
        QTEST(w->parentWidget()->objectName(), "parent");
        QTEST(w->geometry(), "geometry");
    }

    void tree() {
        EditorHost h;
        QTreeWidget* tree = h.editor->TreeView1();
        QVERIFY(!tree->rootIsDecorated());
        QCOMPARE(tree->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(tree->topLevelItemCount(), 1);
        QTreeWidgetItem* root = tree->topLevelItem(0);
        QVERIFY(root->isExpanded());
        QStringList texts{root->text(0)};
        for (int i = 0; i < root->childCount(); ++i)
            texts << root->child(i)->text(0);
        QCOMPARE(texts, (QStringList{"Konfiguration", "Externanschluss", "Berechtigungen",
                                     "Rufverteilung"}));
    }

    void controlNames() {
        EditorHost h;
        auto expectIn = [&](const QString& name, const QString& parent) {
            QCOMPARE(h.find<QWidget>(name)->parentWidget()->objectName(), parent);
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

    void overviewPicture() {
        EditorHost h;
        QVERIFY(h.editor->Image1()->isVisibleTo(h.editor->PanelImage()));
        QCOMPARE(h.editor->Image1()->pixmap().size(), QSize(340, 236));
        QFile gif(":/images/overview.gif");
        QVERIFY(gif.open(QIODevice::ReadOnly));
        QCOMPARE(gif.read(6), QByteArray("GIF89a"));
    }

    void fonts() {
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
        QCOMPARE(h.button("RBvab21")->font().pixelSize(), 13);
        QVERIFY(!h.button("RBvab21")->font().bold());
    }

    void pageShown_data() {
        using enum TreeStep;
        QTest::addColumn<TreeSteps>("steps");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QList<int>>("topics"); // the help topics asked for on the way
        const auto row = [](const char* name, const TreeSteps& steps, const char* page,
                            const QList<int>& topics) {
            QTest::newRow(name) << steps << QString(page) << topics;
        };
        row("Konfiguration", {BerechtigungenCurrent, RootCurrent}, "PanelImage", {3, 1});
        row("Externanschluss", {BerechtigungenCurrent, ExternCurrent}, "PanelLtg", {3, 2});
        row("Berechtigungen", {RufCurrent, BerechtigungenCurrent}, "PanelTln", {4, 3});
        row("Rufverteilung", {BerechtigungenCurrent, RufCurrent}, "PanelRuf", {3, 4});
        // A node is shown only when it is selected by a left click or by the keyboard;
        // tabbing into the tree makes a node current without selecting it. A click on
        // another node shows it twice: once for the change, once for the click.
        row("left click", {LeftClickRuf}, "PanelRuf", {4, 4});
        row("right click", {RightClickRuf}, "PanelImage", {});
        row("middle click", {MiddleClickRuf}, "PanelImage", {});
        row("tab into the tree", {TabIntoTree}, "PanelImage", {});
        row("tab, then arrow down", {TabIntoTree, ArrowDown}, "PanelLtg", {2});
        row("the selected node clicked again", {LeftClickRuf, LeftClickRuf}, "PanelRuf", {4, 4, 4});
    }
    void pageShown() {
        QFETCH(TreeSteps, steps);
        QFETCH(QString, page);
        EditorHost h;
        QTreeWidget* tree = h.editor->TreeView1();
        auto* before = new QPushButton(QStringLiteral("vor dem Baum"), &h.window);
        h.window.setTabOrder(before, tree);
        before->setFocus();
        QSignalSpy topics(h.editor.get(), &TEditorPages::helpTopicRequested);
        h.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&h.window));
        QTreeWidgetItem* root = tree->topLevelItem(0);
        const QPoint ruf = tree->visualItemRect(root->child(2)).center();
        for (TreeStep step : steps) {
            using enum TreeStep;
            if (step == RootCurrent) {
                tree->setCurrentItem(root);
            } else if (step <= RufCurrent) {
                tree->setCurrentItem(root->child(int(step) - int(ExternCurrent)));
            } else if (step == TabIntoTree) {
                QTest::keyClick(before, Qt::Key_Tab);
                QVERIFY(tree->hasFocus());
            } else if (step == ArrowDown) {
                QTest::keyClick(tree, Qt::Key_Down);
            } else {
                const Qt::MouseButton button = step == LeftClickRuf    ? Qt::LeftButton
                                               : step == RightClickRuf ? Qt::RightButton
                                                                       : Qt::MiddleButton;
                QTest::mouseClick(tree->viewport(), button, {}, ruf);
            }
        }
        for (QFrame* panel : {h.editor->PanelImage(), h.editor->PanelLtg(), h.editor->PanelTln(),
                              h.editor->PanelRuf()})
            QCOMPARE(panel->isVisible(), panel->objectName() == page);
        QList<int> asked;
        for (const auto& signal : topics)
            asked << signal.at(0).toInt();
        QTEST(asked, "topics");
    }

    void layoutFits_data() {
        QTest::addColumn<QString>("page");
        for (const char* page : {"PanelLtg", "PanelTln", "PanelRuf", "PanelImage"})
            QTest::newRow(page) << page;
    }
    // Siblings do not overlap, everything lies inside its parent, and no text is clipped.
    void layoutFits() {
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
};

QTEST_MAIN(TestEditorPages)
#include "tst_editor_pages.moc"
