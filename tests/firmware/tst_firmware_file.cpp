// Reading firmware files: hex items, records, and the files the loader refuses.
#include "FileFaults.h"
#include "TestHome.h"
#include "link/FirmwareFile.h"

#include <QtTest>

using Bytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {

const QString CannotStart = QStringLiteral("\nFirmware Update kann nicht gestartet werden.");
const QString Sendable = QStringLiteral("(can be sent)"); // stands for no refusal
const QString Unreadable = "Auf die Firmwaredatei kann nicht zugegriffen werden." + CannotStart;

// Records of the largest payload ("ff fe") fill the loader exactly; `over` adds an empty record.
QByteArray limitText(bool over) {
    constexpr std::size_t LargestPayload = 0xfffe;
    constexpr std::size_t LengthBytes = 2;
    constexpr std::size_t Records = MaxFirmwareBytes / (LargestPayload + LengthBytes);
    QByteArray text;
    for (std::size_t i = 0; i < Records; ++i)
        text += "ff fe" + QByteArray::number(i).rightJustified(3, ' ').repeated(LargestPayload) +
                "\r\n";
    return over ? text + "00 00 zz" : text;
}

QString recordList(const std::vector<TFirmwareRecord>& records) {
    QStringList list;
    for (const TFirmwareRecord& r : records)
        list << QStringLiteral("%1+%2").arg(r.offset).arg(r.size);
    return list.join(u' ');
}

constexpr int NoneBroken = -1;
constexpr std::size_t Untouched = 99; // where the split leaves `at` without a broken record

} // namespace

