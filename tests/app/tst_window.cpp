// The main window as built, its shared dialogs and the application object's, and
// configuration files through it: save, open, the question about unsaved changes. What a save
// does to the file system is tested on SaveFileSafely (tst_safesave).
#include "FailingWrites.h"
#include "FileFaults.h"
#include "WindowTest.h"
#include "app/Application.h"
#include "app/InputHold.h"

#include <stdexcept>

namespace {

const QByteArray FactoryFile =
    QByteArray::fromHex("00000000191919190f0f0f0f0000000001010001") + QByteArray(40, '\0');
constexpr int ExternalRingByte = 4; // CBarb21 clears its bit 0x10
constexpr char ExternalRingWithoutPort1 = 0x09;

const QString Title = QStringLiteral("Zuvex 910k Konfigurator - ");
const QString CannotOpen = QStringLiteral("Die Datei konnte nicht geöffnet werden.");
const QString CannotCreate =
    QStringLiteral("Die Datei konnte nicht geöffnet oder angelegt werden.");
const QStringList SaveNowQuestion{"Die Daten wurden geändert und nicht gespeichert!",
                                  "Wollen Sie die Daten jetzt speichern?"};

ShownBox fileError(const QString& line) {
    return {"Fehler bei Dateizugriff", {"Fehler!", line}};
}

// How the user saves: "In Datei speichern...", or "Ja" to the question before "Neu erstellen".
enum class SaveRoute { SaveAs, AnsweringYes };

// Throws out of its event handler, as a command that fails beyond its own error handling.
class Thrower : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw std::runtime_error("Der Port COM3 existiert nicht.");
        return QObject::event(e);
    }
};

} // namespace

Q_DECLARE_METATYPE(SaveRoute)

class TestWindow : public QObject, AppWithSim {
    Q_OBJECT

    QCheckBox* box(const char* name) { return form->findChild<QCheckBox*>(name); }
    void trigger(const char* name) { action(*form, name)->trigger(); }

    // Answers the unsaved-changes question with `act` while the action `name` runs.
    ShownBox askedDuring(std::function<void(QWidget*)> act, const char* name) {
        ModalAnswer ask("HinweisBox", std::move(act));
        trigger(name);
        return shown(ask);
    }

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    // The held image is empty until a read or an open; the editor shows the factory settings
    // (saved as a file in saveAfterStartupWritesFactoryImage).
    void startupState() {
        QVERIFY(!form->Modified);
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
        box("CBarb21")->click();
        ModalAnswer q("WerkseinstellungQuestion", press("&Nein"));
        action(*form, "Werkseinstellung")->trigger();
        QCOMPARE(shown(q), ShownBox("Warnung", {"Die Einstellungen der Telefonanlage werden in "
                                                "den werkseitigen Auslieferzustand zurückgesetzt.",
                                                "Wollen Sie fortfahren?"}));
        QVERIFY(!box("CBarb21")->isChecked());
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

    void sizesAndFixedBorder() {
        const struct {
            TMessageDialog* d;
            QSize size;
        } all[] = {{dialog<TAboutBox>("AboutBox"), {298, 208}},
                   {dialog<TErrorDialog>("ErrorDialog"), {321, 165}},
                   {dialog<TUpDownLoad>("UpDownLoad"), {313, 214}},
                   {dialog<TProgErgebnisDialog>("ProgErgebnisDialog"), {313, 214}},
                   {dialog<THinweisBox>("HinweisBox"), {321, 165}},
                   {dialog<TErgebnisDialog>("ErgebnisDialog"), {313, 214}}};
        for (const auto& e : all) {
            QCOMPARE(e.d->size(), e.size);
            QCOMPARE(e.d->minimumSize(), e.d->maximumSize());
        }
        QCOMPARE(dialog<TUpDownLoad>("UpDownLoad")->windowTitle(),
                 QStringLiteral("Datenügertragung"));
    }

    void hinweisBoxKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("expected");
        QTest::newRow("Enter answers Ja") << int(Qt::Key_Return) << int(mrYes);
        QTest::newRow("Esc answers Nein") << int(Qt::Key_Escape) << int(mrNo);
        QTest::newRow("close box answers Abbrechen") << 0 << int(mrCancel);
    }
    void hinweisBoxKeys() {
        QFETCH(int, key);
        QFETCH(int, expected);
        ModalAnswer a("HinweisBox", [key](QWidget* w) {
            key ? QTest::keyClick(w, Qt::Key(key)) : void(w->close());
        });
        const int result =
            ShowMessageDialog(dialog<THinweisBox>("HinweisBox"), "Hinweis", {"eins", "", "drei"});
        QCOMPARE(shown(a), ShownBox("Hinweis", {"eins", "", "drei"}));
        QCOMPARE(result, expected);
        // the lines are cleared after the showing
        QVERIFY(dialog<THinweisBox>("HinweisBox")->Lines().isEmpty());
    }

