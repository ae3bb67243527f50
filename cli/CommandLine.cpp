#include "cli/CommandLine.h"

#include "cli/PinnedPort.h"
#include "serial/ComPortMap.h"

#include <array>
#include <optional>

namespace {

// What a command accepts beside its files.
enum TOption : unsigned { NoOptions = 0, Yes = 1, Json = 2, Output = 4 };

struct TCommandInfo {
    TCommand command;
    const char* name;
    int minFiles;
    int maxFiles;
    unsigned options;
    const char* synopsis; // after "zuvex910k [--port COMn | --device PFAD] "
    const char* summary;  // one line of the general help
    const char* details;  // the rest of the command's own help
};

const std::array<TCommandInfo, 8> Commands{{
    {TCommand::Find, "find", 0, 0, NoOptions, "find", "sucht die Anlage an COM1 bis COM20",
     "Sucht die Zuvex 910k an COM1 bis COM20 wie das Programm beim Start und gibt den\n"
     "gefundenen Port, sein Gerät und die Kennung der Anlage aus, z. B.\n"
     "  COM3 (%1): Zuvex 910k - Firmware 2.14\n"
     "Mit --port oder --device wird nur dieser Port gefragt."},
    {TCommand::Read, "read", 1, 1, NoOptions, "read DATEI.zcf",
     "liest die Konfiguration der Anlage in eine Datei (Sicherung)",
     "Liest die Konfiguration der Anlage und speichert die 60 Bytes genau so, wie die Anlage\n"
     "sie gesendet hat. Die Datei wird erst nach einem fehlerfreien Auslesen ersetzt; ein\n"
     "misslungenes Auslesen hinterlässt keine Datei."},
    {TCommand::Write, "write", 1, 1, Yes, "write DATEI.zcf [--yes]",
     "schreibt die Konfiguration einer Datei in die Anlage",
     "Schreibt die Konfiguration der Datei in die Anlage, so wie \"Öffnen...\" und danach\n"
     "\"Konfiguration speichern\" im Programm (mit den Regeln des Editors).\n"
     "Signalisiert kein Anschluss einen Externanruf, wird nur mit --yes geschrieben."},
    {TCommand::Show, "show", 1, 1, Json, "show DATEI.zcf [--json]",
     "zeigt alle Einstellungen einer Datei",
     "Gibt jede Einstellung der Datei in lesbarem Deutsch aus, mit den Zeilen des gedruckten\n"
     "Berichts. Mit --json dieselben Einstellungen als JSON-Objekt."},
    {TCommand::Diff, "diff", 1, 2, NoOptions, "diff A.zcf [B.zcf]",
     "zeigt die Einstellungen, die sich unterscheiden",
     "Gibt jede Einstellung, die sich unterscheidet, in einer Zeile aus\n"
     "(\"Intern 1: alt -> neu\"). Ohne B.zcf wird A.zcf mit der Anlage verglichen.\n"
     "Verglichen werden die Einstellungen, wie der Editor sie zeigt, nicht die Bytes.\n"
     "Exit-Status 0: gleich, 1: verschieden."},
    {TCommand::Print, "print", 1, 1, Output, "print DATEI.zcf -o DATEI.pdf",
     "druckt den Bericht einer Datei als PDF",
     "Druckt den einseitigen Bericht der Konfiguration in eine PDF-Datei, genau wie das\n"
     "Programm ihn druckt. Braucht keinen Bildschirm."},
    {TCommand::Reset, "reset", 0, 0, Yes, "reset --yes",
     "setzt die Anlage auf die Werkseinstellungen zurück",
     "Setzt die Einstellungen der Anlage auf den werkseitigen Auslieferzustand zurück, wie\n"
     "\"Werkseinstellungen\" im Programm. Ohne --yes geschieht nichts."},
    {TCommand::Firmware, "firmware", 1, 1, NoOptions, "firmware DATEI.zfw",
     "lädt neue Firmware in die Anlage",
     "Lädt die Firmware aus der Datei in die Anlage. Auf einem Terminal zeigt ein Balken den\n"
     "Fortschritt. Sichern Sie vorher die Konfiguration (read): die Anlage kann danach auf\n"
     "die Werkseinstellungen zurückgestellt sein."},
}};

const QString Program = QStringLiteral("zuvex910k");
const QString GlobalOptions = QStringLiteral("[--port COMn | --device PFAD] ");

const char* const OptionsHelp =
    "Optionen:\n"
    "  --port COMn     die Anlage an diesem COM-Port, ohne Suche (COM1 bis COM20)\n"
    "  --device PFAD   die Anlage an diesem Gerät, z. B. %1, ohne Suche\n"
    "  -h, --help      diese Hilfe; \"zuvex910k BEFEHL --help\" zeigt die Hilfe eines Befehls\n";

const char* const ExitHelp =
    "Exit-Status: 0 erledigt, 1 Unterschiede (nur diff), 2 falscher Aufruf,\n"
    "3 keine Anlage gefunden, 4 die Anlage antwortete falsch oder nicht rechtzeitig,\n"
    "5 eine Datei konnte nicht gelesen oder geschrieben werden oder die Ausgabe ging verloren,\n"
    "130/143 abgebrochen (Strg+C, SIGTERM).\n";

// A help text; where it holds "%1", the platform's example of a device path.
QString helpText(const char* text) {
    const QString help = QString::fromUtf8(text);
    return help.contains(QLatin1String("%1")) ? help.arg(QString::fromUtf8(DeviceExample)) : help;
}

const TCommandInfo* findCommand(const QString& name) {
    for (const TCommandInfo& info : Commands)
        if (name == QLatin1String(info.name))
            return &info;
    return nullptr;
}

QString generalHelp() {
    QString text = QStringLiteral("Aufruf: ") + Program + QLatin1Char(' ') + GlobalOptions +
                   QStringLiteral("BEFEHL ...\n\n"
                                  "Die Telefonanlage Zuvex 910k von der Kommandozeile, ohne "
                                  "Bildschirm.\nOhne --port und --device wird die Anlage "
                                  "gesucht wie im Programm.\n\nBefehle:\n");
    for (const TCommandInfo& info : Commands)
        text += QStringLiteral("  %1 %2\n")
                    .arg(QString::fromUtf8(info.synopsis), -30)
                    .arg(QString::fromUtf8(info.summary));
    return text + QLatin1Char('\n') + helpText(OptionsHelp) + QLatin1Char('\n') +
           QString::fromUtf8(ExitHelp);
}

QString commandHelp(const TCommandInfo& info) {
    return QStringLiteral("Aufruf: ") + Program + QLatin1Char(' ') + GlobalOptions +
           QString::fromUtf8(info.synopsis) + QStringLiteral("\n\n") + helpText(info.details) +
           QStringLiteral("\n\n") + helpText(OptionsHelp) + QLatin1Char('\n') +
           QString::fromUtf8(ExitHelp);
}

TCliUsageError usageError(const QString& text) {
    return {text + QStringLiteral("\nHilfe: zuvex910k --help")};
}

// "COM3", "com3" or "3"; 0 when it names no COM port the program knows.
int comNumberOf(QString text) {
    if (text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        text = text.mid(3);
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok && number >= 1 && number <= MaxComNumber ? number : 0;
}

// The arguments sorted into options and positional words.
struct TScanned {
    bool help = false;
    bool yes = false;
    bool json = false;
    std::optional<QString> port;
    std::optional<QString> device;
    std::optional<QString> output;
    QStringList words;
};

std::variant<TScanned, TCliUsageError> scan(const QStringList& arguments) {
    TScanned s;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || argument == QLatin1String("-") ||
            !argument.startsWith(QLatin1Char('-'))) {
            s.words << argument;
            continue;
        }
        // An option with a value takes it after "=" or as the next argument.
        const auto value = [&](std::optional<QString>& into) -> bool {
            if (i + 1 >= arguments.size())
                return false;
            into = arguments[++i];
            return true;
        };
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? argument : argument.left(equals);
        std::optional<QString>* target = nullptr;
        if (name == QLatin1String("--port"))
            target = &s.port;
        else if (name == QLatin1String("--device"))
            target = &s.device;
        else if (name == QLatin1String("-o") || name == QLatin1String("--output"))
            target = &s.output;
        if (target) {
            if (equals >= 0)
                *target = argument.mid(equals + 1);
            else if (!value(*target))
                return usageError(QStringLiteral("Die Option %1 braucht einen Wert.").arg(name));
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            s.help = true;
        } else if (argument == QLatin1String("--yes")) {
            s.yes = true;
        } else if (argument == QLatin1String("--json")) {
            s.json = true;
        } else {
            return usageError(QStringLiteral("Unbekannte Option: %1").arg(argument));
        }
    }
    return s;
}

} // namespace

