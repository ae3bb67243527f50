// Replacing a file's content: names that are no regular file, full disks, folders without
// room, owners and links, a crash, a left-over temporary file, a long path and a second
// program saving at the same time.
#include "ChildProcess.h"
#include "FailingWrites.h"
#include "FileFaults.h"
#include "TestHome.h"
#include "Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <climits>
#include <csignal>

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

// What is done to the folder before the save.
enum class Setup {
    OldFileAlone,
    Fifo, // the target made a name that is no regular file
    Folder,
    LinkLoop,
    LinkToFifo,
    LinkToOldFile,
    SavedBefore,        // the target saved twice already
    LongestPath,        // likewise, its path just fits the kernel's limit
    FullDisk,           // a tmpfs without a free byte
    FailingWrite,       // every write fails as on a full disk
    NoRoomForAFile,     // the folder takes no new file
    NoRoomFailingWrite, // and every write fails
    LeftOverTemporary,  // a killed save's temporary file takes the last free byte
    Killed              // the save process dies in its first write
};

const QMap<Setup, FileShape> NonRegularShape{{Setup::Fifo, FileShape::Fifo},
                                             {Setup::Folder, FileShape::Folder},
                                             {Setup::LinkLoop, FileShape::LinkLoop},
                                             {Setup::LinkToFifo, FileShape::LinkToFifo}};

const QString OldName = QStringLiteral("alt.zcf");

