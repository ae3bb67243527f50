// Replacing a file's content: names that are no regular file, full disks, folders without
// room, owners and links, a crash, a left-over temporary file, a long path and a second
// program saving at the same time.
#include "ChildProcess.h"
#include "FailingWrites.h"
#include "FileFaults.h"
#include "TestHome.h"
#include "Unprivileged.h"
#include "app/SafeSave.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <climits>
#include <csignal>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray OldBytes(60, '\x01');
const QByteArray NewBytes(60, '\x02');

constexpr uid_t Root = 0;
constexpr gid_t UsersGroup = 100; // Debian's group "users", shared by the people of a machine

mode_t kindOf(const QString& path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path), &st);
    return st.st_mode & S_IFMT;
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// A path of exactly `length` characters below `base`, ending in `fileName`, whose folders
// exist.
QString pathOfLength(QString base, int length, const QString& fileName) {
    constexpr int Component = 100;
    int remaining = length - int(base.size()) - 1 - int(fileName.size());
    while (remaining > 2 * Component) {
        base += QLatin1Char('/') + QString(Component, QLatin1Char('d'));
        remaining -= Component + 1;
    }
    base += QLatin1Char('/') + QString(remaining - 1, QLatin1Char('e'));
    QDir().mkpath(base);
    return base + QLatin1Char('/') + fileName;
}

} // namespace

Q_DECLARE_METATYPE(TSaveResult)

class TestSafeSave : public QObject {
    Q_OBJECT
private slots:
    // A name that is no regular file, or whose folder is missing or no folder: refused, and
    // the name and its folder stay as they were.
    void refusedTargetStaysAsItWas_data() {
        QTest::addColumn<QString>("kind"); // as makeNonRegular makes it; "" for none
        QTest::addColumn<QString>("name");
        QTest::addColumn<TSaveResult>("result");
        QTest::newRow("missing folder") << ""
                                        << "fehlt/a.zcf" << TSaveResult::CannotCreate;
        QTest::newRow("below a file") << ""
                                      << "datei/a.zcf" << TSaveResult::CannotCreate;
        QTest::newRow("fifo") << "fifo"
                              << "a.zcf" << TSaveResult::NotRegular;
        QTest::newRow("link loop") << "link loop"
                                   << "a.zcf" << TSaveResult::NotRegular;
        QTest::newRow("link to fifo") << "link to fifo"
                                      << "a.zcf" << TSaveResult::NotRegular;
        QTest::newRow("folder") << "folder"
                                << "a.zcf" << TSaveResult::NotRegular;
    }
    void refusedTargetStaysAsItWas() {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QFETCH(TSaveResult, result);
        TestHome home;
        QVERIFY(!home.writeFile("datei", OldBytes).isEmpty());
        const QString target = home.path(name);
        if (!kind.isEmpty())
            QVERIFY(makeNonRegular(kind, target));
        const mode_t before = kindOf(target);
        const QStringList entriesBefore = entries(home.root());
        QCOMPARE(SaveFileSafely(target, NewBytes), result);
        QCOMPARE(kindOf(target), before);
        QCOMPARE(entries(home.root()), entriesBefore);
        QCOMPARE(fileBytes(home.path("datei")), OldBytes);
    }

    // A save that cannot be completed keeps the previous file and leaves nothing behind: on a
    // real full file system and through a write that fails.
    void failedWriteKeepsOldFile_data() {
        QTest::addColumn<bool>("realDisk");
        QTest::newRow("full tmpfs") << true;
        QTest::newRow("failing write") << false;
    }
    void failedWriteKeepsOldFile() {
        QFETCH(bool, realDisk);
        TestHome home;
        const QString folder = home.path("disk");
        QDir().mkpath(folder);
        std::optional<SmallDisk> disk;
        if (realDisk) {
            disk.emplace(folder, "size=8k");
            SKIP_UNLESS_MOUNTED(*disk);
        }
        const QString target = folder + "/alt.zcf";
        QCOMPARE(SaveFileSafely(target, OldBytes), TSaveResult::Saved);
        std::optional<FailingWrites> failing;
        if (disk)
            disk->fillUp();
        else
            failing.emplace();
        const QStringList before = entries(folder);
        QVERIFY(SaveFileSafely(target, NewBytes) != TSaveResult::Saved);
        QVERIFY(SaveFileSafely(folder + "/neu.zcf", NewBytes) != TSaveResult::Saved);
        QCOMPARE(fileBytes(target), OldBytes);
        QCOMPARE(entries(folder), before);
    }

