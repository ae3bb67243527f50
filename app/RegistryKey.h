#pragma once

#include <QString>
#include <memory>
#include <stdexcept>

// A registry failure (unreadable store, value of the wrong type, failed write). Its text is
// German and shown to the user as it stands.
class ERegistryError : public std::runtime_error {
public:
    explicit ERegistryError(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }

    // the same texts on every platform
    static ERegistryError wrongType(const QString& name) {
        return ERegistryError(QStringLiteral("Ungültiger Datentyp für '%1'").arg(name));
    }
    static ERegistryError notOpen() {
        return ERegistryError(QStringLiteral("Der Schlüssel ist nicht geöffnet."));
    }
};

// The program's settings key "\software\Orvell\Zuvex 910k" with its values WorkDir, COM and
// File1 ... File4, in the store of the platform: a ".reg" file on Linux, the registry on
// Windows. The key is read where the user has it, else where the installer put it; opening
// never creates it. Writes are kept until Flush or CloseKey, which write them where the user
// keeps the key.
class TRegistryKey {
public:
    virtual ~TRegistryKey() = default;

    // Opens the program's key if it exists, without creating it; false when it does not.
    // Throws ERegistryError when the store cannot be parsed.
    virtual bool OpenKey() = 0;
    virtual void CloseKey() = 0; // writes what changed; throws ERegistryError on a failure
    virtual void Flush() = 0;    // writes what changed now
    // False when the user's key exists but may not be written: it opens for reading only.
    virtual bool Writable() const = 0;

    virtual bool ValueExists(const QString& name) const = 0;
    // Both throw ERegistryError::wrongType on a missing value or one of another type.
    virtual QString ReadString(const QString& name) const = 0;
    virtual quint32 ReadInteger(const QString& name) const = 0;
    virtual void WriteString(const QString& name, const QString& value) = 0;
    virtual void WriteInteger(const QString& name, quint32 value) = 0;
};

// The program's key in this platform's store (RegistryKeyPosix.cpp, RegistryKeyWin32.cpp).
std::unique_ptr<TRegistryKey> ProgramRegistryKey();
