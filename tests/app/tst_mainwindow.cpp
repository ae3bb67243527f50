// The main window as built: caption, factory image, layout, menus and keys.
#include "WindowTest.h"
#include "app/InputHold.h"

class TestMainWindow : public QObject, AppWithSim {
    Q_OBJECT

    // Each item as "caption [key shown]"; an item showing a key must not own it as well.
    static QStringList menuTexts(QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions()) {
            QString t = a->isSeparator() ? QStringLiteral("-") : a->text();
            const QString shown = t.section(u'\t', 1);
            t = t.section(u'\t', 0, 0);
            if (!shown.isEmpty())
                t += " [" + shown + "]";
            if (!a->shortcut().isEmpty())
                t += " [" + a->shortcut().toString(QKeySequence::NativeText) + "]";
            out << t;
        }
        return out;
    }

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }
    // The held image is empty until a read or an open; the editor shows the factory settings
    // (saved as a file in tst_files).
    void startupState() {
        QVERIFY(!form->Modified);
        QCOMPARE(form->Conversation->SearchLabelPrefix, QStringLiteral("Suche an "));
        QVERIFY(part<QLabel>(*form, "StatusPanel0")->text().isEmpty());
        QVERIFY(std::all_of(form->Image.begin(), form->Image.end(), [](auto b) { return b == 0; }));
        QVERIFY(part<TEditorPages>(*form)->PanelImage()->isVisibleTo(
            part<QWidget>(*form, "PanelPages")));
        QVERIFY(part<TEditorPages>(*form)->TreeView1()->topLevelItem(0)->isExpanded());
    }

    void layout() {
        QVERIFY(showOffline());
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(form->centralWidget()->size(), QSize(760, 388));
        QCOMPARE(part<QToolBar>(*form, "ToolBar1")->height(), 30);
        QCOMPARE(form->statusBar()->height(), 19);
        QCOMPARE(form->width(), 760);
        QCOMPARE(form->height(), form->menuBar()->height() + 437);
        QCOMPARE(part<QPushButton>(*form, "SpeedButton1")->size(), QSize(197, 22));
        QCOMPARE(part<QPushButton>(*form, "SpeedButton1")->text(),
                 QStringLiteral("Konfiguration speichern "));
        QCOMPARE(part<QPushButton>(*form, "SpeedButton2")->text(),
                 QStringLiteral("Konfiguration auslesen"));
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(part<QLabel>(*form, "StatusPanel0")->width(), 250);
        QCOMPARE(part<QLabel>(*form, "StatusPanel1")->width(), 300);
        form->close();
    }

    void menus() {
        QCOMPARE(
            menuTexts(part<QMenu>(*form, "File1")),
            (QStringList{"Neu erstellen [Ctrl+N]", "Ö&ffnen... [Ctrl+O]", "Konfiguration speichern",
                         "Konfiguration &auslesen", "Werkseinstellungen", "In Datei speichern...",
                         "-", "&Drucken... [Ctrl+P]", "Ducker einrichten...", "-", "&Beenden"}));
        QCOMPARE(menuTexts(part<QMenu>(*form, "Extras1")),
                 (QStringList{"Neue Firmware...", "&Neue PIN..."}));
        QCOMPARE(menuTexts(part<QMenu>(*form, "Help1")), (QStringList{"&Info... [Ctrl+I]"}));
        QCOMPARE(part<QMenu>(*form, "Help1")->menuAction()->property("hint").toString(),
                 QStringLiteral("Hilfethemen"));
        QCOMPARE(action(*form, "Upload")->text(), QStringLiteral("Konfiguration &programmieren"));
        QCOMPARE(action(*form, "FileOpen1")->property("hint").toString(),
                 QStringLiteral("Öffnen|Eine Datei öffnen"));
    }

    // Tool buttons carry an empty short hint: no tool tip, also not their action's.
    void toolButtonsShowNoToolTip() {
        const QList<QAbstractButton*> buttons =
            part<QToolBar>(*form, "ToolBar1")->findChildren<QAbstractButton*>();
        QVERIFY(buttons.contains(part<QToolButton>(*form, "ToolButton10")));
        for (QAbstractButton* b : buttons)
            QVERIFY2(b->toolTip().isEmpty(), qPrintable(b->objectName() + ": " + b->toolTip()));
        action(*form, "Print1")->setEnabled(false); // an action that changes hands nothing on
        QVERIFY(!part<QToolButton>(*form, "ToolButton10")->isEnabled());
        QVERIFY(part<QToolButton>(*form, "ToolButton10")->toolTip().isEmpty());
        action(*form, "Print1")->setEnabled(true);
        int prints = 0;
        form->PrintDialogProvider = [&](QPrinter&) { return ++prints, false; };
        part<QToolButton>(*form, "ToolButton10")->click();
        QCOMPARE(prints, 1);
    }

    void keys() {
        QVERIFY(showOffline());
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        int saves = 0;
        connect(action(*form, "FileSave1"), &QAction::triggered, [&] { ++saves; });
        QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(saves, 1); // reached, and does nothing
        QVERIFY(!form->Modified);
        ModalAnswer about("AboutBox", press("OKBtn"));
        QTest::keyClick(form.get(), Qt::Key_I, Qt::ControlModifier);
        QVERIFY(QTest::qWaitFor([&] { return about.seen(); }));
        form->close();
    }

    void helpPanelFollowsMenus() {
        auto* info = part<THelpPanel>(*form)->InfoText();
        part<THelpPanel>(*form)->ShowHelpTopic(2);
        QVERIFY(info->toPlainText().startsWith("Externanschluss"));
        // the menu "Konfiguration" carries topic 8, the same text as topic 1
        part<QMenu>(*form, "File1")->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitFor(
            [&] { return info->toPlainText().startsWith("Konfigurationsprogramm"); }));
        part<QMenu>(*form, "File1")->setActiveAction(form->findChild<QAction*>("FileOpenItem"));
        QVERIFY(QTest::qWaitFor([&] { return info->toPlainText().startsWith("Öffnen"); }));
        part<QMenu>(*form, "File1")->close();
        // "Hilfe" and its item "&Info..." carry no topic number: the panel is emptied
        part<THelpPanel>(*form)->ShowHelpTopic(2);
        part<QMenu>(*form, "Help1")->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitFor([&] { return info->toPlainText().isEmpty(); }));
        part<THelpPanel>(*form)->ShowHelpTopic(2);
        part<QMenu>(*form, "Help1")->setActiveAction(action(*form, "HelpAbout1"));
        QVERIFY(QTest::qWaitFor([&] { return info->toPlainText().isEmpty(); }));
        part<QMenu>(*form, "Help1")->close();
    }

    void factoryResetAnsweredNoChangesNothing() {
        form->findChild<QCheckBox*>("CBarb21")->click();
        ModalAnswer q("WerkseinstellungQuestion", press("&Nein"));
        action(*form, "Werkseinstellung")->trigger();
        QCOMPARE(shown(q), ShownBox("Warnung", {"Die Einstellungen der Telefonanlage werden in "
                                                "den werkseitigen Auslieferzustand zurückgesetzt.",
                                                "Wollen Sie fortfahren?"}));
        QVERIFY(!form->findChild<QCheckBox*>("CBarb21")->isChecked());
        QVERIFY(form->Modified);
        QCOMPARE(form->Conversation->LinkOperation, 1);
    }

    void inputDuringPause_data() {
        QTest::addColumn<bool>("dialogAfterPause");
        QTest::addColumn<bool>("clickActs");
        QTest::newRow("nothing after the pause: the click acts then") << false << true;
        QTest::newRow("a modal dialog after the pause takes the input") << true << false;
    }
    // While the conversation pauses, the wait cursor shows and a click waits; afterwards it
    // acts as if it came right after the pause.
    void inputDuringPause() {
        QFETCH(bool, dialogAfterPause);
        QFETCH(bool, clickActs);
        QCheckBox box;
        box.show();
        TInputHold hold;
        hold.SetHolding(true);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QTest::mouseClick(&box, Qt::LeftButton);
        QVERIFY(!box.isChecked());
        hold.SetHolding(false);
        QVERIFY(!QApplication::overrideCursor());
        if (dialogAfterPause) {
            QDialog dialog;
            dialog.setObjectName(QStringLiteral("AfterPause"));
            ModalAnswer answer("AfterPause", [](QWidget* w) { w->close(); });
            dialog.exec();
            QVERIFY(answer.seen());
        }
        QTest::qWait(0);
        QCOMPARE(box.isChecked(), clickActs);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
