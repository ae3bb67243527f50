// The window, its dialogs, its .zcf files and its settings (the file system's side: tst_registry).
#include "FailingWrites.h"
#include "FileFaults.h"
#include "Unprivileged.h"
#include "WindowTest.h"
#include "app/Application.h"
#include "app/CloseOnSignal.h"
#include "app/InputHold.h"

#include <csignal>
#include <stdexcept>

namespace {

const QByteArray FactoryFile =
    QByteArray::fromHex("00000000191919190f0f0f0f0000000001010001") + QByteArray(40, '\0');
constexpr int ExternalRingByte = 4; // CBarb21 clears its bit 0x10
constexpr char ExternalRingWithoutPort1 = 0x09;

const QString Title = "Zuvex 910k Konfigurator - ";
const QString CannotOpen = "Die Datei konnte nicht geöffnet werden.";
const QStringList SaveNowQuestion{"Die Daten wurden geändert und nicht gespeichert!",
                                  "Wollen Sie die Daten jetzt speichern?"};

ShownBox fileError(const QString& line) {
    return {"Fehler bei Dateizugriff", {"Fehler!", line}};
}

const QString Key = "[HKEY_LOCAL_MACHINE\\software\\Orvell\\Zuvex 910k]";
const QString NewInCurrentDir = QDir::currentPath() + "/Neu.zcf";
const QString CannotWrite = "konnte nicht geschrieben werden.";

// What keeps the settings file from being replaced whole.
enum class Fault { FullDisk, WriteProtected, ReadOnlyFolder, NoFileNoBlock };

// A settings file's place: nothing, a file without the program's key, or the key with values.
struct SettingsFile {
    enum Kind { Missing, WithoutKey, WithKey } kind = Missing;
    QString values;
};
const SettingsFile NoFile;
const SettingsFile FileWithoutKey{SettingsFile::WithoutKey, {}};
SettingsFile withValues(const QString& values) {
    return {SettingsFile::WithKey, values};
}

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(SettingsFile)

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

