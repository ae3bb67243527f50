#pragma once

#include "app/RegistryKey.h"

#include <QString>
#include <QStringList>
#include <optional>

// The settings store: a text file in the registry's ".reg" export format. A key exists exactly
// when its section exists. Opening never creates the file or the key. Writes change the file
// in memory; closing the key (or Flush) replaces the file once, atomically, in the encoding it
// was read in (UTF-8, UTF-16LE, or Windows-1252 for a "REGEDIT4" file). Lines the program does
// not write are kept byte for byte. The paths and the write check are Linux's
// (RegistryKeyPosix.cpp).
class TRegistryFile : public TRegistryKey {
public:
    static QString defaultPath(); // the user's file: <config home>/registry.reg
    // The file read at start-up: the user's file when it exists, else the first
    // zuvex910k/registry.reg in $XDG_CONFIG_DIRS (/etc/xdg when unset), else the user's file.
    static QString lookupPath();
    static constexpr const char* ProgramKey = "HKEY_LOCAL_MACHINE\\software\\Orvell\\Zuvex 910k";

    // Reads `path`; writes go to `writePath` (the same file when empty), whose folder is
    // created on the first write.
    explicit TRegistryFile(QString path = defaultPath(), QString writePath = QString());

    // Opens an existing key; false when the file or the key is missing, or the file cannot be
    // read (no permission, not a regular file). Throws ERegistryError when it cannot be parsed.
    bool OpenKey(const QString& keyPath);
    bool OpenKey() override { return OpenKey(QString::fromLatin1(ProgramKey)); }
    void CloseKey() override; // writes what changed; throws ERegistryError when it cannot
    void Flush() override;    // writes what changed now
    // False when the user's file exists but may not be written (the user made it read-only):
    // the key then opens for reading only.
    bool Writable() const override;

    bool ValueExists(const QString& name) const override;
    QString ReadString(const QString& name) const override;
    quint32 ReadInteger(const QString& name) const override;
    void WriteString(const QString& name, const QString& value) override;
    void WriteInteger(const QString& name, quint32 value) override;

private:
    struct Line {
        QString text;   // the logical line, continuations joined
        QByteArray raw; // its bytes as read, line break included; empty once it changed
    };
    struct Value {
        int line;     // index into lines
        QString type; // "string", "dword" or the raw type of anything else
        QString text; // string value, or the raw data for other types
    };
    std::optional<Value> find(const QString& name) const;
    void setValueLine(const QString& name, const QString& valueLine);
    bool load();
    void decode(const QByteArray& raw);
    QList<QByteArray> splitLines(const QByteArray& body) const;
    QString decodeText(const QByteArray& bytes) const;
    QByteArray encodeText(const QString& text) const;
    qsizetype unitSize() const;
    QByteArray encode() const;
    bool ansiStrings() const; // hex(1) strings hold Windows-1252 bytes, not UTF-16LE
    void switchToUtf16();
    void store() const;

    enum class Encoding { Utf8, Utf8Bom, Utf16, Ansi };
    QString path;
    QString writePath;
    Encoding encoding = Encoding::Utf8;
    QList<Line> lines;
    int keyLine = -1; // line of the open key's section header, -1 when closed
    bool changed = false;
};
