#include "app/RegistryFile.h"

#include "app/SafeSave.h"
#include "link/RegularFile.h"

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

// String data kept as hex: a string, an expandable string, a list of strings.
bool isHexString(const QString& data) {
    for (const char* type : {"hex(1):", "hex(2):", "hex(7):"})
        if (data.startsWith(QLatin1String(type), Qt::CaseInsensitive))
            return true;
    return false;
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

TRegistryFile::TRegistryFile(QString path, QString writePath)
    : path(std::move(path)), writePath(writePath.isEmpty() ? this->path : std::move(writePath)) {}

void TRegistryFile::decode(const QByteArray& raw) {
    QByteArray body = raw;
    if (raw.startsWith("\xFF\xFE")) {
        encoding = Encoding::Utf16;
        body = raw.mid(2);
    } else if (raw.startsWith("\xEF\xBB\xBF")) {
        encoding = Encoding::Utf8Bom;
        body = raw.mid(3);
    } else if (raw.startsWith("REGEDIT4")) {
        encoding = Encoding::Ansi; // as the registry editor writes it, whatever the bytes
    } else {
        encoding = Encoding::Utf8;
    }
    lines.clear();
    bool continued = false;
    for (const QByteArray& segment : splitLines(body)) {
        QString text = decodeText(segment);
        while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
            text.chop(1);
        if (continued) {
            lines.last().raw += segment;
            text = lines.last().text + text.trimmed();
        } else {
            lines.append({text, segment});
        }
        // hex data may continue on the next line after a trailing backslash
        continued = text.endsWith(QLatin1Char('\\')) && !isSection(text) &&
                    text.contains(QLatin1String("=hex"));
        lines.last().text = continued ? text.chopped(1) : text;
    }
}

// The file's bytes cut after each line break, in the file's own encoding.
QList<QByteArray> TRegistryFile::splitLines(const QByteArray& body) const {
    QList<QByteArray> segments;
    const qsizetype unit = encoding == Encoding::Utf16 ? 2 : 1;
    qsizetype start = 0;
    for (qsizetype i = 0; i + unit <= body.size(); i += unit) {
        if (body[i] == '\n' && (unit == 1 || body[i + 1] == '\0')) {
            segments.append(body.mid(start, i + unit - start));
            start = i + unit;
        }
    }
    if (start < body.size())
        segments.append(body.mid(start));
    return segments;
}

QString TRegistryFile::decodeText(const QByteArray& bytes) const {
    switch (encoding) {
    case Encoding::Utf16:
        return fromUtf16Le(bytes);
    case Encoding::Ansi:
        return QStringDecoder(Ansi).decode(bytes);
    default:
        return QString::fromUtf8(bytes);
    }
}

QByteArray TRegistryFile::encodeText(const QString& text) const {
    switch (encoding) {
    case Encoding::Utf16:
        return toUtf16Le(text);
    case Encoding::Ansi:
        return QStringEncoder(Ansi).encode(text);
    default:
        return text.toUtf8();
    }
}

// Lines as they were read go back byte for byte; changed and new ones are encoded afresh.
QByteArray TRegistryFile::encode() const {
    QByteArray out = encoding == Encoding::Utf16     ? QByteArray("\xFF\xFE")
                     : encoding == Encoding::Utf8Bom ? QByteArray("\xEF\xBB\xBF")
                                                     : QByteArray();
    const QByteArray lineBreak = encodeText(QStringLiteral("\r\n"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        out += l.raw.isEmpty() ? encodeText(l.text) + lineBreak : l.raw;
        if (!l.raw.isEmpty() && !l.raw.endsWith(lineBreak.right(unitSize())) &&
            i + 1 < lines.size())
            out += lineBreak; // the last line had no line break, and now a line follows it
    }
    return out;
}

qsizetype TRegistryFile::unitSize() const {
    return encoding == Encoding::Utf16 ? 2 : 1;
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
    if (lines.isEmpty() || (lines.first().text != Header && lines.first().text != AnsiHeader))
        throw ERegistryError(damaged(path, 1));
    for (int i = 1; i < lines.size(); ++i) {
        const QString& l = lines[i].text;
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
        if (lines[i].text.compare(wanted, Qt::CaseInsensitive) == 0) {
            keyLine = i;
            return true;
        }
    }
    return false;
}

void TRegistryFile::CloseKey() {
    Flush();
    keyLine = -1;
}

void TRegistryFile::Flush() {
    if (!changed)
        return;
    store();
    changed = false;
}

std::optional<TRegistryFile::Value> TRegistryFile::find(const QString& name) const {
    if (keyLine < 0)
        return std::nullopt;
    for (int i = keyLine + 1; i < lines.size() && !isSection(lines[i].text); ++i) {
        QString n, data;
        if (!splitValueLine(lines[i].text, n, data) || n.compare(name, Qt::CaseInsensitive) != 0)
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
    return encoding == Encoding::Ansi;
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
        throw ERegistryError::wrongType(name);
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
        throw ERegistryError::wrongType(name);
    return value;
}

void TRegistryFile::setValueLine(const QString& name, const QString& valueLine) {
    if (keyLine < 0)
        throw ERegistryError::notOpen();
    if (const auto v = find(name)) {
        lines[v->line] = {valueLine, {}};
    } else {
        int end = keyLine + 1;
        while (end < lines.size() && !isSection(lines[end].text))
            ++end;
        while (end > keyLine + 1 && lines[end - 1].text.isEmpty())
            --end;
        lines.insert(end, {valueLine, {}});
    }
    changed = true;
}

// Windows-1252 cannot hold a value: the file becomes a UTF-16 export, as the registry editor
// writes it, and every line goes over, string data in hex included.
void TRegistryFile::switchToUtf16() {
    encoding = Encoding::Utf16;
    lines[0] = {Header, {}};
    for (Line& l : lines) {
        l.raw.clear();
        QString name, data;
        QByteArray bytes;
        if (!splitValueLine(l.text, name, data) || !isHexString(data))
            continue;
        const qsizetype dataStart =
            l.text.size() - data.size() + data.indexOf(QLatin1Char(':')) + 1;
        if (parseHexList(l.text.mid(dataStart), bytes))
            l.text =
                l.text.left(dataStart) + hexList(toUtf16Le(QStringDecoder(Ansi).decode(bytes)));
    }
}

void TRegistryFile::WriteString(const QString& name, const QString& value) {
    if (encoding == Encoding::Ansi && !encodableInAnsi(value))
        switchToUtf16();
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
