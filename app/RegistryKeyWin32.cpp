// Windows keeps the settings key in the registry: the user's under HKEY_CURRENT_USER, the
// installer's under HKEY_LOCAL_MACHINE.
#include "app/RegistryKeyWin32.h"

#include <windows.h>

#include <cstring>

namespace {

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

QString userKeyName(const QString& subKey) {
    return QStringLiteral("HKEY_CURRENT_USER\\") + subKey;
}

// The value's type and bytes; false when it is missing or cannot be read.
bool queryValue(HKEY key, const QString& name, DWORD& type, QByteArray& bytes) {
    DWORD size = 0;
    LONG status = ::RegQueryValueExW(key, wide(name), nullptr, &type, nullptr, &size);
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        bytes.resize(size);
        status = ::RegQueryValueExW(key, wide(name), nullptr, &type,
                                    reinterpret_cast<BYTE*>(bytes.data()), &size);
        if (status == ERROR_SUCCESS) {
            bytes.resize(size);
            return true;
        }
    }
    return false;
}

// REG_SZ holds UTF-16 with its terminating zero, which the registry does not promise.
QString stringData(const QByteArray& bytes) {
    QString text(bytes.size() / 2, Qt::Uninitialized);
    std::memcpy(text.data(), bytes.constData(), text.size() * sizeof(QChar));
    if (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

LONG setValue(HKEY key, const QString& name, const QString& text) {
    const DWORD size = DWORD((text.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key, wide(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.utf16()),
                            size);
}

LONG setValue(HKEY key, const QString& name, quint32 number) {
    const DWORD value = number;
    return ::RegSetValueExW(key, wide(name), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof value);
}

} // namespace

TRegistryKeyWin32::TRegistryKeyWin32(QString subKey) : subKey(std::move(subKey)) {}

TRegistryKeyWin32::~TRegistryKeyWin32() {
    closeHandle();
}

void TRegistryKeyWin32::closeHandle() {
    if (readKey)
        ::RegCloseKey(readKey);
    readKey = nullptr;
}

bool TRegistryKeyWin32::OpenKey() {
    closeHandle();
    pending.clear();
    HKEY key = nullptr;
    const LONG user = ::RegOpenKeyExW(HKEY_CURRENT_USER, wide(subKey), 0, KEY_READ, &key);
    // a user's key that cannot be read counts as missing, as the machine's would hide it
    if (user != ERROR_FILE_NOT_FOUND) {
        fromUser = true;
        readKey = user == ERROR_SUCCESS ? key : nullptr;
        return readKey != nullptr;
    }
    fromUser = false;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide(subKey), 0, KEY_READ, &key) == ERROR_SUCCESS)
        readKey = key;
    return readKey != nullptr;
}

void TRegistryKeyWin32::CloseKey() {
    Flush();
    closeHandle();
}

// Creates the user's key where only the machine's exists, with the machine's values as the
// start, writes what is pending, and from then on reads the user's key.
void TRegistryKeyWin32::Flush() {
    if (pending.isEmpty())
        return;
    HKEY target = nullptr;
    DWORD disposition = 0;
    LONG status = ::RegCreateKeyExW(HKEY_CURRENT_USER, wide(subKey), 0, nullptr, 0,
                                    KEY_READ | KEY_WRITE, nullptr, &target, &disposition);
    if (status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY && !fromUser)
        status = ::RegCopyTreeW(readKey, nullptr, target);
    for (const Written& w : pending) {
        if (status == ERROR_SUCCESS)
            status = std::visit([&](const auto& data) { return setValue(target, w.name, data); },
                                w.data);
    }
    if (status == ERROR_SUCCESS)
        status = ::RegFlushKey(target);
    if (status != ERROR_SUCCESS) {
        if (target)
            ::RegCloseKey(target);
        throw ERegistryError(
            QStringLiteral("Der Registrierungsschlüssel %1 konnte nicht geschrieben werden.")
                .arg(userKeyName(subKey)));
    }
    closeHandle();
    readKey = target;
    fromUser = true;
    pending.clear();
}

bool TRegistryKeyWin32::Writable() const {
    if (!fromUser)
        return true; // the user's key is made under the user's own hive
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, wide(subKey), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

const TRegistryKeyWin32::Written* TRegistryKeyWin32::pendingValue(const QString& name) const {
    for (const Written& w : pending) // value names are case-insensitive, as in the registry
        if (w.name.compare(name, Qt::CaseInsensitive) == 0)
            return &w;
    return nullptr;
}

bool TRegistryKeyWin32::ValueExists(const QString& name) const {
    DWORD type = 0;
    QByteArray bytes;
    return pendingValue(name) || (readKey && queryValue(readKey, name, type, bytes));
}

// A value written but not yet stored, as a T; null when none is pending. A pending value of the
// other type fails as a stored one would.
template <typename T> const T* TRegistryKeyWin32::pendingAs(const QString& name) const {
    const Written* w = pendingValue(name);
    if (w && !std::holds_alternative<T>(w->data))
        throw ERegistryError::wrongType(name);
    return w ? &std::get<T>(w->data) : nullptr;
}

QString TRegistryKeyWin32::ReadString(const QString& name) const {
    if (const QString* text = pendingAs<QString>(name))
        return *text;
    DWORD type = 0;
    QByteArray bytes;
    if (!readKey || !queryValue(readKey, name, type, bytes) || type != REG_SZ)
        throw ERegistryError::wrongType(name);
    return stringData(bytes);
}

quint32 TRegistryKeyWin32::ReadInteger(const QString& name) const {
    if (const quint32* number = pendingAs<quint32>(name))
        return *number;
    DWORD type = 0;
    QByteArray bytes;
    DWORD value = 0;
    if (!readKey || !queryValue(readKey, name, type, bytes) || type != REG_DWORD ||
        bytes.size() != sizeof value)
        throw ERegistryError::wrongType(name);
    std::memcpy(&value, bytes.constData(), sizeof value);
    return value;
}

void TRegistryKeyWin32::write(const QString& name, Data data) {
    if (!readKey)
        throw ERegistryError::notOpen();
    for (Written& w : pending) {
        if (w.name.compare(name, Qt::CaseInsensitive) == 0) {
            w.data = std::move(data);
            return;
        }
    }
    pending.append({name, std::move(data)});
}

void TRegistryKeyWin32::WriteString(const QString& name, const QString& value) {
    write(name, value);
}

void TRegistryKeyWin32::WriteInteger(const QString& name, quint32 value) {
    write(name, value);
}

std::unique_ptr<TRegistryKey> ProgramRegistryKey() {
    return std::make_unique<TRegistryKeyWin32>();
}
