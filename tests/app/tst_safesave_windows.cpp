// Saving a file whole or not at all on Windows (SaveFileSafely with ReplaceFileW): a
// write-protected or busy file stays as it was, a saved one holds exactly the new content, and
// no file of the save is left beside it.
#include "app/SafeSave.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <windows.h>

namespace {

const QByteArray OldBytes(200, '\x01'); // longer than the new content: no old byte may stay
const QByteArray NewBytes(60, '\x02');
const QString TargetName = QStringLiteral("Neu.zcf");

// The target before the save.
enum class TTarget {
    Missing,
    Writable,
    ReadOnly, // the read-only attribute, as the Explorer's properties set it
    Busy,     // held open by a program that shares no writes: access is denied
};

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

std::optional<QByteArray> fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

// An open handle on the file that lets others read it but not write it.
struct TBusyFile {
    explicit TBusyFile(const QString& path)
        : handle(::CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~TBusyFile() {
        if (handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle);
    }
    TBusyFile(const TBusyFile&) = delete;
    TBusyFile& operator=(const TBusyFile&) = delete;
    const HANDLE handle;
};

} // namespace

Q_DECLARE_METATYPE(TTarget)
Q_DECLARE_METATYPE(TSaveResult)
Q_DECLARE_METATYPE(std::optional<QByteArray>)

class TestSafeSaveWindows : public QObject {
    Q_OBJECT

private slots:
    void savesWholeOrLeavesTheFile_data() {
        QTest::addColumn<TTarget>("target");
        QTest::addColumn<TSaveResult>("result");
        QTest::addColumn<std::optional<QByteArray>>("after");
        using enum TSaveResult;
        QTest::newRow("a new file") << TTarget::Missing << Saved << std::optional(NewBytes);
        QTest::newRow("replaced whole") << TTarget::Writable << Saved << std::optional(NewBytes);
        QTest::newRow("read-only is refused")
            << TTarget::ReadOnly << CannotCreate << std::optional(OldBytes);
        QTest::newRow("denied access is refused")
            << TTarget::Busy << CannotCreate << std::optional(OldBytes);
    }
    void savesWholeOrLeavesTheFile() {
        QFETCH(TTarget, target);
        QFETCH(TSaveResult, result);
        QFETCH(std::optional<QByteArray>, after);
        QTemporaryDir folder;
        const QString path = QDir::toNativeSeparators(folder.filePath(TargetName));
        if (target != TTarget::Missing)
            QVERIFY(writeBytes(path, OldBytes));
        if (target == TTarget::ReadOnly)
            QVERIFY(::SetFileAttributesW(wide(path), FILE_ATTRIBUTE_READONLY));
        std::optional<TBusyFile> busy;
        if (target == TTarget::Busy)
            QVERIFY(busy.emplace(path).handle != INVALID_HANDLE_VALUE);

        QCOMPARE(SaveFileSafely(path, NewBytes), result);
        busy.reset();
        QCOMPARE(fileBytes(path), after);
        QCOMPARE(entries(folder.path()), QStringList{TargetName}); // nothing of the save is left
        ::SetFileAttributesW(wide(path), FILE_ATTRIBUTE_NORMAL);   // so the folder can go
    }

    // A path longer than MAX_PATH (260) characters is saved like any other.
    void savesBeyondMaxPath() {
        QTemporaryDir folder;
        QString deep = folder.path();
        while (deep.size() <= MAX_PATH)
            deep += QStringLiteral("/Konfigurationen der Telefonanlage");
        QVERIFY(QDir().mkpath(deep));
        const QString path = QDir::toNativeSeparators(deep + QLatin1Char('/') + TargetName);
        QVERIFY(writeBytes(path, OldBytes));

        QCOMPARE(SaveFileSafely(path, NewBytes), TSaveResult::Saved);
        QCOMPARE(fileBytes(path), std::optional(NewBytes));
        QCOMPARE(entries(deep), QStringList{TargetName});
    }
};

QTEST_GUILESS_MAIN(TestSafeSaveWindows)
#include "tst_safesave_windows.moc"
