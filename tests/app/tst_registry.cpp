// The settings store file on its own, and saving a file whole or not at all (SaveFileSafely).
#include "ChildProcess.h"
#include "FailingWrites.h"
#include "FileFaults.h"
#include "RegistryExport.h"
#include "TestHome.h"
#include "Unprivileged.h"
#include "app/RegistryFile.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTest>
#include <climits>
#include <csignal>
#include <sys/xattr.h>

namespace {

const QByteArray OldBytes(60, '\x01');
const QByteArray NewBytes(60, '\x02');

constexpr gid_t UsersGroup = 100; // Debian's group "users", shared by the people of a machine
constexpr uid_t OtherUser = 1;    // Debian's "daemon": someone a file's access list lets in

mode_t kindOf(const QString& path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path), &st);
    return st.st_mode & S_IFMT;
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Where a save in a child process is killed.
enum class KilledAt {
    FirstWrite,
    Rename // its new file has a name and is about to take the target's place
};

// Saves NewBytes to `target` in a child process killed at `step`; minus the signal, or the result.
int savedUntilKilled(const QString& target, KilledAt step) {
    return inChild([&] {
        if (step == KilledAt::FirstWrite)
            SetSaveWriteCall([](int, const void*, size_t) -> ssize_t { return ::raise(SIGKILL); });
        else
            SetSaveRenameCall([](int, const char*, int, const char*) { return ::raise(SIGKILL); });
        return int(SaveFileSafely(target, NewBytes));
    });
}

// The one name that `folder` holds beyond `before`; empty if not exactly one.
QString newEntry(const QString& folder, const QStringList& before) {
    QStringList added = entries(folder);
    added.removeIf([&](const QString& name) { return before.contains(name); });
    return added.size() == 1 ? added.first() : QString();
}

// A folder `name` of "nobody", who may pass through the home to reach it.
QString nobodysFolder(const TestHome& home, const QString& name) {
    const QString folder = home.path(name);
    QDir().mkpath(folder);
    const bool ok = ::chmod(QFile::encodeName(home.root()), 0701) == 0 &&
                    ::chown(QFile::encodeName(folder), Nobody, NoGroup) == 0;
    return ok ? folder : QString();
}

// A path of exactly `length` characters below `base`, ending in `fileName`, its folders made.
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
    LeftOverTemporary,  // a killed save's temporary file takes the last free page
    Killed              // the save process dies in its first write
};

const QMap<Setup, FileShape> NonRegularShape{{Setup::Fifo, FileShape::Fifo},
                                             {Setup::Folder, FileShape::Folder},
                                             {Setup::LinkLoop, FileShape::LinkLoop},
                                             {Setup::LinkToFifo, FileShape::LinkToFifo}};

const QString OldName = "alt.zcf";

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

// Prepares `setup` beside OldName holding OldBytes; false when a step or the tmpfs failed.
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
        ok = ok && savedUntilKilled(place.holder, KilledAt::Rename) == -SIGKILL;
    return ok;
}

} // namespace

using enum TRegistryExport;

// How the store stands when its key is opened.
enum class Store { Missing, WithoutKey, NotReadable, NoRegularFile };
Q_DECLARE_METATYPE(Store)
Q_DECLARE_METATYPE(TSaveResult)
Q_DECLARE_METATYPE(Setup)

// The extended attributes of a file and its folder.
enum class Attributes {
    None,
    AccessList,        // the file's access list lets another user write it; a user.* attribute
    FolderDefaultList, // the folder's default access list would let another user write its files
    SetOnlyByRoot      // a security.* attribute, which its user may read but not set
};
Q_DECLARE_METATYPE(Attributes)

// What stands beside a file before it is saved.
enum class Beside {
    UserFile,           // the user's ".zuvex-backup"
    OtherFilesLeftOver, // what a killed save of another file left
    CopiedLeftOver,     // what a killed save of this file left, copied over by the user
    OwnLeftOver         // what a killed save of this file left
};
Q_DECLARE_METATYPE(Beside)

class TestRegistry : public QObject {
    Q_OBJECT
    const QString key = QString::fromLatin1(TRegistryFile::ProgramKey);
    std::optional<TestHome> home;

