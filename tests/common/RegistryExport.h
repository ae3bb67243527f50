#pragma once

#include <QByteArray>
#include <QString>

// The kinds of file the registry editor exports.
enum class TRegistryExport { Utf8, Utf16, Regedit4 };

// The program's key with `values` ("\"COM\"=dword:00000001\r\n"...) exported in that kind.
inline QByteArray registryExport(TRegistryExport kind, const QString& values = {}) {
    const QString body =
        QStringLiteral("\r\n[HKEY_LOCAL_MACHINE\\software\\Orvell\\Zuvex 910k]\r\n") + values;
    if (kind == TRegistryExport::Regedit4)
        return "REGEDIT4\r\n" + body.toLatin1();
    const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n") + body;
    if (kind == TRegistryExport::Utf8)
        return text.toUtf8();
    QByteArray raw("\xFF\xFE");
    for (QChar c : text)
        raw.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return raw;
}