    // Saved again and again: a link stays a link and its file takes the content; the
    // temporary name beside the target must fit where the target's name just fits.
    void savedAgainAndAgain_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("link to a file") << "link.zcf";
        QTest::newRow("249 characters") << QString(245, QLatin1Char('n')) + ".zcf";
        QTest::newRow("255 characters") << QString(251, QLatin1Char('n')) + ".zcf";
    }
    void savedAgainAndAgain() {
        QFETCH(QString, name);
        TestHome home;
        const QString target = home.path(name);
        const bool link = name == "link.zcf";
        if (link)
            QVERIFY(QFile::link(home.writeFile("echt.zcf", OldBytes), target));
        for (const QByteArray& bytes : {OldBytes, NewBytes, NewBytes})
            QCOMPARE(SaveFileSafely(target, bytes), TSaveResult::Saved);
        QCOMPARE(QFileInfo(target).isSymLink(), link);
        QCOMPARE(fileBytes(link ? home.path("echt.zcf") : target), NewBytes);
    }

    // A folder that takes no new file: the writable target is written in place, and a write
    // that fails there is still reported.
    void folderWithoutRoomWritesInPlace() {
        TestHome home;
        const QString folder = home.path("voll");
        QDir().mkpath(folder);
        const bool root = ::geteuid() == Root;
        std::optional<SmallDisk> disk;
        if (root) {
            disk.emplace(folder, "size=64k,nr_inodes=16");
            SKIP_UNLESS_MOUNTED(*disk);
        }
        const QString target = folder + "/a.zcf";
        QCOMPARE(SaveFileSafely(target, OldBytes), TSaveResult::Saved);
        if (root)
            disk->useUpFiles();
        else
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        QCOMPARE(SaveFileSafely(target, NewBytes), TSaveResult::Saved);
        QCOMPARE(fileBytes(target), NewBytes);
        {
            FailingWrites failing;
            QCOMPARE(SaveFileSafely(target, OldBytes), TSaveResult::WriteFailed);
        }
        if (!root)
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
        if (::geteuid() != Root)
            QSKIP("only root can give the file to another user");
        TestHome home;
        QFile::setPermissions(home.root(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ExeOther);
        QDir().mkpath(home.path("shared"));
        QFile::setPermissions(home.path("shared"), QFileDevice::Permissions(0x7777));
        const QString target = home.writeFile("shared/anlage.zcf", OldBytes);
        const QString other = home.path("shared/zweitname.zcf");
        if (secondName)
            QCOMPARE(::link(QFile::encodeName(target), QFile::encodeName(other)), 0);
        QCOMPARE(::chown(QFile::encodeName(target), owner, group), 0);
        QCOMPARE(::chmod(QFile::encodeName(target), mode_t(mode)), 0);
        {
            ActingAsNobody user(UsersGroup);
            QCOMPARE(SaveFileSafely(target, NewBytes) == TSaveResult::Saved, saved);
        }
        QCOMPARE(fileBytes(target), saved ? NewBytes : OldBytes);
        if (secondName)
            QCOMPARE(fileBytes(other), NewBytes);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(target), &st), 0);
        QCOMPARE(uint(st.st_uid), owner);
        QCOMPARE(uint(st.st_gid), group);
        QCOMPARE(int(st.st_mode & 07777), mode);
    }

    // The save process dies while it writes: the folder holds what it held before.
    void crashedSaveLeavesNothingBehind_data() {
        QTest::addColumn<bool>("existing");
        QTest::newRow("replacing a file") << true;
        QTest::newRow("a new file") << false;
    }
    void crashedSaveLeavesNothingBehind() {
        QFETCH(bool, existing);
        TestHome home;
        const QString folder = home.path("saves");
        QDir().mkpath(folder);
        const QString target = folder + "/a.zcf";
        if (existing)
            QVERIFY(!home.writeFile("saves/a.zcf", OldBytes).isEmpty());
        const QStringList before = entries(folder);
        const int ended = inChild([&] {
            SetSaveWriteCall([](int, const void*, size_t) -> ssize_t { return ::raise(SIGKILL); });
            SaveFileSafely(target, NewBytes);
            return 0;
        });
        QCOMPARE(ended, -SIGKILL);
        QCOMPARE(entries(folder), before);
        QCOMPARE(fileBytes(target), existing ? OldBytes : QByteArray());
    }

    // A temporary file that a killed save left on a small disk takes no room from the next.
    void leftOverTemporaryDoesNotBlockSave() {
        TestHome home;
        const QString folder = home.path("disk");
        QDir().mkpath(folder);
        SmallDisk disk(folder, "size=8k");
        SKIP_UNLESS_MOUNTED(disk);
        disk.fillUp(".zuvex-k1lled");
        QCOMPARE(SaveFileSafely(folder + "/a.zcf", NewBytes), TSaveResult::Saved);
        QCOMPARE(entries(folder), QStringList{"a.zcf"});
        QCOMPARE(fileBytes(folder + "/a.zcf"), NewBytes);
    }

    // A target whose path just fits the kernel's limit is created and replaced.
    void longestPathIsSaved() {
        TestHome home;
        const QString target = pathOfLength(home.root(), PATH_MAX - 1, "a.zcf");
        QCOMPARE(target.size(), PATH_MAX - 1);
        QCOMPARE(SaveFileSafely(target, OldBytes), TSaveResult::Saved);
        QCOMPARE(SaveFileSafely(target, NewBytes), TSaveResult::Saved);
        QCOMPARE(fileBytes(target), NewBytes);
        QCOMPARE(entries(QFileInfo(target).path()), QStringList{"a.zcf"});
    }

    // Two programs save into the same file again and again: every save succeeds, the file
    // holds one of the two contents whole, and no temporary file is left.
    void concurrentSavesShareNoTemporary() {
        constexpr int Saves = 200;
        TestHome home;
        const QString folder = home.path("shared");
        QDir().mkpath(folder);
        const QString target = folder + "/a.zcf";
        pid_t children[2] = {};
        const QByteArray contents[2] = {OldBytes, NewBytes};
        for (int i = 0; i < 2; ++i) {
            children[i] = ::fork();
            if (children[i] == 0) {
                for (int n = 0; n < Saves; ++n)
                    if (SaveFileSafely(target, contents[i]) != TSaveResult::Saved)
                        ::_exit(1);
                ::_exit(0);
            }
        }
        for (pid_t child : children) {
            int status = 0;
            ::waitpid(child, &status, 0);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        QVERIFY(fileBytes(target) == OldBytes || fileBytes(target) == NewBytes);
        QCOMPARE(entries(folder), QStringList{"a.zcf"});
    }
};

QTEST_GUILESS_MAIN(TestSafeSave)
#include "tst_safesave.moc"
