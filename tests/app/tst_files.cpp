// Configuration files through the window: save, open, the question about unsaved changes.
// What a save does to the file system is tested on SaveFileSafely (tst_safesave).
#include "FailingWrites.h"
#include "FileFaults.h"
#include "WindowTest.h"

#include <optional>

namespace {

const QByteArray FactoryFile =
    QByteArray::fromHex("00000000191919190f0f0f0f0000000001010001") + QByteArray(40, '\0');
constexpr quint8 FactoryChecksum = 0xA3;
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

} // namespace

Q_DECLARE_METATYPE(SaveRoute)

class TestFiles : public QObject, AppWithSim {
    Q_OBJECT

    QCheckBox* box(const char* name) { return form->findChild<QCheckBox*>(name); }
    void trigger(const char* name) { action(*form, name)->trigger(); }

    // Answers the unsaved-changes question with `act` while `command` (or the action `name`) runs.
    ShownBox askedDuring(std::function<void(QWidget*)> act, const std::function<void()>& command) {
        ModalAnswer ask("HinweisBox", std::move(act));
        command();
        return shown(ask);
    }
    ShownBox askedDuring(std::function<void(QWidget*)> act, const char* name) {
        return askedDuring(std::move(act), [&] { trigger(name); });
    }

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void saveAfterStartupWritesFactoryImage() {
        FileDialogAnswers files(*form, {home->path("anlage.zcf")});
        trigger("FileSaveAs1");
        QCOMPARE(fileBytes(home->path("anlage.zcf")), FactoryFile);
        QCOMPARE(imageChecksum(form->Image), FactoryChecksum);
        QCOMPARE(form->windowTitle(), Title + "anlage.zcf");
        QCOMPARE(files.requests.size(), 1);
        const TFileDialogRequest& r = files.requests.first();
        QVERIFY(r.save);
        QCOMPARE(r.defaultSuffix, QStringLiteral("zcf"));
        QCOMPARE(r.fileName, QStringLiteral("Neu.zcf"));
        QCOMPARE(r.directory, QDir::currentPath() + "/");
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
        QVERIFY(dialog<TErrorDialog>("ErrorDialog")->Lines().isEmpty());
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
        bool closed = true;
        QCOMPARE(askedDuring(press("YesBtn"), [&] { closed = form->close(); }),
                 ShownBox("Hinweis",
                          {SaveNowQuestion[0], "Wollen Sie die Daten vor dem Beenden speichern?"}));
        QVERIFY(!closed);
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

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