TCliParsed ParseCommandLine(const QStringList& arguments) {
    const auto scanned = scan(arguments);
    if (const auto* error = std::get_if<TCliUsageError>(&scanned))
        return *error;
    TScanned s = std::get<TScanned>(scanned);

    const TCommandInfo* info = s.words.isEmpty() ? nullptr : findCommand(s.words.first());
    if (!s.words.isEmpty() && !info)
        return usageError(QStringLiteral("Unbekannter Befehl: %1").arg(s.words.first()));
    if (s.help)
        return TCliHelp{info ? commandHelp(*info) : generalHelp()};
    if (!info)
        return usageError(QStringLiteral("Kein Befehl angegeben."));

    TCliRequest request;
    request.command = info->command;
    request.files = s.words.mid(1);
    const QString synopsis =
        QStringLiteral("Aufruf: zuvex910k ") + GlobalOptions + QString::fromUtf8(info->synopsis);
    if (request.files.size() < info->minFiles || request.files.size() > info->maxFiles)
        return usageError(synopsis);
    if ((s.yes && !(info->options & Yes)) || (s.json && !(info->options & Json)) ||
        (s.output.has_value() != bool(info->options & Output)))
        return usageError(synopsis);
    if (s.port && s.device)
        return usageError(QStringLiteral("--port und --device schließen einander aus."));
    if (s.port) {
        request.comPort = comNumberOf(*s.port);
        if (request.comPort == 0)
            return usageError(QStringLiteral("Kein COM-Port von COM1 bis COM%1: %2")
                                  .arg(MaxComNumber)
                                  .arg(*s.port));
    }
    if (s.device && s.device->isEmpty())
        return usageError(QStringLiteral("--device braucht den Pfad eines Geräts."));
    request.device = s.device.value_or(QString());
    request.output = s.output.value_or(QString());
    request.yes = s.yes;
    request.json = s.json;
    return request;
}
