// The settings key in the Windows registry: read from the user's key, else the machine's;
// written at close to the user's key only; never created where neither exists. Runs in a Wine
// prefix of its own (or on Windows) under a key of its own, so no real settings are touched.
#include "app/RegistryKeyWin32.h"

#include <QMap>
#include <QProcess>
#include <QTest>
#include <QVariant>
#include <optional>
#include <windows.h>

namespace {

const QString TestSubKey = QStringLiteral("Software\\Orvell\\Zuvex 910k Test");

// A key's values: a QString is a REG_SZ value, a quint32 a REG_DWORD value.
using TValues = QMap<QString, QVariant>;
using TKeyState = std::optional<TValues>; // std::nullopt: there is no key

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

QVariant dword(quint32 value) {
    return QVariant::fromValue(value);
}

TValues settings(const QString& workDir, quint32 com) {
    return {{QStringLiteral("WorkDir"), workDir}, {QStringLiteral("COM"), dword(com)}};
}

void removeKey(HKEY hive) {
    ::RegDeleteTreeW(hive, wide(TestSubKey));
    ::RegDeleteKeyW(hive, wide(TestSubKey));
}

// Makes the key under `hive` hold exactly `state`.
bool putKey(HKEY hive, const TKeyState& state) {
    removeKey(hive);
    if (!state)
        return true;
    HKEY key = nullptr;
    if (::RegCreateKeyExW(hive, wide(TestSubKey), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = true;
    for (auto it = state->begin(); it != state->end(); ++it) {
        if (it->typeId() == QMetaType::QString) {
            const QString text = it->toString();
            ok =
                ok && ::RegSetValueExW(key, wide(it.key()), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(text.utf16()),
                                       DWORD((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
        } else {
            const DWORD number = it->value<quint32>();
            ok = ok && ::RegSetValueExW(key, wide(it.key()), 0, REG_DWORD,
                                        reinterpret_cast<const BYTE*>(&number),
                                        sizeof number) == ERROR_SUCCESS;
        }
    }
    ::RegCloseKey(key);
    return ok;
}

// What the key under `hive` holds, read with the registry's own calls.
TKeyState keyState(HKEY hive) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(hive, wide(TestSubKey), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    TValues values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = std::size(name);
        BYTE data[1024];
        DWORD size = sizeof data;
        DWORD type = 0;
        if (::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) !=
            ERROR_SUCCESS)
            break;
        const QString valueName = QString::fromWCharArray(name, nameLength);
        if (type == REG_SZ)
            values[valueName] = QString::fromWCharArray(reinterpret_cast<const wchar_t*>(data),
                                                        size / sizeof(wchar_t) - 1);
        else if (type == REG_DWORD)
            values[valueName] = dword(*reinterpret_cast<const DWORD*>(data));
        else
            values[valueName] = QByteArray(reinterpret_cast<const char*>(data), size);
    }
    ::RegCloseKey(key);
    return values;
}

// What a SaveSettings at close writes: the values of the window's fields.
const QString ClosingWorkDir = QStringLiteral("C:\\Konfigurationen\\Büro\\");
constexpr quint32 ClosingCom = 3;

// `reg query` of the test key, as name -> (type, data); Wine's reg.exe runs inside the prefix.
QMap<QString, QPair<QString, QString>> regQuery(HKEY hive) {
    const QString root =
        hive == HKEY_CURRENT_USER ? QStringLiteral("HKCU\\") : QStringLiteral("HKLM\\");
    QProcess reg;
    reg.start(QStringLiteral("reg.exe"), {QStringLiteral("query"), root + TestSubKey});
    QMap<QString, QPair<QString, QString>> values;
    if (!reg.waitForFinished() || reg.exitCode() != 0)
        return values;
    // "    NAME    TYPE    DATA" under the key's name
    for (const QString& line : QString::fromLocal8Bit(reg.readAllStandardOutput()).split('\n')) {
        const QStringList parts = line.trimmed().split(QStringLiteral("    "));
        if (parts.size() == 3)
            values[parts[0]] = {parts[1], parts[2]};
    }
    return values;
}

} // namespace

Q_DECLARE_METATYPE(TKeyState)

// A key's state in a failed comparison (found by QCOMPARE through its argument's namespace).
char* toString(const TKeyState& state) {
    if (!state)
        return qstrdup("no key");
    QStringList values;
    for (auto it = state->begin(); it != state->end(); ++it)
        values << it.key() + QLatin1Char('=') + it->toString();
    return qstrdup(values.join(QStringLiteral(", ")).toUtf8().constData());
}

class TestRegistryWindows : public QObject {
    Q_OBJECT

    // The key states of the tables: only the user's key, only the machine's, both, neither.
    static void addKeyStates() {
        QTest::addColumn<TKeyState>("user");
        QTest::addColumn<TKeyState>("machine");
    }
    // Makes the keys what the row's columns of addKeyStates say.
    static bool putRowKeys() {
        QFETCH(TKeyState, user);
        QFETCH(TKeyState, machine);
        return putKey(HKEY_CURRENT_USER, user) && putKey(HKEY_LOCAL_MACHINE, machine);
    }

private slots:
    void init() {
        removeKey(HKEY_CURRENT_USER);
        removeKey(HKEY_LOCAL_MACHINE);
    }
    void cleanup() { init(); }

    void readsTheUserKeyElseTheMachineKey_data() {
        addKeyStates();
        QTest::addColumn<TKeyState>("read"); // what the key opened shows; nullopt: it does not
        const TValues user = settings(QStringLiteral("C:\\Benutzer\\Übersicht\\"), 2);
        const TValues machine = settings(QStringLiteral("C:\\Programme\\Zuvex\\"), 1);
        QTest::newRow("only the user's") << TKeyState(user) << TKeyState() << TKeyState(user);
        QTest::newRow("only the machine's")
            << TKeyState() << TKeyState(machine) << TKeyState(machine);
        QTest::newRow("both: the user's")
            << TKeyState(user) << TKeyState(machine) << TKeyState(user);
        QTest::newRow("neither") << TKeyState() << TKeyState() << TKeyState();
    }
    void readsTheUserKeyElseTheMachineKey() {
        QFETCH(TKeyState, read);
        QVERIFY(putRowKeys());

        TRegistryKeyWin32 key(TestSubKey);
        QCOMPARE(key.OpenKey(), read.has_value());
        if (!read)
            return;
        QCOMPARE(key.ReadString(QStringLiteral("WorkDir")), read->value("WorkDir").toString());
        QCOMPARE(key.ReadInteger(QStringLiteral("COM")), read->value("COM").value<quint32>());
        QVERIFY(!key.ValueExists(QStringLiteral("File1")));
    }

    void valueOfAnotherTypeFails_data() {
        QTest::addColumn<TValues>("stored");
        QTest::addColumn<QString>("failure");
        QTest::newRow("COM as a string") << TValues{{QStringLiteral("COM"), QStringLiteral("3")}}
                                         << QStringLiteral("Ungültiger Datentyp für 'COM'");
        QTest::newRow("WorkDir as a number") << TValues{{QStringLiteral("WorkDir"), dword(3)}}
                                             << QStringLiteral("Ungültiger Datentyp für 'WorkDir'");
    }
    void valueOfAnotherTypeFails() {
        QFETCH(TValues, stored);
        QFETCH(QString, failure);
        QVERIFY(putKey(HKEY_CURRENT_USER, stored));

        TRegistryKeyWin32 key(TestSubKey);
        QVERIFY(key.OpenKey());
        const QString name = stored.firstKey();
        QVERIFY(key.ValueExists(name));
        try {
            if (name == QLatin1String("COM"))
                key.ReadInteger(name);
            else
                key.ReadString(name);
            QFAIL("the value was read");
        } catch (const ERegistryError& e) {
            QCOMPARE(e.text(), failure);
        }
    }

    void closeWritesToTheUserKeyOnly_data() {
        addKeyStates();
        QTest::addColumn<TKeyState>("userAfter");
        QTest::addColumn<TKeyState>("machineAfter");
        const TValues user = settings(QStringLiteral("C:\\Benutzer\\"), 2);
        TValues machine = settings(QStringLiteral("C:\\Programme\\Zuvex\\"), 1);
        machine[QStringLiteral("File1")] = QStringLiteral("C:\\Programme\\Zuvex\\Muster.zcf");
        const TValues closing = settings(ClosingWorkDir, ClosingCom);
        TValues fromMachine = machine; // the user's key starts as a copy of the machine's
        fromMachine.insert(closing);
        const TValues wrongType{{QStringLiteral("COM"), QStringLiteral("2")}};

        QTest::newRow("only the user's")
            << TKeyState(user) << TKeyState() << TKeyState(closing) << TKeyState();
        QTest::newRow("only the machine's: the user's is made from it")
            << TKeyState() << TKeyState(machine) << TKeyState(fromMachine) << TKeyState(machine);
        QTest::newRow("both") << TKeyState(user) << TKeyState(machine) << TKeyState(closing)
                              << TKeyState(machine);
        QTest::newRow("neither: no key is made")
            << TKeyState() << TKeyState() << TKeyState() << TKeyState();
        QTest::newRow("a value of another type is replaced")
            << TKeyState(wrongType) << TKeyState() << TKeyState(closing) << TKeyState();
    }
    void closeWritesToTheUserKeyOnly() {
        QFETCH(TKeyState, userAfter);
        QFETCH(TKeyState, machineAfter);
        QVERIFY(putRowKeys());

        TRegistryKeyWin32 key(TestSubKey);
        if (key.OpenKey()) { // as SaveSettings does: nothing is written to a key that is missing
            key.WriteString(QStringLiteral("WorkDir"), ClosingWorkDir);
            key.WriteInteger(QStringLiteral("COM"), ClosingCom);
        }
        key.CloseKey();
        QCOMPARE(keyState(HKEY_CURRENT_USER), userAfter);
        QCOMPARE(keyState(HKEY_LOCAL_MACHINE), machineAfter);
    }

    void writtenValuesShowInRegQuery() {
        QVERIFY(putKey(HKEY_LOCAL_MACHINE, settings(QStringLiteral("C:\\Programme\\"), 1)));
        TRegistryKeyWin32 key(TestSubKey);
        QVERIFY(key.OpenKey());
        key.WriteString(QStringLiteral("WorkDir"), QStringLiteral("C:\\Konfigurationen\\"));
        key.WriteInteger(QStringLiteral("COM"), ClosingCom);
        key.CloseKey();

        const auto values = regQuery(HKEY_CURRENT_USER);
        QCOMPARE(values.value(QStringLiteral("WorkDir")),
                 qMakePair(QStringLiteral("REG_SZ"), QStringLiteral("C:\\Konfigurationen\\")));
        QCOMPARE(values.value(QStringLiteral("COM")),
                 qMakePair(QStringLiteral("REG_DWORD"), QStringLiteral("0x3")));
    }
};

QTEST_GUILESS_MAIN(TestRegistryWindows)
#include "tst_registry_windows.moc"
