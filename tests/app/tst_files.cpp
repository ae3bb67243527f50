// Configuration files: save, open, the question about unsaved changes.
#include "FailingWrites.h"
#include "FileFaults.h"
#include "ModalDriver.h"
#include "TestHome.h"
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

QCheckBox* box(TAppFormProbe& form, const char* name) {
    return form.findChild<QCheckBox*>(name);
}

const auto pressOk = press("OKBtn");

// Runs `save` expecting it to fail with the file access error; Modified stays set.
void expectSaveFailure(TAppFormProbe& form, const std::function<int()>& save) {
    ModalAnswer err("ErrorDialog", pressOk);
    QCOMPARE(save(), -1);
    QVERIFY(err.seen());
    QCOMPARE(err.caption, QStringLiteral("Fehler bei Dateizugriff"));
    QVERIFY(form.Modified);
}

mode_t kindOf(const QString& path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path), &st);
    return st.st_mode & S_IFMT;
}

} // namespace

class TestFiles : public QObject {
    Q_OBJECT
private slots:
    void saveAfterStartupWritesFactoryImage() {
        TestHome home;
        TAppFormProbe form;
        FakeDialog dlg(form, {home.path("anlage.zcf")});
        QCOMPARE(form.SaveConfigurationAs(), 0);
        QCOMPARE(readAll(home.path("anlage.zcf")), FactoryFile);
        QCOMPARE(form.ImageChecksum, quint8(0xA3));
        QCOMPARE(form.windowTitle(), QStringLiteral("Zuvex 910k Konfigurator - anlage.zcf"));
        QCOMPARE(form.WorkDir, home.path(QString()));
        QVERIFY(!form.Untitled);
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
        TestHome home;
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i)
            bytes[i] = char(0x40 + i % 50);
        // a valid editor part: port 2 Anrufbeantworter, ring bytes with some bits
        bytes.replace(0, 20, QByteArray::fromHex("0001000011110401030c0f000000000000010100"));
        home.writeFile("in.zcf", bytes);
        TAppFormProbe form;
        FakeDialog dlg(form, {home.path("in.zcf"), home.path("out.zcf")});
        form.MarkModified();
        ModalAnswer ask("HinweisBox", press("NoBtn"));
        form.FileOpen1Execute();
        QVERIFY(ask.seen());
        QCOMPARE(dlg.requests.first().fileName, QStringLiteral("*.zcf"));
        QVERIFY(!dlg.requests.first().save);
        QVERIFY(!form.Modified);
        QCOMPARE(form.windowTitle(), QStringLiteral("Zuvex 910k Konfigurator - in.zcf"));
        QVERIFY(form.findChild<QRadioButton*>("RBAnrufbeantworter22")->isChecked());
        // stored ring bits are shown as they are (no door rule after a file open)
        QVERIFY(box(form, "CBTaste1Ruf21")->isChecked());
        QVERIFY(!box(form, "CBTaste2Ruf21")->isChecked());
        // reserved bytes come back unchanged in the next save
        QCOMPARE(form.SaveConfigurationAs(), 0);
        QCOMPARE(readAll(home.path("out.zcf")), bytes.left(60));
        QCOMPARE(dlg.requests.last().directory, home.path(QString()));
    }

    void shortFilesAreRejected_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("59") << 59;
        QTest::newRow("empty") << 0;
    }
    void shortFilesAreRejected() {
        QFETCH(int, size);
        TestHome home;
        home.writeFile("short.zcf", QByteArray(size, '\x01'));
        TAppFormProbe form;
        form.Image.fill(0x77);
        form.MarkModified();
        const QString title = form.windowTitle();
        const QString file = form.CurrentFile;
        FakeDialog dlg(form, {home.path("short.zcf")});
        ModalAnswer err("ErrorDialog", press("OKBtn"));
        form.OpenConfiguration();
        QVERIFY(err.seen());
        QCOMPARE(err.caption, QStringLiteral("Fehler bei Dateizugriff"));
        QCOMPARE(err.lines, (QStringList{"Fehler!", "Die Datei ist keine Konfigurationsdatei!"}));
        QVERIFY(
            std::all_of(form.Image.begin(), form.Image.end(), [](auto b) { return b == 0x77; }));
        QCOMPARE(form.windowTitle(), title);
        QCOMPARE(form.CurrentFile, file);
        QVERIFY(form.Modified);
        QVERIFY(form.ErrorDialog->Lines().isEmpty());
    }

    void saveToExistingFileAndUnwritableTarget() {
        TestHome home;
        TAppFormProbe form;
        FakeDialog dlg(form, {home.path("a.zcf")});
        QCOMPARE(form.SaveConfigurationAs(), 0);
        box(form, "CBarb21")->click();
        QVERIFY(form.Modified);
        // SaveConfiguration of a titled configuration writes without asking
        QCOMPARE(form.SaveConfiguration(), 0);
        QCOMPARE(readAll(home.path("a.zcf"))[4], char(0x09));
        QVERIFY(!form.Modified);

        // a target that cannot be created: error, -1, previous state kept
        box(form, "CBarb22")->click();
        form.CurrentFile = home.path("missing-dir/a.zcf");
        ModalAnswer err("ErrorDialog", press("OKBtn"));
        QCOMPARE(form.SaveConfiguration(), -1);
        QVERIFY(err.seen());
        QCOMPARE(err.lines, (QStringList{"Fehler!", "Die Datei konnte nicht geöffnet werden."}));
        QVERIFY(form.Modified);
    }

    void failedSaveNeverDestroysPreviousFile() {
        TestHome home;
        TAppFormProbe form;
        const QString dir = home.path("ro");
        QDir().mkpath(dir);
        FakeDialog dlg(form, {dir + "/keep.zcf", dir + "/keep.zcf"});
        QCOMPARE(form.SaveConfigurationAs(), 0);
        const QByteArray before = readAll(dir + "/keep.zcf");
        // a folder where nothing can be written (also for root: it is a file, not a folder)
        box(form, "CBarb21")->click();
        form.CurrentFile = home.path("ro/keep.zcf/x.zcf");
        ModalAnswer err("ErrorDialog", press("OKBtn"));
        QCOMPARE(form.SaveConfiguration(), -1);
        QVERIFY(err.seen());
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
        TestHome home;
        const QString dir = home.path("disk");
        QDir().mkpath(dir);
        std::optional<SmallDisk> disk;
        if (realDisk) {
            disk.emplace(dir, "size=8k");
            SKIP_UNLESS_MOUNTED(*disk);
        }
        TAppFormProbe form;
        FakeDialog dlg(form, {dir + "/alt.zcf", dir + "/neu.zcf"});
        QCOMPARE(form.SaveConfigurationAs(), 0);
        const QStringList entries = QDir(dir).entryList(QDir::Files);
        if (disk)
            disk->fillUp();
        std::optional<FailingWrites> failing;
        if (!realDisk)
            failing.emplace();
        box(form, "CBarb21")->click();
        expectSaveFailure(form, [&] { return form.SaveConfiguration(); });
        QCOMPARE(readAll(dir + "/alt.zcf"), FactoryFile);
        expectSaveFailure(form, [&] { return form.SaveConfigurationAs(); });
        QCOMPARE(QDir(dir).entryList(QDir::Files),
                 entries + (disk ? QStringList{"filler"} : QStringList{}));
    }

    void nonRegularTargetsRefused_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("link loop") << "link loop";
        QTest::newRow("link to fifo") << "link to fifo";
        QTest::newRow("folder") << "folder";
    }
    void nonRegularTargetsRefused() {
        QFETCH(QString, kind);
        TestHome home;
        const QString target = home.path("ziel.zcf");
        QVERIFY(makeNonRegular(kind, target));
        const mode_t before = kindOf(target);
        TAppFormProbe form;
        form.CurrentFile = target;
        form.Untitled = false;
        form.MarkModified();
        expectSaveFailure(form, [&] { return form.SaveConfiguration(); });
        QCOMPARE(kindOf(target), before);
    }

    void linkToFileStaysLink() {
        TestHome home;
        home.writeFile("echt.zcf", QByteArray(60, '\x01'));
        QVERIFY(QFile::link(home.path("echt.zcf"), home.path("link.zcf")));
        TAppFormProbe form;
        form.CurrentFile = home.path("link.zcf");
        form.Untitled = false;
        QCOMPARE(form.SaveConfiguration(), 0);
        QVERIFY(QFileInfo(home.path("link.zcf")).isSymLink());
        QCOMPARE(readAll(home.path("echt.zcf")), FactoryFile);
    }

    // The temporary name beside the target must fit where the target's name just fits.
    void longNamesSaveRepeatedly_data() {
        QTest::addColumn<int>("length");
        QTest::newRow("249") << 249;
        QTest::newRow("255") << 255;
    }
    void longNamesSaveRepeatedly() {
        QFETCH(int, length);
        TestHome home;
        const QString target = home.path(QString(length - 4, QLatin1Char('n')) + ".zcf");
        TAppFormProbe form;
        FakeDialog dlg(form, {target});
        QCOMPARE(form.SaveConfigurationAs(), 0);
        QCOMPARE(form.SaveConfiguration(), 0);
        QCOMPARE(form.SaveConfiguration(), 0);
        QCOMPARE(readAll(target), FactoryFile);
    }

    // Only regular files are opened: a FIFO would block the window, /dev/zero never ends.
    void openRefusesNonRegularFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("folder") << "folder";
        QTest::newRow("/dev/zero") << "/dev/zero";
    }
    void openRefusesNonRegularFiles() {
        QFETCH(QString, kind);
        TestHome home;
        QString name = kind;
        if (!kind.startsWith('/')) {
            name = home.path("x.zcf");
            QVERIFY(makeNonRegular(kind, name));
        }
        TAppFormProbe form;
        FakeDialog dlg(form, {name});
        ModalAnswer err("ErrorDialog", pressOk);
        form.OpenConfiguration();
        QVERIFY(err.seen());
        QCOMPARE(err.lines, (QStringList{"Fehler!", "Die Datei konnte nicht geöffnet werden."}));
        QVERIFY(form.Untitled);
    }

    // A folder that takes no new file: the writable target is written in place, and a write
    // that fails there is still reported.
    void folderWithoutRoomWritesInPlace() {
        TestHome home;
        const QString dir = home.path("voll");
        QDir().mkpath(dir);
        const bool root = ::geteuid() == 0;
        std::optional<SmallDisk> disk;
        if (root) {
            disk.emplace(dir, "size=64k,nr_inodes=16");
            SKIP_UNLESS_MOUNTED(*disk);
        }
        TAppFormProbe form;
        FakeDialog dlg(form, {dir + "/a.zcf"});
        QCOMPARE(form.SaveConfigurationAs(), 0);
        if (root)
            disk->useUpFiles();
        else
            QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
        box(form, "CBarb21")->click();
        QCOMPARE(form.SaveConfiguration(), 0);
        QCOMPARE(readAll(dir + "/a.zcf").at(4), char(0x09));
        QVERIFY(!form.Modified);
        box(form, "CBarb22")->click();
        FailingWrites failing;
        expectSaveFailure(form, [&] { return form.SaveConfiguration(); });
        if (!root)
            QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void saveAsFailureKeepsChosenPathOnly() {
        TestHome home;
        TAppFormProbe form;
        form.MarkModified();
        FakeDialog dlg(form, {home.path("nope/x.zcf")});
        ModalAnswer err("ErrorDialog", press("OKBtn"));
        QCOMPARE(form.SaveConfigurationAs(), -1);
        QVERIFY(err.seen());
        QCOMPARE(err.lines,
                 (QStringList{"Fehler!", "Die Datei konnte nicht geöffnet oder angelegt werden."}));
        QCOMPARE(form.CurrentFile, home.path("nope/x.zcf"));
        QVERIFY(form.Untitled);
        QVERIFY(form.Modified);
        QCOMPARE(form.windowTitle(), QStringLiteral("Zuvex 910k Konfigurator - Neu.zcf*"));
    }

    void saveAsCancelReturnsZeroWithoutMessage() {
        TestHome home;
        TAppFormProbe form;
        form.MarkModified();
        FakeDialog dlg(form);
        QCOMPARE(form.SaveConfigurationAs(), 0);
        QCOMPARE(dlg.requests.size(), 1);
        QVERIFY(form.Modified);
    }

    // "Ja", then cancelling the save dialog of an untitled configuration, keeps the changes.
    void yesThenCancelledSaveStopsTheCommand() {
        TestHome home;
        TAppFormProbe form;
        box(form, "CBarb21")->click();
        FakeDialog dlg(form);
        {
            ModalAnswer ask("HinweisBox", press("YesBtn"));
            form.FileNew1Execute();
            QVERIFY(ask.seen());
            QCOMPARE(ask.caption, QStringLiteral("Hinweis"));
            QCOMPARE(ask.lines, (QStringList{"Die Daten wurden geändert und nicht gespeichert!",
                                             "Wollen Sie die Daten jetzt speichern?"}));
        }
        QCOMPARE(dlg.requests.size(), 1);
        QVERIFY(form.Modified);
        QVERIFY(!box(form, "CBarb21")->isChecked()); // no new configuration happened
        {
            ModalAnswer ask("HinweisBox", press("YesBtn"));
            QVERIFY(!form.close());
            QVERIFY(ask.seen());
            QCOMPARE(ask.lines.last(),
                     QStringLiteral("Wollen Sie die Daten vor dem Beenden speichern?"));
        }
        QVERIFY(form.Modified);
        // Open stops as well: no open dialog after the save dialog
        {
            ModalAnswer ask("HinweisBox", press("YesBtn"));
            form.FileOpen1Execute();
            QVERIFY(ask.seen());
        }
        QCOMPARE(dlg.requests.size(), 3);
        QVERIFY(dlg.requests.last().save);
    }

    void queryAnswers() {
        TestHome home;
        TAppFormProbe form;
        FakeDialog dlg(form, {home.path("q.zcf")});
        // nothing modified: no question
        form.FileNew1Execute();
        QVERIFY(dlg.requests.isEmpty());
        box(form, "CBarb21")->click();
        {
            ModalAnswer ask("HinweisBox", press("CancelBtn"));
            form.FileNew1Execute();
            QVERIFY(ask.seen());
            QVERIFY(form.Modified);
            QVERIFY(!box(form, "CBarb21")->isChecked());
        }
        {
            ModalAnswer ask("HinweisBox", [](QWidget* w) { w->close(); }); // close box = Abbrechen
            form.FileNew1Execute();
            QVERIFY(ask.seen());
            QVERIFY(form.Modified);
        }
        {
            ModalAnswer ask("HinweisBox", press("YesBtn"));
            form.FileNew1Execute();
            QVERIFY(ask.seen());
        }
        QCOMPARE(readAll(home.path("q.zcf")).at(4), char(0x09)); // saved with the change
        QVERIFY(box(form, "CBarb21")->isChecked());              // then the new configuration
        QVERIFY(form.Untitled);
        QCOMPARE(form.CurrentFile, form.WorkDir + "Neu.zcf");
        QCOMPARE(form.windowTitle(), QStringLiteral("Zuvex 910k Konfigurator - Neu.zcf"));
    }
};

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