    void errorDialogIgnoresEscAndKeepsFocusOffText() {
        bool stillOpenAfterEsc = false;
        bool focusOnOk = false;
        ModalAnswer a("ErrorDialog", [&](QWidget* w) {
            QTest::keyClick(w, Qt::Key_Escape);
            stillOpenAfterEsc = w->isVisible();
            auto* msg = w->findChild<QPlainTextEdit*>("Message");
            QTest::mouseClick(msg->viewport(), Qt::LeftButton);
            focusOnOk = w->focusWidget() == w->findChild<QPushButton*>("OKBtn");
            QTest::keyClick(w, Qt::Key_Return);
        });
        QCOMPARE(ShowMessageDialog(dialog<TErrorDialog>("ErrorDialog"), "Fehler", {"Fehler!"}),
                 int(mrOk));
        QVERIFY(a.seen());
        QVERIFY(stillOpenAfterEsc);
        QVERIFY(focusOnOk);
    }

    // Twice, to show that each showing has its own fresh wait and adds its line once.
    void progErgebnisHoldsForTwoPointSevenSeconds() {
        auto* result = dialog<TProgErgebnisDialog>("ProgErgebnisDialog");
        for (int round = 0; round < 2; ++round) {
            QElapsedTimer clock;
            qint64 closedAt = -1;
            bool refusedEarly = false;
            QStringList linesAtEnd;
            ModalAnswer a("ProgErgebnisDialog", [&](QWidget* w) {
                auto* ok = result->OKBtn;
                QVERIFY(!ok->isEnabled());
                QTest::keyClick(w, Qt::Key_Escape);
                w->close();
                QTest::mouseClick(result->Message->viewport(), Qt::LeftButton);
                refusedEarly = w->isVisible();
                QVERIFY(QTest::qWaitFor([&] { return ok->isEnabled(); }, 5000));
                linesAtEnd = result->Lines();
                closedAt = clock.elapsed();
                ok->click();
            });
            clock.start();
            result->ClearLines();
            ShowMessageDialog(result, "Konfiguration Programmieren",
                              {"", "Das Programmieren der Konfiguration war erfolgreich."});
            QVERIFY(a.seen());
            QVERIFY(refusedEarly);
            QVERIFY2(closedAt >= TProgErgebnisDialog::HoldMs,
                     qPrintable(QString::number(closedAt)));
            QCOMPARE(linesAtEnd,
                     (QStringList{"", "Das Programmieren der Konfiguration war erfolgreich.",
                                  "Die Anlage wurde neu gestartet."}));
            QVERIFY(!result->Timer1->isActive());
        }
    }

    void transferBoxDisablesWindowUntilClosed() {
        auto* transfer = dialog<TUpDownLoad>("UpDownLoad");
        transfer->show();
        QVERIFY(!form->isEnabled());
        QVERIFY(transfer->isEnabled());
        QTest::mouseClick(transfer->CancelBtn, Qt::LeftButton); // "Abbrechen" closes it
        QVERIFY(!transfer->isVisible());
        QVERIFY(form->isEnabled());
        // closing it by the program when it was never shown still enables the window
        form->setEnabled(false);
        transfer->CloseBox();
        QVERIFY(form->isEnabled());
    }

    void aboutBox() {
        ModalAnswer a("AboutBox", press("OKBtn"));
        action(*form, "HelpAbout1")->trigger();
        QVERIFY(a.seen());
        QCOMPARE(a.caption, QStringLiteral("Info"));
        const auto* about = dialog<TAboutBox>("AboutBox");
        QCOMPARE(part<QLabel>(*about, "ProductName")->text(),
                 QStringLiteral("Zuvex 910k Konfigurator"));
        QCOMPARE(part<QLabel>(*about, "Version")->text(), QStringLiteral("Version 1.0")); // 1.0.0
        // the program icon, compiled in from the pictures rendered at build time
        QCOMPARE(part<QLabel>(*about, "ProgramIcon")->pixmap().size(), QSize(32, 32));
        QVERIFY(!form->windowIcon().availableSizes().isEmpty());
    }

    void germanTranslationsLoaded() {
        QVERIFY(static_cast<TApplication*>(qApp)->loadGermanTranslations());
        QCOMPARE(QCoreApplication::translate("QFileDialog", "&Open"), QStringLiteral("&Öffnen"));
    }

    void escapingFailureShownAndLoopGoesOn() {
        Thrower thrower;
        ModalAnswer box("ApplicationErrorBox", press("OK"));
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QCOMPARE(shown(box, 5000),
                 ShownBox("Zuvex 910k Konfigurator", {"Der Port COM3 existiert nicht."}));
        bool later = false;
        QTimer::singleShot(0, [&] { later = true; });
        QVERIFY(QTest::qWaitFor([&] { return later; }));
    }