    // The held image is empty until a read or an open; the editor shows the factory settings.
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
        QCOMPARE(part<QPushButton>(*form, "SpeedButton1")->text(), "Konfiguration speichern ");
        QCOMPARE(part<QPushButton>(*form, "SpeedButton2")->text(), "Konfiguration auslesen");
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
    // While the conversation pauses the wait cursor shows and a click is held until after it.
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
            dialog.setObjectName("AfterPause");
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
        QCOMPARE(dialog<TUpDownLoad>("UpDownLoad")->windowTitle(), "Datenügertragung");
    }

    // The question answers by its keys; the error dialog ignores Esc and keeps the focus on OK.
    void messageDialogKeys_data() {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("expected");
        QTest::newRow("Enter answers Ja") << "HinweisBox" << int(Qt::Key_Return) << int(mrYes);
        QTest::newRow("Esc answers Nein") << "HinweisBox" << int(Qt::Key_Escape) << int(mrNo);
        QTest::newRow("close box answers Abbrechen") << "HinweisBox" << 0 << int(mrCancel);
        QTest::newRow("error dialog ignores Esc")
            << "ErrorDialog" << int(Qt::Key_Escape) << int(mrOk);
    }
    void messageDialogKeys() {
        QFETCH(QString, dialog);
        QFETCH(int, key);
        QFETCH(int, expected);
        bool focusOnOk = true;
        ModalAnswer a(dialog, [&](QWidget* w) {
            key ? QTest::keyClick(w, Qt::Key(key)) : void(w->close());
            if (!w->isVisible())
                return;
            QTest::mouseClick(w->findChild<QPlainTextEdit*>("Message")->viewport(), Qt::LeftButton);
            focusOnOk = w->focusWidget() == w->findChild<QPushButton*>("OKBtn");
            QTest::keyClick(w, Qt::Key_Return);
        });
        auto* shownDialog = ::dialog<TMessageDialog>(qPrintable(dialog));
        const int result = ShowMessageDialog(shownDialog, "Hinweis", {"eins", "", "drei"});
        QCOMPARE(shown(a), ShownBox("Hinweis", {"eins", "", "drei"}));
        QCOMPARE(result, expected);
        QVERIFY(focusOnOk);
        QVERIFY(shownDialog->Lines().isEmpty());
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
        QCOMPARE(a.caption, "Info");
        const auto* about = dialog<TAboutBox>("AboutBox");
        QCOMPARE(part<QLabel>(*about, "ProductName")->text(), "Zuvex 910k Konfigurator");
        QCOMPARE(part<QLabel>(*about, "Version")->text(), "Version 1.0"); // 1.0.0
        // the program icon, compiled in from the pictures rendered at build time
        QCOMPARE(part<QLabel>(*about, "ProgramIcon")->pixmap().size(), QSize(32, 32));
        QVERIFY(!form->windowIcon().availableSizes().isEmpty());
    }

    void escapingFailureShownAndLoopGoesOn() {
        ModalAnswer box("ApplicationErrorBox", press("OK"));
        // a command that fails beyond its own error handling
        QMetaObject::invokeMethod(
            qApp, [] { throw std::runtime_error("Der Port COM3 existiert nicht."); },
            Qt::QueuedConnection);
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
        QCOMPARE(r.defaultSuffix, "zcf");
        QCOMPARE(r.filter, "Zuvex 910k Dateien (*.zcf)|*.zcf|Alle Dateien (*.*)|*.*");
        QCOMPARE(qtFilterFromBars(r.filter), "Zuvex 910k Dateien (*.zcf);;Alle Dateien (*.*)");
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
        QCOMPARE(files.requests.first().fileName, "*.zcf");
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

    // Too short, or no regular file (a FIFO would block the window): the window stays as it was.
    void openRejected_data() {
        QTest::addColumn<FileShape>("shape");
        QTest::addColumn<int>("size"); // of a regular file
        QTest::addColumn<QString>("error");
        const QString notConfig = "Die Datei ist keine Konfigurationsdatei!";
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

    // A failed save keeps the change and the star; a failed save as keeps the chosen path.
    void failedSaveIsReported_data() {
        QTest::addColumn<bool>("answeringYes"); // before "Neu erstellen", else a save as
        QTest::addColumn<QString>("error");
        QTest::newRow("Ja") << true << CannotOpen;
        QTest::newRow("save as") << false
                                 << QString(
                                        "Die Datei konnte nicht geöffnet oder angelegt werden.");
    }
    void failedSaveIsReported() {
        QFETCH(bool, answeringYes);
        QFETCH(QString, error);
        const QString target = home->path("a.zcf");
        FileDialogAnswers files(*form, {target});
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

    // A cancelled save dialog keeps the changes and, after "Ja", stops the asking command too.
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

    // "Abbrechen" keeps the change; "Ja" saves it (a name asked when untitled) and starts anew.
    void queryAnswers() {
        FileDialogAnswers files(*form, {home->path("q.zcf"), home->path("a.zcf")});
        trigger("FileNew1"); // nothing modified: no question
        QVERIFY(files.requests.isEmpty());
        box("CBarb21")->click();
        box("CBarb22")->click();
        box("CBarb22")->click(); // three changes, one star
        QVERIFY(askedDuring(press("CancelBtn"), "FileNew1").seen);
        QVERIFY(!box("CBarb21")->isChecked());
        QCOMPARE(form->windowTitle(), Title + "Neu.zcf*");
        QVERIFY(askedDuring(press("YesBtn"), "FileNew1").seen);
        QCOMPARE(fileBytes(home->path("q.zcf"))[ExternalRingByte], ExternalRingWithoutPort1);
        QVERIFY(box("CBarb21")->isChecked()); // then the new configuration
        QCOMPARE(form->windowTitle(), Title + "Neu.zcf");
        trigger("FileSaveAs1");
        QCOMPARE(files.lastOffered(), home->path("Neu.zcf")); // named in the folder saved into
        QCOMPARE(form->windowTitle(), Title + "a.zcf");
        box("CBarb21")->click();
        QCOMPARE(form->windowTitle(), Title + "a.zcf*");
        QVERIFY(askedDuring(press("YesBtn"), "FileNew1").seen);
        QCOMPARE(fileBytes(home->path("a.zcf"))[ExternalRingByte], ExternalRingWithoutPort1);
        QCOMPARE(form->windowTitle(), Title + "Neu.zcf");
        QCOMPARE(files.requests.size(), 2); // the first "Ja" and the save as
    }

    void fileEntriesCompacted_data() {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("gap gap A B")
            << QStringList{"", "", "A", "B"} << QStringList{"", "A", "B", ""};
        QTest::newRow("gap A gap B")
            << QStringList{"", "A", "", "B"} << QStringList{"A", "B", "", ""};
        QTest::newRow("full") << QStringList{"A", "B", "C", "D"} << QStringList{"A", "B", "C", "D"};
        QTest::newRow("A gap gap B")
            << QStringList{"A", "", "", "B"} << QStringList{"A", "", "B", ""};
    }
    void fileEntriesCompacted() {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, expected);
        form.reset(); // the settings are read when the window is made
        QString values;
        for (int i = 0; i < 4; ++i)
            values += QStringLiteral("\"File%1\"=\"%2\"\r\n").arg(i + 1).arg(stored[i]);
        home->writeRegistry(values);
        form = std::make_unique<TAppFormProbe>();
        QVERIFY(form->close()); // written back compacted
        const QString text = home->readRegistry();
        for (int i = 0; i < 4; ++i)
            QVERIFY(text.contains(QStringLiteral("\"File%1\"=\"%2\"").arg(i + 1).arg(expected[i])));
    }

    // SIGTERM while the box shows closes it and ends the program; what was read is not used.
    void wrongValueTypeTakesFailurePath() {
        form.reset();
        home->writeRegistry(
            "\"WorkDir\"=\"/kept/\"\r\n\"File1\"=\"A\"\r\n\"COM\"=\"3\"\r\n\"File2\"=\"B\"\r\n");
        TCloseOnSignal closeOnSignal;
        ModalAnswer box("SettingsErrorBox", [](QWidget*) { ::raise(SIGTERM); });
        form = std::make_unique<TAppFormProbe>();
        QCOMPARE(shown(box).lines, QStringList{"Ungültiger Datentyp für 'COM'"});
        QVERIFY(TCloseOnSignal::Requested());
        FileDialogAnswers files(*form);
        trigger("FileSaveAs1");
        QCOMPARE(files.lastOffered(), NewInCurrentDir); // even though WorkDir had been read
        QCOMPARE(form->Conversation->UsedComPort, quint16(0));
        QVERIFY(form->close());
        // read after the failure point: not read, so written back empty
        QVERIFY(home->readRegistry().contains("\"File1\"=\"\""));
    }

    // SIGTERM while the settings cannot be written ends the program: no box, the failure logged.
    void signalWithUnwritableSettings() {
        form.reset();
        home->writeRegistry("\"COM\"=dword:00000001\r\n"); // a key, so the close writes it
        form = std::make_unique<TAppFormProbe>();
        QVERIFY(showOffline());
        TCloseOnSignal closeOnSignal;
        ModalAnswer box("SettingsErrorBox", press("OK"));
        FailingWrites fullDisk;
        ::raise(SIGTERM);
        QVERIFY(QTest::qWaitFor([&] { return !form->isVisible(); }));
        QVERIFY(!box.seen());
        QVERIFY(QString::fromUtf8(fileBytes(home->errorLogPath())).contains(CannotWrite));
    }

    // Not replaceable whole: every byte kept, the failure told (a write-protected file: silently).
    void settingsFileNeverCutOrOverwritten_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("reported");
        QTest::newRow("full tmpfs") << Fault::FullDisk << true;
        QTest::newRow("write-protected file") << Fault::WriteProtected << false;
        QTest::newRow("read-only folder, write breaks off") << Fault::ReadOnlyFolder << true;
        QTest::newRow("no file and no block left") << Fault::NoFileNoBlock << true;
    }
    void settingsFileNeverCutOrOverwritten() {
        QFETCH(Fault, fault);
        QFETCH(bool, reported);
        if (::geteuid() != Root)
            QSKIP("only root can give the settings to another user");
        constexpr int PageFillingComment = 3900; // the values written at close need one page more
        form.reset();
        std::optional<SmallDisk> disk;
        if (fault == Fault::FullDisk || fault == Fault::NoFileNoBlock) {
            disk.emplace(home->configDir(), "size=16k,nr_inodes=8");
            SKIP_UNLESS_MOUNTED(*disk);
            QDir().mkpath(home->portsDir());
        }
        // full disk: COM 7's reset at start-up must fail; else COM first, where a torn write shows
        home->writeRegistry((fault == Fault::FullDisk
                                 ? "\"COM\"=dword:00000007\r\n;"
                                 : "\"COM\"=dword:00000001\r\n\"WorkDir\"=\"/alt/\"\r\n;") +
                            QString(PageFillingComment, QLatin1Char('-')) + "\r\n");
        const QByteArray before = fileBytes(home->registryPath());
        const QByteArray config = QFile::encodeName(home->configDir());
        const QByteArray registry = QFile::encodeName(home->registryPath());
        QCOMPARE(::chmod(QFile::encodeName(home->root()), 0755), 0);
        QCOMPARE(::chown(config, Nobody, NoGroup), 0);
        QCOMPARE(::chmod(config, fault == Fault::ReadOnlyFolder ? 0555 : 0755), 0);
        QCOMPARE(::chown(registry, Nobody, NoGroup), 0);
        QCOMPARE(::chmod(registry, fault == Fault::WriteProtected ? 0444 : 0644), 0);
        if (disk)
            disk->fillUp();
        if (fault == Fault::NoFileNoBlock)
            disk->useUpFiles();
        std::optional<TornWrites> torn;
        if (fault == Fault::ReadOnlyFolder)
            torn.emplace();
        std::optional<ModalAnswer> atStartUp;
        if (fault == Fault::FullDisk)
            atStartUp.emplace("SettingsErrorBox", press("OK"));
        ModalAnswer atClose("SettingsErrorBox", press("OK"));
        {
            ActingAsNobody user;
            form = std::make_unique<TAppFormProbe>();
            form->Conversation->UsedComPort = 3; // a value to write
            QVERIFY(form->close());
            form.reset();
        }
        if (atStartUp)
            QVERIFY(atStartUp->lines.value(0).endsWith(CannotWrite));
        QCOMPARE(atClose.seen(), reported);
        QCOMPARE(atClose.lines.value(0).endsWith(CannotWrite), reported);
        QCOMPARE(fileBytes(home->registryPath()), before);
    }

    // The user's file, else the system default; close writes the user's file once, creates none.
    void settingsLookup_data() {
        QTest::addColumn<SettingsFile>("user");
        QTest::addColumn<SettingsFile>("system");
        QTest::addColumn<int>("com");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<bool>("resetAtOnce");
        QTest::addColumn<bool>("written");
        const QString com1 = "\"COM\"=dword:00000001\r\n";
        const SettingsFile com2 = withValues("\"COM\"=dword:00000002\r\n");
        const SettingsFile com3 = withValues("\"COM\"=dword:00000003\r\n");
        const QString here = NewInCurrentDir;
        QTest::newRow("COM above four is reset at once")
            << withValues("\"COM\"=dword:00000007\r\n") << NoFile << 0 << here << true << true;
        QTest::newRow("only the low 16 bits of COM count")
            << withValues("\"COM\"=dword:00010003\r\n") << NoFile << 3 << here << false << true;
        QTest::newRow("WorkDir gets its separator")
            << withValues(com1 + "\"WorkDir\"=\"/data/konfig\"\r\n") << NoFile << 1
            << "/data/konfig/Neu.zcf" << false << true;
        QTest::newRow("empty WorkDir gives the current folder")
            << withValues(com1 + "\"WorkDir\"=\"\"\r\n") << NoFile << 1 << here << false << true;
        QTest::newRow("user file") << com2 << com3 << 2 << here << false << true;
        QTest::newRow("system default only") << NoFile << com3 << 3 << here << false << true;
        QTest::newRow("neither") << NoFile << NoFile << 0 << here << false << false;
        QTest::newRow("user file without key")
            << FileWithoutKey << com3 << 0 << here << false << false;
        QTest::newRow("system default without key")
            << NoFile << FileWithoutKey << 0 << here << false << false;
    }
    void settingsLookup() {
        QFETCH(SettingsFile, user);
        QFETCH(SettingsFile, system);
        QFETCH(int, com);
        QFETCH(QString, offered);
        QFETCH(bool, resetAtOnce);
        QFETCH(bool, written);
        form.reset();
        for (const auto& [path, file] :
             {std::pair{home->registryPath(), user}, {home->systemRegistryPath(), system}})
            if (file.kind != SettingsFile::Missing)
                home->writeRegistry(file.values, file.kind == SettingsFile::WithKey, path);
        const QByteArray systemBefore = fileBytes(home->systemRegistryPath());
        const QString userBefore = home->readRegistry();
        ModalAnswer box("SettingsErrorBox", press("OK"));
        form = std::make_unique<TAppFormProbe>();
        QCOMPARE(form->Conversation->UsedComPort, quint16(com));
        QCOMPARE(part<QLabel>(*form, "StatusPanel1")->text(), "Verwendeter COM-Port: keiner");
        QCOMPARE(form->windowTitle(), Title + "Neu.zcf");
        QCOMPARE(home->readRegistry() != userBefore, resetAtOnce);
        QCOMPARE(home->readRegistry().contains("\"COM\"=dword:00000000"), resetAtOnce);
        FileDialogAnswers files(*form, {home->path("anlage.zcf")});
        trigger("FileSaveAs1");
        QCOMPARE(files.lastOffered(), offered);
        form->Conversation->UsedComPort = 4;
        CountedWrites writes;
        QVERIFY(form->close());
        QCOMPARE(writes.count(), written ? 1 : 0); // once, after the last value
        QVERIFY(!box.seen());
        const QString text = home->readRegistry();
        QCOMPARE(text.contains(Key + "\r\n\"COM\"=dword:00000004"), written);
        QCOMPARE(text.contains("\"WorkDir\"=\"" + home->root() + "/\""), written);
        QCOMPARE(text.indexOf("\"WorkDir\"") < text.indexOf("\"File4\""), written);
        QCOMPARE(text != userBefore, written); // nothing created or changed
        QCOMPARE(fileBytes(home->systemRegistryPath()), systemBefore);
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TestWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_window.moc"