class TestFirmwareFile : public QObject {
    Q_OBJECT
private slots:
    // Text fed in pieces parses as the whole text does, wherever the pieces are cut.
    void parsesItems_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Bytes>("bytes");
        QTest::newRow("two records") << QByteArray("00 03 41 42 43 00 01 44")
                                     << Bytes{0x00, 0x03, 0x41, 0x42, 0x43, 0x00, 0x01, 0x44};
        QTest::newRow("no blank, line break") << QByteArray("0a1B\n") << Bytes{0x0A, 0x1B};
        QTest::newRow("with blank") << QByteArray("0A 1B") << Bytes{0x0A, 0x1B};
        QTest::newRow("lone digit") << QByteArray("A 1B") << Bytes{0x0A, 0x1B};
        QTest::newRow("odd run") << QByteArray("ABC") << Bytes{0xAB, 0x0C};
        QTest::newRow("tabs and CR LF") << QByteArray("\t ff\r\n\r\n\tFe  ") << Bytes{0xFF, 0xFE};
        QTest::newRow("items and blanks") << QByteArray("00 03 4142\r\n43 A 1b\tff")
                                          << Bytes{0, 3, 0x41, 0x42, 0x43, 0x0A, 0x1B, 0xFF};
        QTest::newRow("stops at non-item") << QByteArray("01 02 zz 03") << Bytes{0x01, 0x02};
        QTest::newRow("stops inside run") << QByteArray("0102g3 04") << Bytes{0x01, 0x02};
        QTest::newRow("0x prefix is no item") << QByteArray("0x41") << Bytes{0x00};
        QTest::newRow("empty") << QByteArray("") << Bytes{};
        QTest::newRow("blanks only") << QByteArray(" \r\n\t") << Bytes{};
        QTest::newRow("text first") << QByteArray("Version 01") << Bytes{};
    }
    void parsesItems() {
        QFETCH(QByteArray, text);
        QFETCH(Bytes, bytes);
        const TParsedFirmware parsed = ParseFirmwareText(text);
        QCOMPARE(parsed.bytes, bytes);
        QVERIFY(!parsed.tooLarge);
        for (qsizetype cut = 0; cut <= text.size(); ++cut) {
            TFirmwareTextParser parser;
            parser.Feed(text.left(cut));
            parser.Feed(text.mid(cut));
            QCOMPARE(parser.Finish().bytes, bytes);
        }
    }

    // The whole records ("offset+size") and where the broken one starts.
    void splitsRecords_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("records");
        QTest::addColumn<int>("brokenAt");
        QTest::newRow("an empty record is a record")
            << QByteArray("00 03 41 42 43 00 01 44 00 00") << "0+5 5+3 8+2" << NoneBroken;
        QTest::newRow("length runs past the end") << QByteArray("00 05 41 42") << "" << 0;
        QTest::newRow("second length byte missing") << QByteArray("00") << "" << 0;
        QTest::newRow("last record: second length byte missing")
            << QByteArray("00 01 41 00") << "0+3" << 3;
        QTest::newRow("high length byte counts") << QByteArray("00 01 41 01 00 42") << "0+3" << 3;
    }
    void splitsRecords() {
        QFETCH(QByteArray, text);
        QFETCH(int, brokenAt);
        std::vector<TFirmwareRecord> records;
        std::size_t at = Untouched;
        QCOMPARE(SplitFirmwareRecords(ParseFirmwareText(text).bytes, records, &at),
                 brokenAt == NoneBroken);
        QTEST(recordList(records), "records");
        QCOMPARE(at, brokenAt == NoneBroken ? Untouched : std::size_t(brokenAt));
    }

    // Why the loader refuses a text, whether checked as parsed or read from a file.
    void refusal_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("reason");
        const QString broken = QStringLiteral("Die Firmwaredatei ist unvollständig: Der %1. "
                                              "Datensatz reicht über das Ende der Datei hinaus.") +
                               CannotStart;
        const QString empty = "Die Firmwaredatei enthält keine Firmwaredaten." + CannotStart;
        QTest::newRow("whole records") << QByteArray("00 03 41 42 43\r\n00 01 44\r\n") << Sendable;
        QTest::newRow("payload missing") << QByteArray("00 03 41 42\r\n") << broken.arg(1);
        QTest::newRow("length runs past the end") << QByteArray("00 05 41 42") << broken.arg(1);
        QTest::newRow("second length byte missing") << QByteArray("00") << broken.arg(1);
        QTest::newRow("last record: second length byte missing")
            << QByteArray("00 01 41 00") << broken.arg(2);
        QTest::newRow("high length byte counts")
            << QByteArray("00 01 41 01 00 42") << broken.arg(2);
        QTest::newRow("empty") << QByteArray() << empty;
        QTest::newRow("blanks only") << QByteArray("  \r\n") << empty;
        QTest::newRow("text first") << QByteArray("Version 00") << empty;
        QTest::newRow("at the limit") << limitText(false) << Sendable;
        QTest::newRow("one record over")
            << limitText(true)
            << "Die Firmwaredatei ist zu groß: Sie enthält mehr als 262144 Bytes." + CannotStart;
    }
    void refusal() {
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        QCOMPARE(FirmwareRefusal(ParseFirmwareText(text)).value_or(Sendable), reason);
        TestHome home;
        QCOMPARE(CheckFirmwareFile(home.writeFile("f.zfw", text)).value_or(Sendable), reason);
    }

    // Exactly 262144 bytes are still taken; the parser stops one byte beyond.
    void sizeLimit_data() {
        QTest::addColumn<bool>("over");
        QTest::newRow("at the limit") << false;
        QTest::newRow("one record over") << true;
    }
    void sizeLimit() {
        QFETCH(bool, over);
        const TParsedFirmware parsed = ParseFirmwareText(limitText(over));
        QCOMPARE(parsed.bytes.size(), MaxFirmwareBytes);
        QCOMPARE(parsed.tooLarge, over);
    }

    // Only regular files are read: a FIFO must not block, /dev/zero must not fill the memory.
    void refusesUnreadableFiles_data() {
        QTest::addColumn<FileShape>("shape");
        QTest::newRow("fifo") << FileShape::Fifo;
        QTest::newRow("folder") << FileShape::Folder;
        QTest::newRow("link to /dev/zero") << FileShape::LinkToDevZero;
        QTest::newRow("/dev/zero") << FileShape::DevZero;
        QTest::newRow("missing") << FileShape::Missing;
    }
    void refusesUnreadableFiles() {
        QFETCH(FileShape, shape);
        TestHome home;
        const QString path = placeFile(shape, home.path("f.zfw"));
        QVERIFY(!path.isEmpty());
        QCOMPARE(CheckFirmwareFile(path), Unreadable);
    }

    // Every firmware file shipped with the program can be sent.
    void shippedSamplesAreWhole() {
        const QDir tools(qEnvironmentVariable("ZUVEX_SOURCE_DIR") + QStringLiteral("/tools"));
        const QStringList samples = tools.entryList({QStringLiteral("*.zfw")}, QDir::Files);
        if (samples.isEmpty())
            QSKIP("no sample firmware in tools/");
        for (const QString& name : samples)
            QCOMPARE(CheckFirmwareFile(tools.filePath(name)).value_or(Sendable), Sendable);
    }
};

QTEST_GUILESS_MAIN(TestFirmwareFile)
#include "tst_firmware_file.moc"
