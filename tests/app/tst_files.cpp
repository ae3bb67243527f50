// Configuration files: save, open, the question about unsaved changes.
#include "AppWithSim.h"
#include "FailingWrites.h"
#include "FileFaults.h"
#include "ShownBox.h"
#include "Unprivileged.h"
#include "WindowParts.h"
#include "app/AppFormProbe.h"
#include "config/EditorPages.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QTest>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray FactoryFile =
    QByteArray::fromHex("00000000191919190f0f0f0f0000000001010001") + QByteArray(40, '\0');

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A file dialog that records what the window asked and answers with a prepared path.
// It serves `form` from its construction on.
struct FakeDialog {
    QList<TFileDialogRequest> requests;
    QStringList answers;
    explicit FakeDialog(TAppFormProbe& form, QStringList answers = {})
        : answers(std::move(answers)) {
        form.FileDialogProvider = [this](const TFileDialogRequest& r) {
            requests << r;
            return this->answers.isEmpty() ? QString() : this->answers.takeFirst();
        };
    }
};

ShownBox fileError(const QString& line) {
    return {"Fehler bei Dateizugriff", {"Fehler!", line}};
}
const QString CannotOpen = QStringLiteral("Die Datei konnte nicht geöffnet werden.");

constexpr uid_t Root = 0;
constexpr gid_t UsersGroup = 100; // Debian's group "users", shared by the people of a machine

mode_t kindOf(const QString& path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path), &st);
    return st.st_mode & S_IFMT;
}

} // namespace

class TestFiles : public QObject, AppWithSim {
    Q_OBJECT

    QCheckBox* box(const char* name) { return form->findChild<QCheckBox*>(name); }

    // The error box of a `save` that fails (-1) and leaves Modified set.
    ShownBox failedSave(const std::function<int()>& save) {
        ModalAnswer err("ErrorDialog", press("OKBtn"));
        const int result = save();
        return result == -1 && form->Modified ? shown(err) : ShownBox();
    }
    int save() { return form->SaveConfiguration(); }
    int saveAs() { return form->SaveConfigurationAs(); }

    // Answers the unsaved-changes question with `act` while `command` runs.
    ShownBox askedDuring(std::function<void(QWidget*)> act, const std::function<void()>& command) {
        ModalAnswer ask("HinweisBox", std::move(act));
        command();
        return shown(ask);
    }

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void saveAfterStartupWritesFactoryImage() {
        FakeDialog dlg(*form, {home->path("anlage.zcf")});
        QCOMPARE(saveAs(), 0);
        QCOMPARE(readAll(home->path("anlage.zcf")), FactoryFile);
        QCOMPARE(imageChecksum(form->Image), quint8(0xA3));
        QCOMPARE(form->windowTitle(), QStringLiteral("Zuvex 910k Konfigurator - anlage.zcf"));
        QCOMPARE(form->WorkDir, home->path(QString()));
        QVERIFY(!form->Untitled);
        // the save dialog's properties
        QCOMPARE(dlg.requests.size(), 1);
        const TFileDialogRequest& r = dlg.requests.first();
        QVERIFY(r.save);
        QCOMPARE(r.defaultSuffix, QStringLiteral("zcf"));
        QCOMPARE(r.fileName, QStringLiteral("Neu.zcf"));
        QCOMPARE(r.directory, QDir::currentPath() + "/");
        QCOMPARE(r.filter,
                 QStringLiteral("Zuvex 910k Dateien (*.zcf)|*.zcf|Alle Dateien (*.*)|*.*"));
        QCOMPARE(qtFilterFromBars(r.filter),
                 QStringLiteral("Zuvex 910k Dateien (*.zcf);;Alle Dateien (*.*)"));
    }

