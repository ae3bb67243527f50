// Replacing a file's content: what a crash, a left-over temporary file, a long path and a
// second program saving at the same time do to it.
#include "ChildProcess.h"
#include "FileFaults.h"
#include "TestHome.h"
#include "app/SafeSave.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <climits>
#include <csignal>
#include <unistd.h>

namespace {

const QByteArray OldBytes(60, '\x01');
const QByteArray NewBytes(60, '\x02');

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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

class TestSafeSave : public QObject {
    Q_OBJECT
private slots:
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
        QCOMPARE(readAll(target), existing ? OldBytes : QByteArray());
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
        QCOMPARE(readAll(folder + "/a.zcf"), NewBytes);
    }

    // A target whose path just fits the kernel's limit is created and replaced.
    void longestPathIsSaved() {
        TestHome home;
        const QString target = pathOfLength(home.root(), PATH_MAX - 1, "a.zcf");
        QCOMPARE(target.size(), PATH_MAX - 1);
        QCOMPARE(SaveFileSafely(target, OldBytes), TSaveResult::Saved);
        QCOMPARE(SaveFileSafely(target, NewBytes), TSaveResult::Saved);
        QCOMPARE(readAll(target), NewBytes);
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
        QVERIFY(readAll(target) == OldBytes || readAll(target) == NewBytes);
        QCOMPARE(entries(folder), QStringList{"a.zcf"});
    }
};

QTEST_GUILESS_MAIN(TestSafeSave)
#include "tst_safesave.moc"
