#include "config/HelpTexts.h"

namespace {
struct TopicText {
    const char* heading;
    std::initializer_list<const char*> lines;
};

const char* const MoreInfo =
    "Weitere Informationen erhalten Sie, wenn Sie den Mauszeiger über eine Einstellung bewegen.";

// Index = topic - 1. Topic 8 (the menu "Konfiguration") is looked up as topic 1.
const TopicText Topics[LastHelpTopic] = {
    /* 1 */ {"Konfigurationsprogramm",
             {"", "Dieses Programm ermöglicht es Ihnen, Einstellungen an Ihrer Telefonanlage "
                  "vorzunehmen."}},
    /* 2 */
    {"Externanschluss",
     {"", "Hier können Sie alle Einstellungen vornehmen, die den Externanschluss betreffen.", "",
      MoreInfo}},
    /* 3 */
    {"Gerätetyp und Berechtigungen",
     {"",
      "Hier können Sie alle Einstellungen vornehmen, welche die Berechtigungen und Gerätetypen "
      "der internen Anschlüsse betreffen.",
      "", MoreInfo}},
    /* 4 */
    {"Rufsignalisierung festlegen",
     {"",
      "Hier können Sie festlegen, an welchen internen Anschlüssen ein Externanruf und/oder "
      "Türruf signalisiert werden soll.",
      "", MoreInfo}},
    /* 5 */
    {"Konfiguration auslesen",
     {"", "Hiermit können Sie die Konfiguration aus Ihrer Telefonanlage auslesen.", ""}},
    /* 6 */
    {"Konfiguration speichern",
     {"", "Hiermit können Sie die Konfiguration in Ihre Telefonanlage speichern.", "",
      "Nach dem Speichern wird die Telefonanlage neu gestartet. Alle eventuell bestehenden "
      "Verbindungen werden dabei getrennt.",
      ""}},
    /* 7 */
    {"Werkseinstellungen",
     {"", "Hiermit können Sie Ihre Telefonanlage wieder auf die Werkseinstellungen zurücksetzen.",
      "",
      "Nach dem Zurücksetzen auf die Werkseinstellungen wird die Telefonanlage neu gestartet. "
      "Alle eventuell bestehenden Verbindungen werden dabei getrennt.",
      ""}},
    /* 8 */ {nullptr, {}},
    /* 9 */
    {"Öffnen",
     {"",
      "Hiermit können Sie eine Konfigurationsdatei die auf Ihrem Computer gespeichert ist wieder "
      "öffnen.",
      ""}},
    /* 10 */
    {"In Datei speichern",
     {"",
      "Hiermit können Sie die aktuelle Konfiguration Ihrer Telefonanlage in einer Datei auf Ihrem "
      "Computer speichern.",
      ""}},
    /* 11 */
    {"Neu erstellen",
     {"",
      "Hiermit können Sie eine neue Konfiguration für Ihrer Telefonanlage erstellen. Die "
      "Grundeinstellungen entsprechen dabei den Werkseinstellungen.",
      "",
      "Im Gegensatz zum Menüpunkt Werkseinstellungen wird die Konfiguration nicht sofort in die "
      "Telefonanlage gespeichert."}},
    /* 12 */ {"Beenden", {"", "Hiermit beenden Sie das Konfigurationsprogramm.", ""}},
    /* 13 */
    {"Drucken",
     {"", "Hiermit können Sie die aktuelle Konfiguration auf dem Drucker ausgeben.", ""}},
    /* 14 */
    {"Drucker einrichten", {"", "Hiermit können Sie den Drucker auswählen und einrichten.", ""}},
    /* 15 */
    {"Neue Firmware",
     {"", "Hiermit können Sie die Firmware Ihrer Telefonanlage aktualisieren.", "",
      "Die aktuelle Firmware wird Ihnen auf den Internetseiten der Orvell AG zum Download zur "
      "Verfügung gestellt.",
      "",
      "Bevor Sie die Firmware aktualisieren, laden Sie diese bitte zuerst auf Ihren PC "
      "herunter."}},
    /* 16 */
    {"Amtsholung",
     {"",
      "Hier können Sie festlegen, ob Sie gehende Verbindungen nach Extern automatisch oder durch "
      "Vorwahl der Kennziffer 0 einleiten möchten.",
      "", "Diese Einstellung gilt für alle Internteilnehmer."}},
    /* 17 */
    {"Externanrufe heranholen",
     {"",
      "Hier können Sie festlegen, ob Internteilnehmer einen Externanruf, der an ihrem Telefon "
      "nicht signalisiert wird, heranholen dürfen.",
      "Der Internteilnehmer muss dazu die Amtsberechtigung oder die Halbamtsberechtigung "
      "besitzen.",
      "", "Diese Einstellung gilt für alle Internteilnehmer."}},
    /* 18 */
    {"Anklopfschutz",
     {"",
      "Hier können Sie festlegen, ob Extern- oder Türstellenrufe an bestehenden Gesprächen "
      "anklopfen dürfen.",
      "",
      "Diese Einstellung ist anlagenweit, und betrifft alle Interngespräche und das Anklopfen an "
      "einem Externgespräch durch einen Türstellenruf.",
      "Das Anklopfen eines weiteren Externteilnehmers an einem Externgespräch ist ein Orvell-Netz "
      "Leistungsmerkmal, und kann durch diese Einstellung nicht beeinflusst werden. Dazu müssen "
      "Sie das Orvell-Netz Leistungsmerkmal Anklopfen durch die entsprechende Bedienprozedur in "
      "der Vermittlungsstelle ein- bzw. ausschalten."}},
    /* 19 */
    {"Wartemusik",
     {"", "Hier können Sie die Wartemusik in Ihrer Telefonanlage ein- bzw. ausschalten.", "",
      "Ein Externteilnehmer hört die Wartemusik, während Sie ein Rückfragegespräch mit einem "
      "Internteilnehmer führen."}},
    /* 20 */
    {"Gerätetyp",
     {"", "Hier können Sie festlegen, welchen Endgerätetyp sie anschließen möchten.", "",
      "- Telefon/Fax/Kombigerät", "- Anrufbeantworter", "- TFE", "", "Hinweis:",
      "Es kann nur ein Anschluss auf Gerätetyp Anrufbeantworter und ein Anschluss auf Gerätetyp "
      "TFE eingestellt werden."}},
    /* 21 */
    {"Berechtigungen",
     {"",
      "Hier können Sie festlegen, welche Berechtigungen der Anschluss zum Telefonieren erhalten "
      "soll.",
      "", "- amtsberechtigt", "- halbamtsberechtigt", "- nichtamtsberechtigt", "- türberechtigt",
      "", "Hinweis:",
      "Je nach eingestelltem Gerätetyp können einzelne Einstellungen deaktiviert sein!"}},
    /* 22 */
    {"Rufsignalisierung festlegen",
     {"",
      "Hier können Sie festlegen, an welchen internen Anschlüssen ein Externanruf und/oder "
      "Türruf signalisiert werden soll.",
      "",
      "Bei den Türstellenrufen können Sie selektieren, von welcher Klingeltaste der Ruf "
      "ausgelöst wurde.",
      "", "Hinweis:",
      "Je nach eingestelltem Gerätetyp oder eingestellter Berechtigung können einzelne "
      "Kontrollkästchen deaktiviert sein!"}},
    /* 23 */
    {"Türrufe an allen Anschlüssen signalisieren",
     {"",
      "Hiermit können Sie die Türrufsignalisierung für alle Klingeltasten an allen Anschlüssen "
      "einschalten.",
      ""}},
    /* 24 */
    {"Türrufe an keinem Anschluss signalisieren",
     {"",
      "Hiermit können Sie die Türrufsignalisierung für alle Klingeltasten an allen Anschlüssen "
      "ausschalten.",
      ""}},
};
} // namespace

std::optional<THelpTopic> helpTopic(int topic) {
    if (topic < FirstHelpTopic || topic > LastHelpTopic)
        return std::nullopt;
    if (topic == 8)
        topic = 1;
    const TopicText& text = Topics[topic - 1];
    THelpTopic result{QString::fromUtf8(text.heading), {}};
    for (const char* line : text.lines)
        result.lines << QString::fromUtf8(line);
    return result;
}