    void openAcceptsSixtyOrMoreBytes_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("60") << 60;
        QTest::newRow("61") << 61;
        QTest::newRow("4096") << 4096;
    }
    void openAcceptsSixtyOrMoreBytes() {
        QFETCH(int, size);
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i)
            bytes[i] = char(0x40 + i % 50);
        // a valid editor part: port 2 Anrufbeantworter, ring bytes with some bits
        bytes.replace(0, 20, QByteArray::fromHex("0001000011110401030c0f000000000000010100"));
        home->writeFile("in.zcf", bytes);
        FakeDialog dlg(*form, {home->path("in.zcf"), home->path("out.zcf")});
        form->MarkModified();
        QVERIFY(askedDuring(press("NoBtn"), [&] { action(*form, "FileOpen1")->trigger(); }).seen);
        QCOMPARE(dlg.requests.first().fileName, QStringLiteral("*.zcf"));
        QVERIFY(!dlg.requests.first().save);
        QVERIFY(!form->Modified);
        QCOMPARE(form->windowTitle(), QStringLiteral("Zuvex 910k Konfigurator - in.zcf"));
        QVERIFY(form->findChild<QRadioButton*>("RBAnrufbeantworter22")->isChecked());
        // stored ring bits are shown as they are (no door rule after a file open)
        QVERIFY(box("CBTaste1Ruf21")->isChecked());
        QVERIFY(!box("CBTaste2Ruf21")->isChecked());
        // reserved bytes come back unchanged in the next save
        QCOMPARE(saveAs(), 0);
        QCOMPARE(readAll(home->path("out.zcf")), bytes.left(60));
        QCOMPARE(dlg.requests.last().directory, home->path(QString()));
    }

    // Too short, or no regular file (a FIFO would block the window, /dev/zero never ends):
    // the error, and the window's configuration stays as it was.
    void openRejected_data() {
        QTest::addColumn<QString>("kind"); // a size in bytes, a kind of non-regular file, a path
        QTest::addColumn<QString>("error");
        const QString notConfig = QStringLiteral("Die Datei ist keine Konfigurationsdatei!");
        QTest::newRow("59 bytes") << "59" << notConfig;
        QTest::newRow("empty") << "0" << notConfig;
        QTest::newRow("fifo") << "fifo" << CannotOpen;
        QTest::newRow("folder") << "folder" << CannotOpen;
        QTest::newRow("/dev/zero") << "/dev/zero" << CannotOpen;
    }
    void openRejected() {
        QFETCH(QString, kind);
        QFETCH(QString, error);
        bool sized = false;
        const int size = kind.toInt(&sized);
        QString name = kind;
        if (sized)
            name = home->writeFile("short.zcf", QByteArray(size, '\x01'));
        else if (!kind.startsWith('/'))
            QVERIFY(makeNonRegular(kind, name = home->path("x.zcf")));
        form->Image.fill(0x77);
        form->MarkModified();
        const QString title = form->windowTitle();
        const QString file = form->CurrentFile;
        FakeDialog dlg(*form, {name});
        ModalAnswer err("ErrorDialog", press("OKBtn"));
        form->OpenConfiguration();
        QCOMPARE(shown(err), fileError(error));
        QVERIFY(
            std::all_of(form->Image.begin(), form->Image.end(), [](auto b) { return b == 0x77; }));
        QCOMPARE(form->windowTitle(), title);
        QCOMPARE(form->CurrentFile, file);
        QVERIFY(form->Modified);
        QVERIFY(form->Untitled);
        QVERIFY(dialog<TErrorDialog>("ErrorDialog")->Lines().isEmpty());
    }

    void saveToExistingFileWithoutAsking() {
        FakeDialog dlg(*form, {home->path("a.zcf")});
        QCOMPARE(saveAs(), 0);
        box("CBarb21")->click();
        QVERIFY(form->Modified);
        QCOMPARE(save(), 0);
        QCOMPARE(readAll(home->path("a.zcf"))[4], char(0x09));
        QVERIFY(!form->Modified);
        QCOMPARE(dlg.requests.size(), 1);
    }

    // A target that cannot be written: the error, -1, Modified kept, the target as it was.
    void saveRefused_data() {
        QTest::addColumn<QString>("kind"); // of the target; "" = in a folder that is missing
        QTest::addColumn<QString>("error");
        QTest::newRow("missing folder") << "" << CannotOpen;
        QTest::newRow("fifo") << "fifo" << CannotOpen;
        QTest::newRow("link loop") << "link loop" << CannotOpen;
        QTest::newRow("link to fifo") << "link to fifo" << CannotOpen;
        QTest::newRow("folder") << "folder" << CannotOpen;
    }
    void saveRefused() {
        QFETCH(QString, kind);
        QFETCH(QString, error);
        const QString target = home->path(kind.isEmpty() ? "missing-dir/a.zcf" : "ziel.zcf");
        if (!kind.isEmpty())
            QVERIFY(makeNonRegular(kind, target));
        const mode_t before = kindOf(target);
        form->CurrentFile = target;
        form->Untitled = false;
        form->MarkModified();
        QCOMPARE(failedSave([&] { return save(); }), fileError(error));
        QCOMPARE(kindOf(target), before);
    }

    void failedSaveNeverDestroysPreviousFile() {
        const QString dir = home->path("ro");
        QDir().mkpath(dir);
        FakeDialog dlg(*form, {dir + "/keep.zcf", dir + "/keep.zcf"});
        QCOMPARE(saveAs(), 0);
        const QByteArray before = readAll(dir + "/keep.zcf");
        // a folder where nothing can be written (also for root: it is a file, not a folder)
        box("CBarb21")->click();
        form->CurrentFile = home->path("ro/keep.zcf/x.zcf");
        QVERIFY(failedSave([&] { return save(); }).seen);
        QCOMPARE(readAll(dir + "/keep.zcf"), before);
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{"keep.zcf"}); // no temporary left
    }

    // A save that cannot be completed keeps the previous file, leaves nothing behind and
    // reports the failure: on a real full file system and through a write that fails.
    void failedWriteKeepsOldFile_data() {
        QTest::addColumn<bool>("realDisk");
        QTest::newRow("full tmpfs") << true;
        QTest::newRow("failing write") << false;
    }
    void failedWriteKeepsOldFile() {
        QFETCH(bool, realDisk);
        const QString dir = home->path("disk");
        QDir().mkpath(dir);
        std::optional<SmallDisk> disk;
        if (realDisk) {
            disk.emplace(dir, "size=8k");
            SKIP_UNLESS_MOUNTED(*disk);
        }
        FakeDialog dlg(*form, {dir + "/alt.zcf", dir + "/neu.zcf"});
        QCOMPARE(saveAs(), 0);
        const QStringList entries = QDir(dir).entryList(QDir::Files);
        if (disk)
            disk->fillUp();
        std::optional<FailingWrites> failing;
        if (!realDisk)
            failing.emplace();
        box("CBarb21")->click();
        QCOMPARE(failedSave([&] { return save(); }).caption, fileError({}).caption);
        QCOMPARE(readAll(dir + "/alt.zcf"), FactoryFile);
        QCOMPARE(failedSave([&] { return saveAs(); }).caption, fileError({}).caption);
        QCOMPARE(QDir(dir).entryList(QDir::Files),
                 entries + (disk ? QStringList{"filler"} : QStringList{}));
    }

    // Saved again and again: a link stays a link and its file takes the image; the temporary
    // name beside the target must fit where the target's name just fits.
    void saveRepeatedly_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("link to a file") << "link.zcf";
        QTest::newRow("249 characters") << QString(245, QLatin1Char('n')) + ".zcf";
        QTest::newRow("255 characters") << QString(251, QLatin1Char('n')) + ".zcf";
    }
    void saveRepeatedly() {
        QFETCH(QString, name);
        const QString target = home->path(name);
        const bool link = name == "link.zcf";
        if (link)
            QVERIFY(QFile::link(home->writeFile("echt.zcf", QByteArray(60, '\x01')), target));
        FakeDialog dlg(*form, {target});
        QCOMPARE(saveAs(), 0);
        QCOMPARE(save(), 0);
        QCOMPARE(save(), 0);
        QCOMPARE(QFileInfo(target).isSymLink(), link);
        QCOMPARE(readAll(link ? home->path("echt.zcf") : target), FactoryFile);
    }

    // A folder that takes no new file: the writable target is written in place, and a write
    // that fails there is still reported.
    void folderWithoutRoomWritesInPlace() {
        const QString dir = home->path("voll");
        QDir().mkpath(dir);
        const bool root = ::geteuid() == 0;
        std::optional<SmallDisk> disk;
        if (root) {
            disk.emplace(dir, "size=64k,nr_inodes=16");
            SKIP_UNLESS_MOUNTED(*disk);
        }
        FakeDialog dlg(*form, {dir + "/a.zcf"});
        QCOMPARE(saveAs(), 0);
        if (root)
            disk->useUpFiles();
        else
            QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
        box("CBarb21")->click();
        QCOMPARE(save(), 0);
        QCOMPARE(readAll(dir + "/a.zcf").at(4), char(0x09));
        QVERIFY(!form->Modified);
        box("CBarb22")->click();
        FailingWrites failing;
        QCOMPARE(failedSave([&] { return save(); }).caption, fileError({}).caption);
        if (!root)
            QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // Saved by an ordinary user into a shared folder: the file keeps its owner, group, mode and
    // every name it has, or the save is refused and the file stays as it was.
    void savedFileKeepsWhatItWas_data() {
        QTest::addColumn<uint>("owner");
        QTest::addColumn<uint>("group");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("secondName");
        QTest::addColumn<bool>("saved");
        QTest::newRow("own file") << Nobody << UsersGroup << 0640 << false << true;
        QTest::newRow("write-protected") << Nobody << NoGroup << 0444 << false << false;
        QTest::newRow("another's, writable for all") << Root << Root << 0666 << false << true;
        QTest::newRow("another's, writable for the group")
            << Root << UsersGroup << 0664 << false << true;
        QTest::newRow("another's, not writable") << Root << Root << 0644 << false << false;
        QTest::newRow("with a second name") << Nobody << NoGroup << 0644 << true << true;
    }
    void savedFileKeepsWhatItWas() {
        QFETCH(uint, owner);
        QFETCH(uint, group);
        QFETCH(int, mode);
        QFETCH(bool, secondName);
        QFETCH(bool, saved);
        if (::geteuid() != 0)
            QSKIP("only root can give the file to another user");
        const QByteArray old(ConfigImageSize, '\x01');
        QFile::setPermissions(home->root(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ExeOther);
        QDir().mkpath(home->path("shared"));
        QFile::setPermissions(home->path("shared"), QFileDevice::Permissions(0x7777));
        const QString target = home->writeFile("shared/anlage.zcf", old);
        const QString other = home->path("shared/zweitname.zcf");
        if (secondName)
            QCOMPARE(::link(QFile::encodeName(target), QFile::encodeName(other)), 0);
        QCOMPARE(::chown(QFile::encodeName(target), owner, group), 0);
        QCOMPARE(::chmod(QFile::encodeName(target), mode_t(mode)), 0);
        form->CurrentFile = target;
        form->Untitled = false;
        form->MarkModified();
        {
            ActingAsNobody user(UsersGroup);
            if (saved)
                QCOMPARE(save(), 0);
            else
                QCOMPARE(failedSave([&] { return save(); }), fileError(CannotOpen));
        }
        QCOMPARE(form->Modified, !saved);
        QCOMPARE(readAll(target), saved ? FactoryFile : old);
        if (secondName)
            QCOMPARE(readAll(other), FactoryFile);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(target), &st), 0);
        QCOMPARE(uint(st.st_uid), owner);
        QCOMPARE(uint(st.st_gid), group);
        QCOMPARE(int(st.st_mode & 07777), mode);
    }

    void saveAsFailureKeepsChosenPathOnly() {
        form->MarkModified();
        FakeDialog dlg(*form, {home->path("nope/x.zcf")});
        QCOMPARE(failedSave([&] { return saveAs(); }),
                 fileError("Die Datei konnte nicht geöffnet oder angelegt werden."));
        QCOMPARE(form->CurrentFile, home->path("nope/x.zcf"));
        QVERIFY(form->Untitled);
        QCOMPARE(form->windowTitle(), QStringLiteral("Zuvex 910k Konfigurator - Neu.zcf*"));
    }

    void saveAsCancelReturnsZeroWithoutMessage() {
        form->MarkModified();
        FakeDialog dlg(*form);
        QCOMPARE(saveAs(), 0);
        QCOMPARE(dlg.requests.size(), 1);
        QVERIFY(form->Modified);
    }

    // "Ja", then cancelling the save dialog of an untitled configuration, keeps the changes.
    void yesThenCancelledSaveStopsTheCommand() {
        box("CBarb21")->click();
        FakeDialog dlg(*form);
        const QStringList question{"Die Daten wurden geändert und nicht gespeichert!",
                                   "Wollen Sie die Daten jetzt speichern?"};
        QCOMPARE(askedDuring(press("YesBtn"), [&] { action(*form, "FileNew1")->trigger(); }),
                 ShownBox("Hinweis", question));
        QCOMPARE(dlg.requests.size(), 1);
        QVERIFY(form->Modified);
        QVERIFY(!box("CBarb21")->isChecked()); // no new configuration happened
        bool closed = true;
        QCOMPARE(
            askedDuring(press("YesBtn"), [&] { closed = form->close(); }),
            ShownBox("Hinweis", {question[0], "Wollen Sie die Daten vor dem Beenden speichern?"}));
        QVERIFY(!closed);
        QVERIFY(form->Modified);
        // Open stops as well: no open dialog after the save dialog
        QVERIFY(askedDuring(press("YesBtn"), [&] { action(*form, "FileOpen1")->trigger(); }).seen);
        QCOMPARE(dlg.requests.size(), 3);
        QVERIFY(dlg.requests.last().save);
    }

    void queryAnswers() {
        FakeDialog dlg(*form, {home->path("q.zcf")});
        const auto newFile = [&] { action(*form, "FileNew1")->trigger(); };
        newFile(); // nothing modified: no question
        QVERIFY(dlg.requests.isEmpty());
        box("CBarb21")->click();
        QVERIFY(askedDuring(press("CancelBtn"), newFile).seen);
        QVERIFY(form->Modified);
        QVERIFY(!box("CBarb21")->isChecked());
        // the close box means Abbrechen
        QVERIFY(askedDuring([](QWidget* w) { w->close(); }, newFile).seen);
        QVERIFY(form->Modified);
        QVERIFY(askedDuring(press("YesBtn"), newFile).seen);
        QCOMPARE(readAll(home->path("q.zcf")).at(4), char(0x09)); // saved with the change
        QVERIFY(box("CBarb21")->isChecked());                     // then the new configuration
        QVERIFY(form->Untitled);
        QCOMPARE(form->CurrentFile, form->WorkDir + "Neu.zcf");
        QCOMPARE(form->windowTitle(), QStringLiteral("Zuvex 910k Konfigurator - Neu.zcf"));
    }
};

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
