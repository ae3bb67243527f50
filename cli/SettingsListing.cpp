#include "cli/SettingsListing.h"

#include "app/ReportBuilder.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString DeviceTypeSection = QStringLiteral("Gerätetyp");
const QString PermissionSection = QStringLiteral("Berechtigungen");
const QString KeySeparator = QStringLiteral(" = ");

// The device types as the editor's rows name them, without their "Gerätetyp " prefix.
QString deviceTypeText(DeviceType type) {
    switch (type) {
    case TypAnrufbeantworter:
        return QStringLiteral("Anrufbeantworter");
    case TypTfe:
        return QStringLiteral("TFE");
    default:
        return QStringLiteral("Telefon/Fax/Kombigerät");
    }
}

QList<TSettingLine> deviceTypeLines(const TEditorSettings& settings) {
    QList<TSettingLine> lines;
    for (int p = 0; p < 4; ++p)
        lines.append({DeviceTypeSection, QStringLiteral("Intern %1").arg(p + 1),
                      deviceTypeText(settings.ports[p].type)});
    return lines;
}

QString shownValue(const QString& value) {
    return value.isEmpty() ? QStringLiteral("(nichts)") : value;
}

} // namespace

QList<TSettingLine> ListSettings(const TEditorSettings& settings) {
    QList<TSettingLine> lines;
    QString section;
    // A report line is a heading, a blank line, the title, or "   key = value".
    for (const QString& reportLine : BuildReport(settings)) {
        if (reportLine.startsWith(ReportHeadingMark)) {
            section = reportLine.mid(ReportHeadingMark.size());
            if (section == PermissionSection)
                lines += deviceTypeLines(settings);
            continue;
        }
        const qsizetype separator = reportLine.indexOf(KeySeparator);
        if (section.isEmpty() || separator < 0)
            continue;
        lines.append({section, reportLine.left(separator).trimmed(),
                      reportLine.mid(separator + KeySeparator.size())});
    }
    return lines;
}

QStringList SettingsText(const TEditorSettings& settings) {
    QStringList text{BuildReport(settings).first()};
    QString section;
    for (const TSettingLine& line : ListSettings(settings)) {
        if (line.section != section) {
            section = line.section;
            text << QString() << section;
        }
        text << QStringLiteral("   ") + line.key + KeySeparator + line.value;
    }
    return text;
}

QByteArray SettingsJson(const QList<TSettingLine>& lines) {
    QJsonObject sections;
    for (const TSettingLine& line : lines) {
        QJsonObject section = sections.value(line.section).toObject();
        section.insert(line.key, line.value);
        sections.insert(line.section, section);
    }
    return QJsonDocument(sections).toJson(QJsonDocument::Indented);
}

QStringList DifferingSettings(const QList<TSettingLine>& from, const QList<TSettingLine>& to) {
    QStringList differing;
    // Both lists come from ListSettings, so the same setting stands at the same place.
    for (qsizetype i = 0; i < from.size() && i < to.size(); ++i)
        if (from[i].value != to[i].value)
            differing << QStringLiteral("%1: %2 -> %3")
                             .arg(from[i].key, shownValue(from[i].value), shownValue(to[i].value));
    return differing;
}
