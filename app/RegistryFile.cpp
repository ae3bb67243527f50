#include "app/RegistryFile.h"

#include "app/SafeSave.h"
#include "link/RegularFile.h"
#include "serial/ConfigHome.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QtEndian>

namespace {

const QString Header = QStringLiteral("Windows Registry Editor Version 5.00");
const QString AnsiHeader = QStringLiteral("REGEDIT4");
const char* const Ansi = "windows-1252";
// Far more than any settings file; a larger one is not read into memory.
constexpr qsizetype MaxFileSize = 1 << 20;

QString damaged(const QString& path, int line) {
    return QStringLiteral("Die Einstellungsdatei %1 ist beschädigt (Zeile %2).")
        .arg(path)
        .arg(line);
}

bool isSection(const QString& line) {
    return line.startsWith(QLatin1Char('['));
}

// Parses `"name"=data` into name and data; false when the line is no value line.
bool splitValueLine(const QString& line, QString& name, QString& data) {
    if (line.startsWith(QLatin1Char('@'))) {
        if (line.size() < 2 || line[1] != QLatin1Char('='))
            return false;
        name.clear();
        data = line.mid(2);
        return true;
    }
    if (!line.startsWith(QLatin1Char('"')))
        return false;
    name.clear();
    int i = 1;
    for (; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('\\') && i + 1 < line.size()) {
            name += line[++i];
        } else if (c == QLatin1Char('"')) {
            break;
        } else {
            name += c;
        }
    }
    if (i + 1 >= line.size() || line[i + 1] != QLatin1Char('='))
        return false;
    data = line.mid(i + 2);
    return true;
}

bool unquote(const QString& data, QString& out) {
    if (data.size() < 2 || !data.startsWith(QLatin1Char('"')) || !data.endsWith(QLatin1Char('"')))
        return false;
    out.clear();
    for (int i = 1; i < data.size() - 1; ++i) {
        QChar c = data[i];
        if (c == QLatin1Char('\\')) {
            if (i + 1 >= data.size() - 1)
                return false;
            c = data[++i];
        } else if (c == QLatin1Char('"')) {
            return false;
        }
        out += c;
    }
    return true;
}

QString quote(const QString& s) {
    QString out = QStringLiteral("\"");
    for (QChar c : s) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out + QLatin1Char('"');
}

// UTF-16 code units as they stand, so that even an unpaired surrogate survives.
QString fromUtf16Le(const QByteArray& raw) {
    QString out(raw.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = QChar(qFromLittleEndian<quint16>(raw.constData() + 2 * i));
    return out;
}

QByteArray toUtf16Le(const QString& text) {
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian<quint16>(text[i].unicode(), out.data() + 2 * i);
    return out;
}

bool isAscii(const QByteArray& raw) {
    return std::all_of(raw.begin(), raw.end(), [](char c) { return uchar(c) < 0x80; });
}

bool isUtf8(const QByteArray& raw) {
    QStringDecoder dec(QStringDecoder::Utf8);
    const QString text = dec.decode(raw); // decoding happens on conversion
    Q_UNUSED(text);
    return !dec.hasError();
}

// An unpaired surrogate cannot be written as UTF-8 text.
bool hasLoneSurrogate(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

// An unpaired surrogate at the end waits in the encoder for its partner, unreported.
bool encodableInAnsi(const QString& text) {
    if (hasLoneSurrogate(text))
        return false;
    QStringEncoder enc(Ansi);
    const QByteArray bytes = enc.encode(text);
    Q_UNUSED(bytes);
    return !enc.hasError();
}

// Strings that cannot stand between quotes on one line are kept as hex(1), as the registry
// editor exports them: a line break, another control character, an unpaired surrogate.
bool needsHex(const QString& text) {
    return hasLoneSurrogate(text) || std::any_of(text.begin(), text.end(), [](QChar c) {
               return c.unicode() < 0x20 || c.unicode() == 0x7F;
           });
}

QString hexList(const QByteArray& bytes) {
    QString out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i)
            out += QLatin1Char(',');
        out += QString::number(uchar(bytes[i]), 16).rightJustified(2, QLatin1Char('0'));
    }
    return out;
}