// A folder prepared for one save of NewBytes to `target`; it lives as long as the test.
struct Place {
    QString folder;
    QString target;
    QString holder;    // the file whose bytes the save replaces, or keeps when it fails
    QStringList names; // what the folder must hold after the save: nothing is left behind
    std::optional<SmallDisk> disk;
    std::optional<FailingWrites> failing;
    ~Place() {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

// Prepares `setup` in a folder holding the old file OldName with OldBytes; the target is
// `name` in that folder. False when a step failed or the tmpfs could not be mounted.
bool prepare(Place& place, const TestHome& home, Setup setup, const QString& name) {
    const bool root = ::geteuid() == Root;
    const bool noRoom = setup == Setup::NoRoomForAFile || setup == Setup::NoRoomFailingWrite;
    place.folder = home.path("ordner");
    QDir().mkpath(place.folder);
    if (setup == Setup::FullDisk || setup == Setup::LeftOverTemporary)
        place.disk.emplace(place.folder, "size=8k");
    if (noRoom && root)
        place.disk.emplace(place.folder, "size=64k,nr_inodes=16");
    if (place.disk && !place.disk->mounted())
        return false;
    place.holder = place.folder + QLatin1Char('/') + OldName;
    bool ok = SaveFileSafely(place.holder, OldBytes) == TSaveResult::Saved;
    place.target = place.folder + QLatin1Char('/') + name;
    if (setup == Setup::LongestPath) {
        place.target = pathOfLength(place.folder, PATH_MAX - 1, name);
        place.folder = QFileInfo(place.target).path();
        ok = ok && place.target.size() == PATH_MAX - 1;
    }
    if (NonRegularShape.contains(setup))
        ok = ok && !placeFile(NonRegularShape[setup], place.target).isEmpty();
    if (setup == Setup::LinkToOldFile)
        ok = ok && QFile::link(place.holder, place.target);
    if (setup == Setup::SavedBefore || setup == Setup::LongestPath)
        place.holder = place.target;
    if (setup == Setup::SavedBefore || setup == Setup::LongestPath || setup == Setup::LinkToOldFile)
        for (int save = 0; save < 2; ++save)
            ok = ok && SaveFileSafely(place.target, OldBytes) == TSaveResult::Saved;
    if (setup == Setup::FullDisk)
        place.disk->fillUp();
    if (noRoom && root)
        place.disk->useUpFiles();
    else if (noRoom)
        ok = ok && QFile::setPermissions(place.folder, QFile::ReadOwner | QFile::ExeOwner);
    if (setup == Setup::FailingWrite || setup == Setup::NoRoomFailingWrite)
        place.failing.emplace();
    place.names = entries(place.folder);
    if (setup == Setup::LeftOverTemporary)
        place.disk->fillUp(".zuvex-k1lled"); // the name a killed save leaves
    return ok;
}

} // namespace

Q_DECLARE_METATYPE(TSaveResult)
Q_DECLARE_METATYPE(Setup)

class TestSafeSave : public QObject {
    Q_OBJECT
private slots:
    // A save replaces the target whole or leaves it and its folder as they were. A link stays a
    // link; the temporary name beside the target must fit where the target's name or path just
    // fits; a folder that takes no new file has the target written in place.
    void savedWholeOrNotAtAll_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<TSaveResult>("result");
        const QString name = "a.zcf";
        const auto refused = TSaveResult::NotRegular;
        const auto cannot = TSaveResult::CannotCreate;
        QTest::newRow("missing folder") << "fehlt/a.zcf" << Setup::OldFileAlone << cannot;
        QTest::newRow("below a file") << OldName + "/a.zcf" << Setup::OldFileAlone << cannot;
        QTest::newRow("fifo") << name << Setup::Fifo << refused;
        QTest::newRow("link loop") << name << Setup::LinkLoop << refused;
        QTest::newRow("link to fifo") << name << Setup::LinkToFifo << refused;
        QTest::newRow("folder") << name << Setup::Folder << refused;
        const auto failed = TSaveResult::WriteFailed;
        QTest::newRow("full tmpfs") << OldName << Setup::FullDisk << failed;
        QTest::newRow("full tmpfs, a new name") << name << Setup::FullDisk << failed;
        QTest::newRow("failing write") << OldName << Setup::FailingWrite << failed;
        QTest::newRow("failing write, a new name") << name << Setup::FailingWrite << failed;
        const auto saved = TSaveResult::Saved;
        QTest::newRow("link to a file") << "link.zcf" << Setup::LinkToOldFile << saved;
        QTest::newRow("249 characters")
            << QString(245, QLatin1Char('n')) + ".zcf" << Setup::SavedBefore << saved;
        QTest::newRow("255 characters")
            << QString(251, QLatin1Char('n')) + ".zcf" << Setup::SavedBefore << saved;
        QTest::newRow("longest path") << name << Setup::LongestPath << saved;
        QTest::newRow("no room for a file") << OldName << Setup::NoRoomForAFile << saved;
        QTest::newRow("no room for a file, failing write")
            << OldName << Setup::NoRoomFailingWrite << failed;
        QTest::newRow("left-over temporary") << OldName << Setup::LeftOverTemporary << saved;
        // a killed save leaves the folder as a failed one
        QTest::newRow("killed, replacing a file") << OldName << Setup::Killed << failed;
        QTest::newRow("killed, a new file") << name << Setup::Killed << failed;
    }
    void savedWholeOrNotAtAll() {
        QFETCH(QString, name);
        QFETCH(Setup, setup);
        QFETCH(TSaveResult, result);
        TestHome home;
        Place place;
        const bool prepared = prepare(place, home, setup, name);
        if (place.disk)
            SKIP_UNLESS_MOUNTED(*place.disk);
        QVERIFY(prepared);
        const mode_t kind = kindOf(place.target);
        if (setup == Setup::Killed)
            QCOMPARE(inChild([&] {
                         SetSaveWriteCall(
                             [](int, const void*, size_t) -> ssize_t { return ::raise(SIGKILL); });
                         return int(SaveFileSafely(place.target, NewBytes));
                     }),
                     -SIGKILL);
        else
            QCOMPARE(SaveFileSafely(place.target, NewBytes), result);
        QCOMPARE(kindOf(place.target), kind);
        QCOMPARE(fileBytes(place.holder), result == TSaveResult::Saved ? NewBytes : OldBytes);
        QCOMPARE(entries(place.folder), place.names);
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