    void saveAfterStartupWritesFactoryImage() {
        FileDialogAnswers files(*form, {home->path("anlage.zcf")});
        trigger("FileSaveAs1");
        QCOMPARE(fileBytes(home->path("anlage.zcf")), FactoryFile);
        QCOMPARE(form->windowTitle(), Title + "anlage.zcf");
        QCOMPARE(files.requests.size(), 1);
        const TFileDialogRequest& r = files.requests.first();
        QVERIFY(r.save);
        QCOMPARE(r.defaultSuffix, QStringLiteral("zcf"));
        QCOMPARE(r.filter,
                 QStringLiteral("Zuvex 910k Dateien (*.zcf)|*.zcf|Alle Dateien (*.*)|*.*"));
        QCOMPARE(qtFilterFromBars(r.filter),
                 QStringLiteral("Zuvex 910k Dateien (*.zcf);;Alle Dateien (*.*)"));
        trigger("FileNew1"); // the new configuration is named in the folder saved into
        trigger("FileSaveAs1");
        QCOMPARE(files.lastOffered(), home->path("Neu.zcf"));
    }

    void openAcceptsSixtyOrMoreBytes_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("60") << ConfigImageSize;
        QTest::newRow("61") << ConfigImageSize + 1;
        QTest::newRow("4096") << 4096;
    }
    void openAcceptsSixtyOrMoreBytes() {
        QFETCH(int, size);
        constexpr int FirstFill = 0x40;
        constexpr int FillValues = 50;
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i)
            bytes[i] = char(FirstFill + i % FillValues);
        // a valid editor part: port 2 Anrufbeantworter, ring bytes with some bits
        bytes.replace(0, 20, QByteArray::fromHex("0001000011110401030c0f000000000000010100"));
        home->writeFile("in.zcf", bytes);
        FileDialogAnswers files(*form, {home->path("in.zcf"), home->path("out.zcf")});
        box("CBarb21")->click();
        QVERIFY(askedDuring(press("NoBtn"), "FileOpen1").seen);
        QCOMPARE(files.requests.first().fileName, QStringLiteral("*.zcf"));
        QVERIFY(!files.requests.first().save);
        QCOMPARE(form->windowTitle(), Title + "in.zcf"); // no star: nothing changed since
        QVERIFY(form->findChild<QRadioButton*>("RBAnrufbeantworter22")->isChecked());
        // stored ring bits are shown as they are (no door rule after a file open)
        QVERIFY(box("CBTaste1Ruf21")->isChecked());
        QVERIFY(!box("CBTaste2Ruf21")->isChecked());
        // reserved bytes come back unchanged in the next save, offered in the file's folder
        trigger("FileSaveAs1");
        QCOMPARE(fileBytes(home->path("out.zcf")), bytes.left(ConfigImageSize));
        QCOMPARE(files.requests.last().directory, home->path(QString()));
    }

    // Too short, or no regular file (a FIFO would block the window, /dev/zero never ends):
    // the error, and the window's configuration, file and changes stay as they were.
    void openRejected_data() {
        QTest::addColumn<FileShape>("shape");
        QTest::addColumn<int>("size"); // of a regular file
        QTest::addColumn<QString>("error");
        const QString notConfig = QStringLiteral("Die Datei ist keine Konfigurationsdatei!");
        QTest::newRow("one byte short") << FileShape::Regular << ConfigImageSize - 1 << notConfig;
        QTest::newRow("empty") << FileShape::Regular << 0 << notConfig;
        QTest::newRow("fifo") << FileShape::Fifo << 0 << CannotOpen;
    }
    void openRejected() {
        QFETCH(FileShape, shape);
        QFETCH(int, size);
        QFETCH(QString, error);
        constexpr char HeldByte = 0x77;
        const QString name = placeFile(shape, home->path("x.zcf"), QByteArray(size, '\x01'));
        QVERIFY(!name.isEmpty());
        form->Image.fill(HeldByte);
        box("CBarb21")->click();
        FileDialogAnswers files(*form, {name});
        ModalAnswer ask("HinweisBox", press("NoBtn"));
        ModalAnswer err("ErrorDialog", press("OKBtn"));
        trigger("FileOpen1");
        QCOMPARE(shown(err), fileError(error));
        QVERIFY(std::all_of(form->Image.begin(), form->Image.end(),
                            [](auto b) { return b == HeldByte; }));
        QCOMPARE(form->windowTitle(), Title + "Neu.zcf*");
        // still untitled: "Ja" asks for a file name
        QVERIFY(askedDuring(press("YesBtn"), "FileNew1").seen);
        QVERIFY(files.requests.last().save);
    }

    void saveToExistingFileWithoutAsking() {
        FileDialogAnswers files(*form, {home->path("a.zcf")});
        box("CBarb21")->click();
        box("CBarb22")->click();
        QCOMPARE(form->windowTitle(), Title + "Neu.zcf*"); // one star, however many changes
        trigger("FileSaveAs1");
        QCOMPARE(form->windowTitle(), Title + "a.zcf");
        box("CBarb22")->click();
        QCOMPARE(form->windowTitle(), Title + "a.zcf*");
        QVERIFY(askedDuring(press("YesBtn"), "FileNew1").seen);
        QCOMPARE(fileBytes(home->path("a.zcf"))[ExternalRingByte], ExternalRingWithoutPort1);
        QCOMPARE(form->windowTitle(), Title + "Neu.zcf");
        QCOMPARE(files.requests.size(), 1);
    }

    // A save that fails: the error, the changes and the title's star kept, no new
    // configuration; a failed "save as" keeps only the chosen path.
    void failedSaveIsReported_data() {
        QTest::addColumn<SaveRoute>("route");
        QTest::addColumn<QString>("error");
        QTest::newRow("Ja") << SaveRoute::AnsweringYes << CannotOpen;
        QTest::newRow("save as") << SaveRoute::SaveAs << CannotCreate;
    }
    void failedSaveIsReported() {
        QFETCH(SaveRoute, route);
        QFETCH(QString, error);
        const QString target = home->path("a.zcf");
        FileDialogAnswers files(*form, {target});
        const bool answeringYes = route == SaveRoute::AnsweringYes;
        if (answeringYes)
            trigger("FileSaveAs1");
        std::optional<FailingWrites> failing(std::in_place);
        box("CBarb21")->click();
        std::optional<ModalAnswer> ask;
        if (answeringYes)
            ask.emplace("HinweisBox", press("YesBtn"));
        ModalAnswer err("ErrorDialog", press("OKBtn"));
        trigger(answeringYes ? "FileNew1" : "FileSaveAs1");
        QCOMPARE(shown(err), fileError(error));
        QCOMPARE(form->windowTitle(), Title + (answeringYes ? "a.zcf*" : "Neu.zcf*"));
        QVERIFY(!box("CBarb21")->isChecked()); // the change kept, no new configuration
        if (!answeringYes) { // untitled still, but the next dialog offers the path
            failing.reset();
            QVERIFY(askedDuring(press("YesBtn"), "FileNew1").seen);
            QCOMPARE(files.lastOffered(), target);
        }
    }

    // A cancelled save dialog shows nothing and keeps the changes; after "Ja" to the question
    // of an untitled configuration it stops the command as well.
    void cancelledSaveStopsTheCommand() {
        box("CBarb21")->click();
        FileDialogAnswers files(*form);
        {
            ModalAnswer err("ErrorDialog", press("OKBtn"));
            trigger("FileSaveAs1");
            QVERIFY(!err.seen());
        }
        QCOMPARE(files.requests.size(), 1);
        QCOMPARE(form->windowTitle(), Title + "Neu.zcf*");
        QCOMPARE(askedDuring(press("YesBtn"), "FileNew1"), ShownBox("Hinweis", SaveNowQuestion));
        QCOMPARE(files.requests.size(), 2);
        QVERIFY(!box("CBarb21")->isChecked()); // no new configuration happened
        ModalAnswer beforeClosing("HinweisBox", press("YesBtn"));
        QVERIFY(!form->close());
        QCOMPARE(shown(beforeClosing),
                 ShownBox("Hinweis",
                          {SaveNowQuestion[0], "Wollen Sie die Daten vor dem Beenden speichern?"}));
        // Open stops as well: no open dialog after the save dialog
        QVERIFY(askedDuring(press("YesBtn"), "FileOpen1").seen);
        QCOMPARE(files.requests.size(), 4);
        QVERIFY(files.requests.last().save);
        QCOMPARE(form->windowTitle(), Title + "Neu.zcf*");
    }

    void queryAnswers() {
        FileDialogAnswers files(*form, {home->path("q.zcf")});
        trigger("FileNew1"); // nothing modified: no question
        QVERIFY(files.requests.isEmpty());
        box("CBarb21")->click();
        QVERIFY(askedDuring(press("CancelBtn"), "FileNew1").seen);
        QVERIFY(!box("CBarb21")->isChecked());
        QCOMPARE(form->windowTitle(), Title + "Neu.zcf*");
        QVERIFY(askedDuring(press("YesBtn"), "FileNew1").seen);
        QCOMPARE(fileBytes(home->path("q.zcf"))[ExternalRingByte], ExternalRingWithoutPort1);
        QVERIFY(box("CBarb21")->isChecked()); // then the new configuration
        QCOMPARE(form->windowTitle(), Title + "Neu.zcf");
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TestWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_window.moc"