bool parseHexList(const QString& text, QByteArray& out) {
    out.clear();
    if (text.trimmed().isEmpty())
        return true;
    for (const QString& item : text.split(QLatin1Char(','))) {
        bool ok = false;
        const QString digits = item.trimmed();
        const uint value = digits.toUInt(&ok, 16);
        if (!ok || digits.size() > 2)
            return false;
        out += char(value);
    }
    return true;
}

} // namespace

QString TRegistryFile::defaultPath() {
    return QString::fromStdString(configHomeDir()) + QStringLiteral("/registry.reg");
}

QString TRegistryFile::lookupPath() {
    const QString user = defaultPath();
    if (QFileInfo::exists(user))
        return user;
    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/etc/xdg");
    for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString system = dir + QStringLiteral("/zuvex910k/registry.reg");
        if (QFileInfo::exists(system))
            return system;
    }
    return user;
}

TRegistryFile::TRegistryFile(QString path, QString writePath)
    : path(std::move(path)), writePath(writePath.isEmpty() ? this->path : std::move(writePath)) {}

void TRegistryFile::decode(const QByteArray& raw) {
    QString text;
    if (raw.startsWith("\xFF\xFE")) {
        encoding = Encoding::Utf16;
        text = fromUtf16Le(raw.mid(2));
    } else if (raw.startsWith("\xEF\xBB\xBF")) {
        encoding = Encoding::Utf8Bom;
        text = QString::fromUtf8(raw.mid(3));
    } else if (raw.startsWith("REGEDIT4") && (isAscii(raw) || !isUtf8(raw))) {
        // ANSI, unless it is UTF-8 with non-ASCII bytes as earlier versions wrote it
        encoding = Encoding::Ansi;
        QStringDecoder dec(Ansi);
        text = dec(raw);
    } else {
        encoding = Encoding::Utf8;
        text = QString::fromUtf8(raw);
    }
    lines.clear();
    QString pending;
    for (QString l : text.split(QLatin1Char('\n'))) {
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
        if (!pending.isEmpty())
            l = pending + l.trimmed();
        // hex data may continue on the next line after a trailing backslash
        if (l.endsWith(QLatin1Char('\\')) && !isSection(l) && l.contains(QLatin1String("=hex"))) {
            pending = l.left(l.size() - 1);
            continue;
        }
        pending.clear();
        lines << l;
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
}

QByteArray TRegistryFile::encode() const {
    QString text;
    for (const QString& l : lines)
        text += l + QStringLiteral("\r\n");
    switch (encoding) {
    case Encoding::Utf16:
        return "\xFF\xFE" + toUtf16Le(text);
    case Encoding::Utf8Bom:
        return "\xEF\xBB\xBF" + text.toUtf8();
    case Encoding::Ansi: {
        QStringEncoder enc(Ansi);
        return enc(text);
    }
    default:
        return text.toUtf8();
    }
}

bool TRegistryFile::load() {
    QByteArray raw;
    bool more = false;
    // A folder, FIFO, device or unreadable file counts as missing: the defaults apply.
    if (ReadRegularFileStart(path, MaxFileSize, raw, &more) != TReadResult::Read)
        return false;
    if (more)
        throw ERegistryError(QStringLiteral("Die Einstellungsdatei %1 ist zu groß.").arg(path));
    decode(raw);
    if (lines.isEmpty() || (lines.first() != Header && lines.first() != AnsiHeader))
        throw ERegistryError(damaged(path, 1));
    for (int i = 1; i < lines.size(); ++i) {
        const QString& l = lines[i];
        if (l.isEmpty() || l.startsWith(QLatin1Char(';')))
            continue;
        if (isSection(l)) {
            if (!l.endsWith(QLatin1Char(']')))
                throw ERegistryError(damaged(path, i + 1));
            continue;
        }
        QString name, data;
        if (!splitValueLine(l, name, data))
            throw ERegistryError(damaged(path, i + 1));
    }
    return true;
}

bool TRegistryFile::OpenKey(const QString& keyPath) {
    keyLine = -1;
    if (!load())
        return false;
    const QString wanted = QLatin1Char('[') + keyPath + QLatin1Char(']');
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].compare(wanted, Qt::CaseInsensitive) == 0) {
            keyLine = i;
            return true;
        }
    }
    return false;
}

