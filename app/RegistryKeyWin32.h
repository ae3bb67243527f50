#pragma once

#include "app/RegistryKey.h"

#include <QList>
#include <variant>

struct HKEY__; // <windows.h>'s HKEY is HKEY__*; the header stays free of it

// The settings key in the Windows registry. It is read under HKEY_CURRENT_USER\<subKey> when
// the user has it, else under HKEY_LOCAL_MACHINE\<subKey>, where the installer puts it. Writes
// go to HKEY_CURRENT_USER only, since an ordinary user may not write HKEY_LOCAL_MACHINE: the
// user's key is created from the machine's when only that one exists. Neither existing, the key
// does not open and nothing is created.
class TRegistryKeyWin32 : public TRegistryKey {
public:
    static constexpr const char* ProgramSubKey = "Software\\Orvell\\Zuvex 910k";

    explicit TRegistryKeyWin32(QString subKey = QString::fromLatin1(ProgramSubKey));
    ~TRegistryKeyWin32() override;
    TRegistryKeyWin32(const TRegistryKeyWin32&) = delete;
    TRegistryKeyWin32& operator=(const TRegistryKeyWin32&) = delete;

    bool OpenKey() override;
    void CloseKey() override;
    void Flush() override;
    bool Writable() const override;

    bool ValueExists(const QString& name) const override;
    QString ReadString(const QString& name) const override;
    quint32 ReadInteger(const QString& name) const override;
    void WriteString(const QString& name, const QString& value) override;
    void WriteInteger(const QString& name, quint32 value) override;

private:
    using Data = std::variant<QString, quint32>;
    struct Written {
        QString name;
        Data data;
    };
    const Written* pendingValue(const QString& name) const;
    template <typename T> const T* pendingAs(const QString& name) const;
    void write(const QString& name, Data data);
    void closeHandle();

    QString subKey;
    HKEY__* readKey = nullptr; // the open key values are read from; null while closed
    bool fromUser = false;     // readKey is the user's key
    QList<Written> pending;    // written since the last Flush, in that order
};