    // The settings file with its program key opened; not opening is a failure of the test.
    TRegistryFile opened() const {
        TRegistryFile reg(home->registryPath());
        QTest::qVerify(reg.OpenKey(key), "reg.OpenKey(key)", "", __FILE__, __LINE__);
        return reg;
    }

private slots:
    void init() { home.emplace(); }
    void cleanup() { home.reset(); }

    // Opening never creates the store; a file without the key or not readable counts as missing.
    void keyNotOpened_data() {
        QTest::addColumn<Store>("store");
        QTest::addColumn<FileShape>("shape"); // of a store that is no regular file
        QTest::newRow("missing file") << Store::Missing << FileShape::Missing;
        QTest::newRow("file without the key") << Store::WithoutKey << FileShape::Regular;
        QTest::newRow("no permission") << Store::NotReadable << FileShape::Regular;
        QTest::newRow("fifo") << Store::NoRegularFile << FileShape::Fifo;
        QTest::newRow("folder") << Store::NoRegularFile << FileShape::Folder;
        QTest::newRow("link to /dev/zero") << Store::NoRegularFile << FileShape::LinkToDevZero;
    }
    void keyNotOpened() {
        QFETCH(Store, store);
        QFETCH(FileShape, shape);
        const QString path = home->registryPath();
        QCOMPARE(::chmod(QFile::encodeName(home->root()), 0701), 0); // "nobody" may pass through
        if (store == Store::WithoutKey)
            home->writeRegistry(QString(), false);
        if (store == Store::NotReadable) {
            home->writeRegistry("\"COM\"=dword:00000002\r\n");
            QFile::setPermissions(path, QFile::WriteOwner);
        }
        if (store == Store::NoRegularFile)
            QVERIFY(!placeFile(shape, path).isEmpty());
        const QFileInfo before(path);
        {
            ActingAsNobody user; // root reads every file
            TRegistryFile reg(path);
            QVERIFY(!reg.OpenKey(key));
        }
        const QFileInfo after(path);
        QCOMPARE(after.exists(), before.exists());
        QCOMPARE(after.isSymLink(), before.isSymLink());
        QCOMPARE(after.isFile(), before.isFile());
        QCOMPARE(after.lastModified(), before.lastModified());
    }

    // XDG_CONFIG_HOME counts only as an absolute path; otherwise the file is under ~/.config.
    void userFileUnderConfigHome_data() {
        QTest::addColumn<QByteArray>("configHome");
        QTest::addColumn<bool>("used");
        QTest::newRow("absolute") << QByteArray("/srv/einstellungen") << true;
        QTest::newRow("relative") << QByteArray("einstellungen") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void userFileUnderConfigHome() {
        QFETCH(QByteArray, configHome);
        QFETCH(bool, used);
        const QByteArray previousHome = qgetenv("HOME");
        qputenv("HOME", home->root().toUtf8());
        qputenv("XDG_CONFIG_HOME", configHome);
        const QString path = TRegistryFile::defaultPath();
        qputenv("HOME", previousHome);
        QCOMPARE(path, (used ? QString::fromUtf8(configHome) : home->path(".config")) +
                           "/zuvex910k/registry.reg");
    }

    // Values as the file holds them; a value of another type than asked for throws.
    void readsValues_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("value"); // a QString or a uint; none: the read throws
        QTest::newRow("key in other case")
            << QByteArray(
                   "Windows Registry Editor Version 5.00\r\n\r\n[hkey_local_machine\\SOFTWARE"
                   "\\orvell\\ZUVEX 910K]\r\n\"COM\"=dword:00000002\r\n")
            << "com" << QVariant(2u);
        const QByteArray values = registryExport(
            Utf8, "\"WorkDir\"=\"/a \\\"b\\\"\\\\c/\"\r\n\"COM\"=dword:0001000a\r\n");
        QTest::newRow("escaped string") << values << "WorkDir" << QVariant("/a \"b\"\\c/");
        QTest::newRow("integer of 32 bits") << values << "COM" << QVariant(0x1000au);
        QTest::newRow("UTF-16 export")
            << registryExport(Utf16, "\"File1\"=\"/home/jörg/a.zcf\"\r\n") << "File1"
            << QVariant("/home/jörg/a.zcf");
        const QByteArray wrong = registryExport(
            Utf8, "\"COM\"=\"3\"\r\n\"WorkDir\"=dword:00000001\r\n\"File1\"=hex:41,00\r\n");
        QTest::newRow("integer held as string") << wrong << "COM" << QVariant();
        QTest::newRow("string held as dword") << wrong << "WorkDir" << QVariant();
        QTest::newRow("string held as hex") << wrong << "File1" << QVariant();
    }
    void readsValues() {
        QFETCH(QByteArray, file);
        QFETCH(QString, name);
        QFETCH(QVariant, value);
        home->writeFile("zuvex910k/registry.reg", file);
        TRegistryFile reg = opened();
        QVERIFY(!reg.ValueExists("File4"));
        const bool integer = name.compare("COM", Qt::CaseInsensitive) == 0;
        const auto read = [&] {
            return integer ? QVariant(reg.ReadInteger(name)) : QVariant(reg.ReadString(name));
        };
        if (value.isValid())
            QCOMPARE(read(), value);
        else
            QVERIFY_THROWS_EXCEPTION(ERegistryError, read());
    }