void TRegistryFile::CloseKey() {
    keyLine = -1;
}

std::optional<TRegistryFile::Value> TRegistryFile::find(const QString& name) const {
    if (keyLine < 0)
        return std::nullopt;
    for (int i = keyLine + 1; i < lines.size() && !isSection(lines[i]); ++i) {
        QString n, data;
        if (!splitValueLine(lines[i], n, data) || n.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (data.startsWith(QLatin1Char('"')))
            return Value{i, QStringLiteral("string"), data};
        const int colon = data.indexOf(QLatin1Char(':'));
        return Value{i, colon < 0 ? data : data.left(colon), data.mid(colon + 1)};
    }
    return std::nullopt;
}

bool TRegistryFile::ValueExists(const QString& name) const {
    return find(name).has_value();
}

bool TRegistryFile::ansiStrings() const {
    return lines.value(0) == AnsiHeader;
}

QString TRegistryFile::ReadString(const QString& name) const {
    const auto v = find(name);
    QString out;
    QByteArray bytes;
    bool ok = false;
    if (v && v->type == QLatin1String("string")) {
        ok = unquote(v->text, out);
    } else if (v && v->type.compare(QLatin1String("hex(1)"), Qt::CaseInsensitive) == 0 &&
               parseHexList(v->text, bytes)) {
        // a string with its terminating zero: UTF-16LE, or ANSI bytes in a REGEDIT4 file
        if (ansiStrings()) {
            ok = bytes.endsWith('\0');
            QStringDecoder dec(Ansi);
            out = dec(bytes.chopped(ok ? 1 : 0));
        } else {
            ok = bytes.size() % 2 == 0 && bytes.endsWith(QByteArray(2, '\0'));
            out = fromUtf16Le(bytes.chopped(ok ? 2 : 0));
        }
    }
    if (!ok)
        throw ERegistryError(QStringLiteral("Ungültiger Datentyp für '%1'").arg(name));
    return out;
}

quint32 TRegistryFile::ReadInteger(const QString& name) const {
    const auto v = find(name);
    bool ok = false;
    quint32 value = 0;
    if (v && v->type.compare(QLatin1String("dword"), Qt::CaseInsensitive) == 0 &&
        v->text.size() == 8)
        value = v->text.toUInt(&ok, 16);
    if (!ok)
        throw ERegistryError(QStringLiteral("Ungültiger Datentyp für '%1'").arg(name));
    return value;
}

void TRegistryFile::setValueLine(const QString& name, const QString& valueLine) {
    if (keyLine < 0)
        throw ERegistryError(QStringLiteral("Der Schlüssel ist nicht geöffnet."));
    if (const auto v = find(name)) {
        lines[v->line] = valueLine;
    } else {
        int end = keyLine + 1;
        while (end < lines.size() && !isSection(lines[end]))
            ++end;
        while (end > keyLine + 1 && lines[end - 1].isEmpty())
            --end;
        lines.insert(end, valueLine);
    }
    store();
}

void TRegistryFile::WriteString(const QString& name, const QString& value) {
    if (encoding == Encoding::Ansi && !encodableInAnsi(value)) {
        // Windows-1252 cannot hold it: the file becomes a UTF-16 export, as regedit writes
        encoding = Encoding::Utf16;
        lines[0] = Header;
    }
    QString data;
    if (!needsHex(value))
        data = quote(value);
    else if (ansiStrings())
        data = QStringLiteral("hex(1):") + hexList(QStringEncoder(Ansi).encode(value) + '\0');
    else
        data = QStringLiteral("hex(1):") + hexList(toUtf16Le(value) + QByteArray(2, '\0'));
    setValueLine(name, quote(name) + QLatin1Char('=') + data);
}

void TRegistryFile::WriteInteger(const QString& name, quint32 value) {
    setValueLine(name, quote(name) + QStringLiteral("=dword:") +
                           QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')));
}

void TRegistryFile::store() const {
    if (writePath != path)
        QDir().mkpath(QFileInfo(writePath).absolutePath());
    if (SaveFileSafely(writePath, encode()) != TSaveResult::Saved)
        throw ERegistryError(
            QStringLiteral("Die Einstellungsdatei %1 konnte nicht geschrieben werden.")
                .arg(writePath));
}
