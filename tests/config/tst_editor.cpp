// The editor: tree, pages and layout; its rules through the real controls; the image through them.
#include "EditorHost.h"

namespace {

using namespace PortLooks;

// The factory image with the given bytes (by offset) changed.
ConfigImage factoryImage(const QMap<int, std::uint8_t>& changes = {}) {
    ConfigImage image{};
    encodeImage(factorySettings(), image);
    for (auto [offset, value] : changes.asKeyValueRange())
        image[offset] = value;
    return image;
}

enum class FactoryReset { AtStart, NewConfiguration, FactoryImageLoaded };

QString describe(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w))
        return "label " + label->text();
    return w->objectName();
}

// A node made current by the program (by its page), a click on Rufverteilung, Tab into the tree.
enum class TreeStep { Root, Ltg, Tln, Ruf, LeftClick, RightClick, MiddleClick, Tab, Down };
using TreeSteps = QList<TreeStep>;
} // namespace

class TestEditor : public QObject {
    Q_OBJECT
private slots:
    void placement_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("tree") << "TreeView1" << QString("treeArea") << QRect(0, 0, 161, 387);
        for (const char* panel : {"PanelImage", "PanelLtg", "PanelTln", "PanelRuf"})
            QTest::newRow(panel) << panel << "pageArea" << QRect(0, 0, 368, 388);
        QTest::newRow("picture") << "Image1" << QString("PanelImage") << QRect(8, 53, 340, 236);
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
        QStringList texts{root->text(0)};
        for (int i = 0; i < root->childCount(); ++i)
            texts << root->child(i)->text(0);
        QCOMPARE(texts, (QStringList{"Konfiguration", "Externanschluss", "Berechtigungen",
                                     "Rufverteilung"}));
    }

    void controlNames() {
        EditorHost h;
        const auto expectIn = [&](const QString& parent, const QStringList& names) {
            for (const QString& name : names)
                QCOMPARE(h.find<QWidget>(name)->parentWidget()->objectName(), parent);
        };
        for (int p = 1; p <= 4; ++p) {
            const QString n = QString::number(20 + p);
            const QString typ = QStringLiteral("PanelTyp%1").arg(p);
            const QString berecht = QStringLiteral("PanelBerecht%1").arg(p);
            const QString ruf = QStringLiteral("PanelRuf%1").arg(p);
            expectIn("PanelTln", {typ, berecht});
            expectIn("PanelRuf", {ruf});
            expectIn(typ, {"RBTelefon" + n, "RBAnrufbeantworter" + n, "RBTfe" + n});
            expectIn(berecht, {"RBvab" + n, "RBhab" + n, "RBnab" + n, "CBtb" + n});
            expectIn(ruf, {"CBarb" + n, "CBTaste1Ruf" + n, "CBTaste2Ruf" + n, "CBTaste3Ruf" + n,
                           "CBTaste4Ruf" + n});
        }
        for (const QString group : {"Amtsholung", "Heranholen", "Anklopfschutz", "Wartemusik"}) {
            expectIn("PanelLtg", {"Panel" + group});
            expectIn("Panel" + group, {"RB" + group + "Ja", "RB" + group + "Nein"});
        }
        expectIn("PanelRuf", {"ButtonTlnEin", "ButtonTlnAus"});
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
        row("Konfiguration", {Tln, Root}, "PanelImage", {3, 1});
        row("Externanschluss", {Tln, Ltg}, "PanelLtg", {3, 2});
        row("Berechtigungen", {Ruf, Tln}, "PanelTln", {4, 3});
        row("Rufverteilung", {Tln, Ruf}, "PanelRuf", {3, 4});
        // Only a left click or a key selects and shows a node; a click on a new one shows it twice.
        row("left click", {LeftClick}, "PanelRuf", {4, 4});
        row("right click", {RightClick}, "PanelImage", {});
        row("middle click", {MiddleClick}, "PanelImage", {});
        row("tab into the tree", {Tab}, "PanelImage", {});
        row("tab, then arrow down", {Tab, Down}, "PanelLtg", {2});
        row("the selected node clicked again", {LeftClick, LeftClick}, "PanelRuf", {4, 4, 4});
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
            if (step <= Ruf) {
                tree->setCurrentItem(step == Root ? root : root->child(int(step) - int(Ltg)));
            } else if (step == Tab) {
                QTest::keyClick(before, Qt::Key_Tab);
                QVERIFY(tree->hasFocus());
            } else if (step == Down) {
                QTest::keyClick(tree, Qt::Key_Down);
            } else {
                const Qt::MouseButton button = step == LeftClick    ? Qt::LeftButton
                                               : step == RightClick ? Qt::RightButton
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
        QList<QWidget*> parents{h.find<QWidget>(page)};
        for (QFrame* frame : parents.first()->findChildren<QFrame*>())
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

    void startsUncheckedAndEnabled() {
        EditorHost h;
        for (auto* b : h.window.findChildren<QAbstractButton*>()) {
            QVERIFY2(!b->isChecked(), qPrintable(b->objectName()));
            QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
        }
        QCOMPARE(h.modifiedCalls, 0);
    }

    void factoryState_data() {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<FactoryReset>("reset");
        QTest::newRow("after start-up") << QStringList{} << FactoryReset::AtStart;
        QTest::newRow("again from a changed state")
            << QStringList{"RBTfe22", "RBAnrufbeantworter23", "RBnab24", "CBtb21",
                           "RBAmtsholungNein"}
            << FactoryReset::NewConfiguration;
        QTest::newRow("factory image over a changed state")
            << QStringList{"RBAnrufbeantworter22", "RBTfe23"} << FactoryReset::FactoryImageLoaded;
    }
    void factoryState() {
        QFETCH(QStringList, clicks);
        QFETCH(FactoryReset, reset);
        EditorHost h(clicks);
        if (reset != FactoryReset::AtStart)
            h.modifiedCalls = 0;
        if (reset == FactoryReset::NewConfiguration)
            h.editor->SetFactoryDefaults();
        if (reset == FactoryReset::FactoryImageLoaded)
            h.editor->ImageToEditor(factoryImage());
        QVERIFY(h.modifiedCalls > 0); // the rules mark; the window clears afterwards
        for (int p = 1; p <= 4; ++p)
            QCOMPARE(h.portLook(p), Telefon);
        QCOMPARE(h.choosableAt("RBAnrufbeantworter"), AllPorts);
        QCOMPARE(h.choosableAt("RBTfe"), AllPorts);
    }

    void portAfterClicks_data() {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<int>("port");
        QTest::addColumn<PortLook>("look");
        const QStringList othersEdited{"RBTfe22", "CBtb23", "RBnab23", "RBAnrufbeantworter24"};
        const QStringList doorsOn{"RBTfe21", "CBtb22", "ButtonTlnEin"};
        constexpr std::array<Look, 4> bellsGreyOn{GreyOn, GreyOn, GreyOn, GreyOn};
        const auto row = [](const char* name, const QStringList& clicks, int port, PortLook look) {
            QTest::newRow(name) << clicks << port << look;
        };
        row("Anrufbeantworter", {"RBAnrufbeantworter22"}, 2, Anrufbeantworter);
        row("TFE", {"RBTfe22"}, 2, Tfe);
        row("TFE then Telefon", {"RBTfe22", "RBTelefon22"}, 2, Telefon);
        row("AB then TFE", {"RBAnrufbeantworter22", "RBTfe22"}, 2, Tfe);
        row("TFE then AB", {"RBTfe22", "RBAnrufbeantworter22"}, 2, Anrufbeantworter);
        row("Telefon resets a reduced port",
            {"RBnab22", "CBtb22", "RBAnrufbeantworter22", "RBTelefon22"}, 2, Telefon);
        row("AB: halbamtsberechtigt changes nothing else", {"RBAnrufbeantworter22", "RBhab22"}, 2,
            {Off, On, GreyOff, GreyOff, GreyOn, BellsGrey});
        row("AB: back to amtsberechtigt", {"RBAnrufbeantworter22", "RBhab22", "RBvab22"}, 2,
            Anrufbeantworter);
        row("halbamtsberechtigt ticks all bells", {"CBTaste3Ruf22", "CBTaste4Ruf22", "RBhab22"}, 2,
            {Off, On, Off, On, On, BellsOn});
        row("amtsberechtigt again ticks all bells", {"RBhab22", "CBTaste1Ruf22", "RBvab22"}, 2,
            Telefon);
        row("nichtamtsberechtigt", {"RBnab22"}, 2, {Off, Off, On, On, GreyOff, BellsOn});
        row("nichtamtsberechtigt then amtsberechtigt", {"RBnab22", "RBvab22"}, 2, Telefon);
        row("nichtamtsberechtigt without door permission", {"CBtb22", "RBnab22"}, 2,
            {Off, Off, On, Off, GreyOff, BellsGrey});
        row("halbamtsberechtigt without door permission", {"CBtb22", "RBhab22"}, 2,
            {Off, On, Off, Off, On, BellsGrey});
        row("Externanruf can be cleared", {"CBarb22"}, 2, {On, Off, Off, On, Off, BellsOn});
        row("türberechtigt cleared", {"CBtb22"}, 2, {On, Off, Off, Off, On, BellsGrey});
        row("türberechtigt ticked again", {"CBTaste2Ruf22", "CBtb22", "CBtb22"}, 2, Telefon);
        row("other ports untouched: 1", othersEdited, 1, Telefon);
        row("other ports untouched: 3", othersEdited, 3, {Off, Off, On, Off, GreyOff, BellsGrey});
        // all sixteen ticked, the disabled ones too, enabled states untouched
        row("Türrufe an allen: TFE port", doorsOn, 1,
            {GreyOff, GreyOff, On, GreyOff, GreyOff, bellsGreyOn});
        row("Türrufe an allen: without door permission", doorsOn, 2,
            {On, Off, Off, Off, On, bellsGreyOn});
        row("Türrufe an allen: Telefon", doorsOn, 3, Telefon);
        const QStringList doorsOff = doorsOn + QStringList{"ButtonTlnAus"};
        row("Türrufe an keinem: TFE port", doorsOff, 1, Tfe);
        row("Türrufe an keinem: without door permission", doorsOff, 2,
            {On, Off, Off, Off, On, BellsGrey});
        row("Türrufe an keinem: last port", doorsOff, 4,
            {On, Off, Off, On, On, {Off, Off, Off, Off}});
    }
    void portAfterClicks() {
        QFETCH(QStringList, clicks);
        QFETCH(int, port);
        EditorHost h(clicks);
        QTEST(h.portLook(port), "look");
    }

    // The program may set a disabled control; the control's rule runs all the same.
    void programSetsDisabledControl_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<PortLook>("look");
        QTest::newRow("türberechtigt")
            << "CBtb22" << PortLook{GreyOff, GreyOff, On, GreyOn, GreyOff, BellsOn};
        QTest::newRow("amtsberechtigt")
            << "RBvab22" << PortLook{GreyOn, GreyOff, Off, Off, On, BellsGrey};
    }
    void programSetsDisabledControl() {
        QFETCH(QString, control);
        EditorHost h({"RBTfe22"});
        h.button(control)->setChecked(true);
        QTEST(h.portLook(2), "look");
    }

    // One answering machine and one TFE: the other ports' type buttons grey out; and ringing.
    void typeChoiceAndRing_data() {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QList<int>>("answeringMachineAt");
        QTest::addColumn<QList<int>>("tfeAt");
        QTest::addColumn<bool>("rings");
        const auto row = [](const char* name, const QStringList& clicks,
                            const QList<int>& answeringMachineAt, const QList<int>& tfeAt,
                            bool rings = true) {
            QTest::newRow(name) << clicks << answeringMachineAt << tfeAt << rings;
        };
        const QStringList abAt1TfeAt2{"RBAnrufbeantworter21", "RBTfe22"};
        row("AB at 1, TFE at 2", abAt1TfeAt2, {1}, {2});
        row("AB at 1 moves to TFE at 1", {"RBAnrufbeantworter21", "RBTfe21"}, AllPorts, {1});
        row("AB at 1, TFE at 2, both back to Telefon",
            abAt1TfeAt2 + QStringList{"RBTelefon21", "RBTelefon22"}, AllPorts, AllPorts);
        row("AB at 4 refused at 3", {"RBAnrufbeantworter24", "RBAnrufbeantworter23"}, {4},
            AllPorts);
        const QStringList noRing{"CBarb21", "RBnab22", "RBTfe23"};
        row("port 4 still rings", noRing, AllPorts, {3});
        row("none rings", noRing + QStringList{"CBarb24"}, AllPorts, {3}, false);
        // an answering machine always takes external calls
        row("answering machine rings", noRing + QStringList{"CBarb24", "RBAnrufbeantworter24"}, {4},
            {3});
    }
    void typeChoiceAndRing() {
        QFETCH(QStringList, clicks);
        EditorHost h(clicks);
        QTEST(h.choosableAt("RBAnrufbeantworter"), "answeringMachineAt");
        QTEST(h.choosableAt("RBTfe"), "tfeAt");
        QTEST(h.editor->AnyExternalRing(), "rings");
    }

    // How often the editor marks the configuration modified while the user clicks.
    void marks_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("counted");
        QTest::addColumn<int>("marks");
        const auto row = [](const char* name, const QStringList& before, const QStringList& counted,
                            int marks) { QTest::newRow(name) << before << counted << marks; };
        constexpr int bellBoxes = 16;
        row("Türrufe an keinem Anschluss, all clear", {"ButtonTlnAus"}, {"ButtonTlnAus"}, 0);
        row("Türrufe an keinem Anschluss, factory: each box", {}, {"ButtonTlnAus"}, bellBoxes);
        row("one box cleared, then all on", {"CBTaste3Ruf24"}, {"ButtonTlnEin"}, 1);
        row("selected radio clicked again", {}, {"RBvab21", "RBTelefon21", "RBWartemusikJa"}, 0);
        row("Wartemusik aus", {}, {"RBWartemusikNein"}, 1);
        row("Amtsholung both ways", {}, {"RBAmtsholungNein", "RBAmtsholungJa"}, 2);
        row("Externanruf cleared", {}, {"CBarb23"}, 1);
        row("one bell box", {}, {"CBTaste2Ruf21"}, 1);
        row("disabled control clicked", {"RBTfe21"}, {"RBvab21", "CBarb21", "CBtb21"}, 0);
        // four bell boxes change, plus the door rule's own mark
        row("türberechtigt cleared", {}, {"CBtb21"}, 4 + 1);
    }
    void marks() {
        QFETCH(QStringList, before);
        QFETCH(QStringList, counted);
        EditorHost h(before);
        h.modifiedCalls = 0;
        h.click(counted);
        QTEST(h.modifiedCalls, "marks");
    }

    // Each bell box is one bit: the byte of its bell button, the bit of its port.
    void bellBoxesWritten() {
        EditorHost h({"CBTaste3Ruf22", "CBTaste1Ruf24"});
        ConfigImage image{};
        h.editor->EditorToImage(image);
        QCOMPARE(image,
                 factoryImage({{ImageOffset::TasteRuf, 0x07}, {ImageOffset::TasteRuf + 2, 0x0D}}));
    }

    // An image may hold two answering machines, which no click can make: none is offered then.
    void twoAnsweringMachinesLoaded() {
        EditorHost h(EditorHost::Factory);
        h.editor->ImageToEditor(factoryImage({{ImageOffset::Typ, TypAnrufbeantworter},
                                              {ImageOffset::Typ + 2, TypAnrufbeantworter}}));
        QCOMPARE(h.choosableAt("RBAnrufbeantworter"), QList<int>{});
    }

    // Whatever came before, the controls show the image; written back: normal form, reserved kept.
    void decodeIsExact() {
        EditorHost h(EditorHost::Factory);
        QRandomGenerator rng(4711);
        for (int round = 0; round < 300; ++round) {
            ConfigImage image{};
            for (auto& b : image)
                b = std::uint8_t(rng.bounded(256));
            // typical values most of the time, so that the rules' branches are reached
            for (int p = 0; p < 4; ++p)
                if (rng.bounded(4) != 0)
                    image[p] = std::uint8_t(rng.bounded(3));
            h.editor->ImageToEditor(image);
            QVERIFY(h.editor->ReadSettings() == decodeImage(image));
            ConfigImage out = image;
            ConfigImage expected = image;
            QCOMPARE(h.editor->EditorToImage(out), encodeImage(decodeImage(image), expected));
            QCOMPARE(out, expected);
            if (round % 2)
                continue;
            h.editor->SetFactoryDefaults();
            QCOMPARE(h.editor->EditorToImage(out), encodeImage(factorySettings(), expected));
            QCOMPARE(out, expected);
        }
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