    void damagedFileThrows_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no header")
            << QByteArray("[HKEY_LOCAL_MACHINE\\software\\Orvell\\Zuvex 910k]\r\n");
        QTest::newRow("open section")
            << QByteArray("Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\r\n");
        QTest::newRow("garbage line") << QByteArray(
            "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\software\\Orvell\\Zuvex "
            "910k]\r\nCOM=3\r\n");
    }
    void damagedFileThrows() {
        QFETCH(QByteArray, content);
        QVERIFY(!home->writeFile("zuvex910k/registry.reg", content).isEmpty());
        TRegistryFile reg(home->registryPath());
        QVERIFY_THROWS_EXCEPTION(ERegistryError, reg.OpenKey(key));
    }

    // Lines the program does not write stay byte for byte (no UTF-8, bare line feeds, hex data).
    void writingKeepsWhatItDoesNotOwn() {
        const QByteArray other =
            "[HKEY_CURRENT_USER\\Other]\n\"X\"=\"1\"\n\"Keep\"=\"\xc3\x28\"\n\n";
        const QByteArray ours = "[HKEY_LOCAL_MACHINE\\software\\Orvell\\Zuvex 910k]\r\n"
                                "\"Extra\"=hex:01,02,\\\r\n  03\r\n";
        const QByteArray later = "\r\n[HKEY_CURRENT_USER\\Later]\r\n\"Y\"=dword:00000005\r\n";
        const QByteArray header = "Windows Registry Editor Version 5.00\r\n\r\n";
        QVERIFY(!home->writeFile("zuvex910k/registry.reg",
                                 header + other + ours + "\"COM\"=dword:00000001\r\n" + later)
                     .isEmpty());
        TRegistryFile reg = opened();
        reg.WriteInteger("COM", 3);
        reg.WriteString("WorkDir", "/x/"); // a new value goes into the program's own section
        reg.CloseKey();
        QCOMPARE(fileBytes(home->registryPath()), header + other + ours +
                                                      "\"COM\"=dword:00000003\r\n" +
                                                      "\"WorkDir\"=\"/x/\"\r\n" + later);
        TRegistryFile again = opened();
        QCOMPARE(again.ReadString("WorkDir"), "/x/");
    }

    // REGEDIT4 turns UTF-16 when a value needs it; every hex value, of any key, still reads.
    void switchToUtf16KeepsEveryValue_data() {
        QTest::addColumn<QStringList>("order");
        QStringList names{"File1", "File2", "File3", "WorkDir"};
        do
            QTest::newRow(qPrintable(names.join(", "))) << names;
        while (std::next_permutation(names.begin(), names.end()));
    }
    void switchToUtf16KeepsEveryValue() {
        QFETCH(QStringList, order);
        const QMap<QString, QString> values{{"File1", "A\nB"},
                                            {"File2", "Łódź"},
                                            {"File3", "Grüße\n"},
                                            {"WorkDir", "/home/Müller/"}};
        const QString otherKey = "HKEY_CURRENT_USER\\Other";
        home->writeFile("zuvex910k/registry.reg", registryExport(Regedit4) + "\r\n[" +
                                                      otherKey.toLatin1() +
                                                      "]\r\n\"Carried\"=hex(1):41,42,0a,00\r\n");
        TRegistryFile reg = opened();
        for (const QString& name : order)
            reg.WriteString(name, values[name]);
        reg.CloseKey();
        TRegistryFile again = opened();
        for (const QString& name : order)
            QCOMPARE(again.ReadString(name), values[name]);
        QVERIFY(again.OpenKey(otherKey));
        QCOMPARE(again.ReadString("Carried"), "AB\n");
    }

    // Read, write, read gives the same value in every kind of file, whatever the string holds.
    void stringsRoundTrip_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("line break") << "/home/a\nb/";
        QTest::newRow("CR LF and tab") << "x\r\n\ty";
        QTest::newRow("zero and DEL") << QString::fromUtf16(u"a\u0000b\u007f");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + "z";
        QTest::newRow("lone surrogate at the end") << QString(QChar(0xDB04));
        QTest::newRow("umlaut") << "/home/Müller/ß.zcf";
        QTest::newRow("outside Windows-1252") << "Łódź €";
        QTest::newRow("quotes and backslashes") << "\"a\\\"b\\";
        QTest::newRow("looks like hex") << "=hex(1):00,\\";
        QTest::newRow("empty") << QString();
    }
    void stringsRoundTrip() {
        QFETCH(QString, value);
        for (const TRegistryExport kind : {Utf8, Utf16, Regedit4}) {
            home->writeFile("zuvex910k/registry.reg", registryExport(kind));
            TRegistryFile reg = opened();
            reg.WriteString("WorkDir", value);
            reg.CloseKey();
            TRegistryFile again = opened();
            QCOMPARE(again.ReadString("WorkDir"), value);
            again.WriteInteger("COM", 1); // the line written before is kept as it stands
            again.CloseKey();
            TRegistryFile third = opened();
            QCOMPARE(third.ReadString("WorkDir"), value);
            const QByteArray raw = fileBytes(home->registryPath());
            QCOMPARE(raw.count('\n'), 5); // header, blank line, key, two values: no raw line break
            if (kind == Utf16)
                QVERIFY(raw.startsWith("\xFF\xFE"));
        }
    }

    // A REGEDIT4 file is Windows-1252, even where its bytes happen to be valid UTF-8.
    void regedit4IsWindows1252_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("umlaut") << "Müller.zcf";
        QTest::newRow("bytes valid as UTF-8") << "×·";
    }
    void regedit4IsWindows1252() {
        QFETCH(QString, value);
        home->writeFile("zuvex910k/registry.reg",
                        registryExport(Regedit4, "\"File1\"=\"" + value + "\"\r\n"));
        TRegistryFile reg = opened();
        QCOMPARE(reg.ReadString("File1"), value);
        reg.WriteString("File2", "Jörg");
        reg.CloseKey();
        const QByteArray raw = fileBytes(home->registryPath());
        QVERIFY(raw.startsWith("REGEDIT4\r\n"));
        QVERIFY(raw.contains("\"File1\"=\"" + value.toLatin1() + "\"\r\n\"File2\"=\"J\xf6rg\""));
    }

    // Replaced whole, or target and folder stay as they were; no room for a file: written in place.
    // The temporary name beside the target must fit where the target's name or path just fits.
    void savedWholeOrNotAtAll_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<TSaveResult>("result");
        const QString name = "a.zcf";
        using enum TSaveResult;
        QTest::newRow("missing folder") << "fehlt/a.zcf" << Setup::OldFileAlone << CannotCreate;
        QTest::newRow("below a file") << OldName + "/a.zcf" << Setup::OldFileAlone << CannotCreate;
        QTest::newRow("fifo") << name << Setup::Fifo << NotRegular;
        QTest::newRow("link loop") << name << Setup::LinkLoop << NotRegular;
        QTest::newRow("link to fifo") << name << Setup::LinkToFifo << NotRegular;
        QTest::newRow("folder") << name << Setup::Folder << NotRegular;
        QTest::newRow("full tmpfs") << OldName << Setup::FullDisk << WriteFailed;
        QTest::newRow("full tmpfs, a new name") << name << Setup::FullDisk << WriteFailed;
        QTest::newRow("failing write") << OldName << Setup::FailingWrite << WriteFailed;
        QTest::newRow("failing write, a new name") << name << Setup::FailingWrite << WriteFailed;
        QTest::newRow("link to a file") << "link.zcf" << Setup::LinkToOldFile << Saved;
        QTest::newRow("249 characters")
            << QString(245, QLatin1Char('n')) + ".zcf" << Setup::SavedBefore << Saved;
        QTest::newRow("255 characters")
            << QString(251, QLatin1Char('n')) + ".zcf" << Setup::SavedBefore << Saved;
        QTest::newRow("longest path") << name << Setup::LongestPath << Saved;
        QTest::newRow("no room for a file") << OldName << Setup::NoRoomForAFile << Saved;
        QTest::newRow("no room for a file, failing write")
            << OldName << Setup::NoRoomFailingWrite << WriteFailed;
        QTest::newRow("left-over temporary") << OldName << Setup::LeftOverTemporary << Saved;
        // a killed save leaves the folder as a failed one
        QTest::newRow("killed, replacing a file") << OldName << Setup::Killed << WriteFailed;
        QTest::newRow("killed, a new file") << name << Setup::Killed << WriteFailed;
    }
    void savedWholeOrNotAtAll() {
        QFETCH(QString, name);
        QFETCH(Setup, setup);
        QFETCH(TSaveResult, result);
        Place place;
        const bool prepared = prepare(place, *home, setup, name);
        if (place.disk)
            SKIP_UNLESS_MOUNTED(*place.disk);
        QVERIFY(prepared);
        const mode_t kind = kindOf(place.target);
        if (setup == Setup::Killed)
            QCOMPARE(savedUntilKilled(place.target, KilledAt::FirstWrite), -SIGKILL);
        else
            QCOMPARE(SaveFileSafely(place.target, NewBytes), result);
        QCOMPARE(kindOf(place.target), kind);
        QCOMPARE(fileBytes(place.holder), result == TSaveResult::Saved ? NewBytes : OldBytes);
        QCOMPARE(entries(place.folder), place.names);
    }

    // Saved by a user into a shared folder: owner, group, mode, extended attributes (the access
    // list) and every name kept, or refused.
    void savedFileKeepsWhatItWas_data() {
        QTest::addColumn<uint>("owner");
        QTest::addColumn<uint>("group");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("secondName");
        QTest::addColumn<Attributes>("attributes");
        QTest::addColumn<bool>("saved");
        using enum Attributes;
        QTest::newRow("own file") << Nobody << UsersGroup << 0640 << false << None << true;
        QTest::newRow("write-protected") << Nobody << NoGroup << 0444 << false << None << false;
        QTest::newRow("another's, writable for all")
            << Root << Root << 0666 << false << None << true;
        QTest::newRow("another's, writable for the group")
            << Root << UsersGroup << 0664 << false << None << true;
        QTest::newRow("another's, not writable") << Root << Root << 0644 << false << None << false;
        QTest::newRow("with a second name") << Nobody << NoGroup << 0644 << true << None << true;
        QTest::newRow("own file with an access list")
            << Nobody << UsersGroup << 0640 << false << AccessList << true;
        QTest::newRow("own file, the folder's default access list")
            << Nobody << UsersGroup << 0640 << false << FolderDefaultList << true;
        QTest::newRow("own file with an attribute set by root") // written in place
            << Nobody << UsersGroup << 0640 << false << SetOnlyByRoot << true;
    }
    void savedFileKeepsWhatItWas() {
        QFETCH(uint, owner);
        QFETCH(uint, group);
        QFETCH(int, mode);
        QFETCH(bool, secondName);
        QFETCH(Attributes, attributes);
        QFETCH(bool, saved);
        if (::geteuid() != Root)
            QSKIP("only root can give the file to another user");
        QCOMPARE(::chmod(QFile::encodeName(home->root()), 0701), 0); // "nobody" may pass through
        QDir().mkpath(home->path("shared"));
        QFile::setPermissions(home->path("shared"), QFileDevice::Permissions(0x7777));
        const QString target = home->writeFile("shared/anlage.zcf", OldBytes);
        const QString other = home->path("shared/zweitname.zcf");
        if (secondName)
            QCOMPARE(::link(QFile::encodeName(target), QFile::encodeName(other)), 0);
        QCOMPARE(::chown(QFile::encodeName(target), owner, group), 0);
        QCOMPARE(::chmod(QFile::encodeName(target), mode_t(mode)), 0);
        const QByteArray file = QFile::encodeName(target);
        const QByteArray customer = "Müller";
        if (attributes == Attributes::AccessList) {
            QVERIFY(grantAccess(target, OtherUser));
            QCOMPARE(::setxattr(file, "user.kunde", customer, size_t(customer.size()), 0), 0);
        }
        if (attributes == Attributes::FolderDefaultList)
            QVERIFY(grantAccess(home->path("shared"), OtherUser, true));
        if (attributes == Attributes::SetOnlyByRoot)
            QCOMPARE(::setxattr(file, "security.kunde", customer, size_t(customer.size()), 0), 0);
        const QMap<QByteArray, QByteArray> kept = extendedAttributes(target);
        struct stat before {};
        QCOMPARE(::stat(QFile::encodeName(target), &before), 0);
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
        QCOMPARE(st.st_mode, before.st_mode); // with an access list the group bits are its mask
        QCOMPARE(extendedAttributes(target), kept);
    }

    // A save killed after its new file got a name, before it took the target's place, leaves that
    // file named after the target; the target keeps its old content.
    void killBeforeRenameLeavesOneTemporaryOfTheTarget() {
        const QString folder = nobodysFolder(*home, "ordner");
        const QString target = folder + "/a.zcf";
        ActingAsNobody user;
        QVERIFY(user.unprivileged());
        QCOMPARE(SaveFileSafely(target, OldBytes), TSaveResult::Saved);
        QCOMPARE(savedUntilKilled(target, KilledAt::Rename), -SIGKILL);
        QCOMPARE(fileBytes(target), OldBytes);
        const QString left = newEntry(folder, {"a.zcf"});
        QVERIFY2(left.startsWith(".a.zcf.zuvex-"), qPrintable(left));
        QCOMPARE(fileBytes(folder + '/' + left), NewBytes);
    }

    // The next save of a file removes what a killed save of it left, and nothing else.
    void cleanUpRemovesOnlyOwnLeftOver_data() {
        QTest::addColumn<Beside>("beside");
        QTest::addColumn<bool>("removed");
        QTest::newRow("the user's .zuvex-backup") << Beside::UserFile << false;
        QTest::newRow("another file's left-over") << Beside::OtherFilesLeftOver << false;
        QTest::newRow("a left-over copied by the user") << Beside::CopiedLeftOver << false;
        QTest::newRow("its own left-over") << Beside::OwnLeftOver << true;
    }
    void cleanUpRemovesOnlyOwnLeftOver() {
        QFETCH(Beside, beside);
        QFETCH(bool, removed);
        const QString folder = nobodysFolder(*home, "ordner");
        const QString target = folder + "/a.zcf";
        ActingAsNobody user;
        QVERIFY(user.unprivileged());
        QCOMPARE(SaveFileSafely(target, OldBytes), TSaveResult::Saved);
        if (beside == Beside::UserFile)
            QVERIFY(!home->writeFile("ordner/.zuvex-backup", "x\n").isEmpty());
        if (beside == Beside::OtherFilesLeftOver)
            QCOMPARE(savedUntilKilled(folder + "/b.zcf", KilledAt::Rename), -SIGKILL);
        if (beside == Beside::OwnLeftOver || beside == Beside::CopiedLeftOver)
            QCOMPARE(savedUntilKilled(target, KilledAt::Rename), -SIGKILL);
        const QString placed = folder + '/' + newEntry(folder, {"a.zcf"});
        if (beside == Beside::CopiedLeftOver) {
            QVERIFY(QFile::copy(placed, placed + "~"));
            QCOMPARE(::rename(QFile::encodeName(placed + "~"), QFile::encodeName(placed)), 0);
        }
        QCOMPARE(SaveFileSafely(target, NewBytes), TSaveResult::Saved);
        QCOMPARE(QFileInfo::exists(placed), !removed);
        QCOMPARE(entries(folder).size(), removed ? 1 : 2);
    }

    // Two programs saving one file: every save succeeds, one content whole, no temporary left.
    void concurrentSavesShareNoTemporary() {
        constexpr int Saves = 200;
        const QString folder = home->path("shared");
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

QTEST_MAIN(TestRegistry)
#include "tst_registry.moc"
