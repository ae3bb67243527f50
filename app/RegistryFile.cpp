#include "app/RegistryFile.h"

#include "serial/ConfigHome.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

const QString Header = QStringLiteral("Windows Registry Editor Version 5.00");

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

QString decode(const QByteArray& raw) {
    if (raw.startsWith("\xFF\xFE")) {
        QStringDecoder dec(QStringDecoder::Utf16LE);
        return dec(raw.mid(2));
    }
    QStringDecoder dec(QStringDecoder::Utf8);
    return dec(raw.startsWith("\xEF\xBB\xBF") ? raw.mid(3) : raw);
}

} // namespace

QString TRegistryFile::defaultPath() {
    return QString::fromStdString(configHomeDir()) + QStringLiteral("/registry.reg");
}

TRegistryFile::TRegistryFile(QString path) : path(std::move(path)) {}

void TRegistryFile::load() {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw RegistryError(
            QStringLiteral("Die Einstellungsdatei %1 kann nicht gelesen werden.").arg(path));
    const QStringList physical = decode(f.readAll()).split(QLatin1Char('\n'));
    lines.clear();
    QString pending;
    for (QString l : physical) {
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
    if (lines.isEmpty() || (lines.first() != Header && lines.first() != QLatin1String("REGEDIT4")))
        throw RegistryError(damaged(path, 1));
    for (int i = 1; i < lines.size(); ++i) {
        const QString& l = lines[i];
        if (l.isEmpty() || l.startsWith(QLatin1Char(';')))
            continue;
        if (isSection(l)) {
            if (!l.endsWith(QLatin1Char(']')))
                throw RegistryError(damaged(path, i + 1));
            continue;
        }
        QString name, data;
        if (!splitValueLine(l, name, data))
            throw RegistryError(damaged(path, i + 1));
    }
}

bool TRegistryFile::OpenKey(const QString& keyPath) {
    keyLine = -1;
    if (!QFile::exists(path))
        return false;
    load();
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

QString TRegistryFile::ReadString(const QString& name) const {
    const auto v = find(name);
    QString out;
    if (!v || v->type != QLatin1String("string") || !unquote(v->text, out))
        throw RegistryError(QStringLiteral("Ungültiger Datentyp für '%1'").arg(name));
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
        throw RegistryError(QStringLiteral("Ungültiger Datentyp für '%1'").arg(name));
    return value;
}

void TRegistryFile::setValueLine(const QString& name, const QString& valueLine) {
    if (keyLine < 0)
        throw RegistryError(QStringLiteral("Der Schlüssel ist nicht geöffnet."));
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
    setValueLine(name, quote(name) + QLatin1Char('=') + quote(value));
}

void TRegistryFile::WriteInteger(const QString& name, quint32 value) {
    setValueLine(name, quote(name) + QStringLiteral("=dword:") +
                           QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')));
}

void TRegistryFile::store() const {
    QSaveFile f(path);
    QByteArray data;
    for (const QString& l : lines)
        data += l.toUtf8() + "\r\n";
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
        throw RegistryError(
            QStringLiteral("Die Einstellungsdatei %1 konnte nicht geschrieben werden.").arg(path));
}
