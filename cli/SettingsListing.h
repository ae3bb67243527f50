#pragma once

#include "config/ConfigCodec.h"

#include <QList>
#include <QString>
#include <QStringList>

// One setting in readable German, as the printed report words it ("Intern 1" =
// "amtsberechtigt + türberechtigt" under "Berechtigungen").
struct TSettingLine {
    QString section;
    QString key;
    QString value;
};

// Every setting: the lines of the printed report, and the device type of each port, which
// the report leaves out.
QList<TSettingLine> ListSettings(const TEditorSettings& settings);

// The settings as text: the report's title, then each section with its lines.
QStringList SettingsText(const TEditorSettings& settings);

// The same settings as one JSON object: {"section": {"key": "value", ...}, ...}.
QByteArray SettingsJson(const QList<TSettingLine>& lines);

// One line for each setting that differs: "Intern 1: amtsberechtigt -> halbamtsberechtigt".
QStringList DifferingSettings(const QList<TSettingLine>& from, const QList<TSettingLine>& to);
