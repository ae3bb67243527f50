// The help texts: heading and lines of every topic, and the numbers without one.
#include "config/HelpTexts.h"

#include <QtTest>

class TestHelpTexts : public QObject {
    Q_OBJECT
private slots:
    // Heading, number of further lines and the last of them; the first is always empty.
    // A line count of -1: no such topic.
    void topicTexts_data() {
        QTest::addColumn<int>("topic");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<int>("lineCount");
        QTest::addColumn<QString>("lastLine");
        const QString more =
            "Weitere Informationen erhalten Sie, wenn Sie den Mauszeiger über eine "
            "Einstellung bewegen.";
        const struct {
            int topic;
            const char* heading;
            int lines;
            QString last;
        } rows[] = {
            {1, "Konfigurationsprogramm", 2,
             "Dieses Programm ermöglicht es Ihnen, Einstellungen an Ihrer Telefonanlage "
             "vorzunehmen."},
            {2, "Externanschluss", 4, more},
            {3, "Gerätetyp und Berechtigungen", 4, more},
            {4, "Rufsignalisierung festlegen", 4, more},
            {5, "Konfiguration auslesen", 3, ""},
            {6, "Konfiguration speichern", 5, ""},
            {7, "Werkseinstellungen", 5, ""},
            {8, "Konfigurationsprogramm", 2,
             "Dieses Programm ermöglicht es Ihnen, Einstellungen an Ihrer Telefonanlage "
             "vorzunehmen."},
            {9, "Öffnen", 3, ""},
            {10, "In Datei speichern", 3, ""},
            {11, "Neu erstellen", 4,
             "Im Gegensatz zum Menüpunkt Werkseinstellungen wird die Konfiguration nicht sofort in "
             "die "
             "Telefonanlage gespeichert."},
            {12, "Beenden", 3, ""},
            {13, "Drucken", 3, ""},
            {14, "Drucker einrichten", 3, ""},
            {15, "Neue Firmware", 6,
             "Bevor Sie die Firmware aktualisieren, laden Sie diese bitte zuerst auf Ihren PC "
             "herunter."},
            {16, "Amtsholung", 4, "Diese Einstellung gilt für alle Internteilnehmer."},
            {17, "Externanrufe heranholen", 5, "Diese Einstellung gilt für alle Internteilnehmer."},
            {18, "Anklopfschutz", 5,
             "Das Anklopfen eines weiteren Externteilnehmers an einem Externgespräch ist ein "
             "Orvell-Netz Leistungsmerkmal, und kann durch diese Einstellung nicht beeinflusst "
             "werden. "
             "Dazu müssen Sie das Orvell-Netz Leistungsmerkmal Anklopfen durch die entsprechende "
             "Bedienprozedur in der Vermittlungsstelle ein- bzw. ausschalten."},
            {19, "Wartemusik", 4,
             "Ein Externteilnehmer hört die Wartemusik, während Sie ein Rückfragegespräch mit "
             "einem "
             "Internteilnehmer führen."},
            {20, "Gerätetyp", 9,
             "Es kann nur ein Anschluss auf Gerätetyp Anrufbeantworter und ein Anschluss auf "
             "Gerätetyp TFE eingestellt werden."},
            {21, "Berechtigungen", 10,
             "Je nach eingestelltem Gerätetyp können einzelne Einstellungen deaktiviert sein!"},
            {22, "Rufsignalisierung festlegen", 7,
             "Je nach eingestelltem Gerätetyp oder eingestellter Berechtigung können einzelne "
             "Kontrollkästchen deaktiviert sein!"},
            {23, "Türrufe an allen Anschlüssen signalisieren", 3, ""},
            {24, "Türrufe an keinem Anschluss signalisieren", 3, ""},
        };
        for (const auto& r : rows)
            QTest::addRow("topic %d", r.topic)
                << r.topic << QString::fromUtf8(r.heading) << r.lines << r.last;
        for (int topic : {0, -1, 25, 1000})
            QTest::addRow("unknown %d", topic) << topic << QString() << -1 << QString();
    }
    void topicTexts() {
        QFETCH(int, topic);
        QFETCH(int, lineCount);
        const std::optional<THelpTopic> text = helpTopic(topic);
        QCOMPARE(text.has_value(), lineCount >= 0);
        if (!text)
            return;
        QTEST(text->heading, "heading");
        QCOMPARE(text->lines.size(), lineCount);
        QCOMPARE(text->lines.first(), QString());
        QTEST(text->lines.last(), "lastLine");
    }
};

QTEST_GUILESS_MAIN(TestHelpTexts)
#include "tst_help_texts.moc"
