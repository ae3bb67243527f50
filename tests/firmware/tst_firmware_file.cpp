// Reading firmware files: hex items, records, and the files the loader refuses.
#include "link/FirmwareFile.h"

#include <QtTest>
#include <sys/stat.h>

using Bytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {

Bytes recordsOf(std::size_t count, std::size_t payload) {
    Bytes bytes;
    for (std::size_t i = 0; i < count; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(payload >> 8));
        bytes.push_back(static_cast<std::uint8_t>(payload & 0xFF));
        bytes.insert(bytes.end(), payload, static_cast<std::uint8_t>(i));
    }
    return bytes;
}

QByteArray hexText(const Bytes& bytes) {
    QByteArray text;
    text.reserve(static_cast<qsizetype>(bytes.size() * 3));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text += QByteArray::number(bytes[i], 16).rightJustified(2, '0');
        text += (i % 16 == 15) ? "\r\n" : " ";
    }
    return text;
}

} // namespace

class TestFirmwareFile : public QObject {
    Q_OBJECT
private slots:
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
        QTest::newRow("stops at non-item") << QByteArray("01 02 zz 03") << Bytes{0x01, 0x02};
        QTest::newRow("stops inside run") << QByteArray("0102g3 04") << Bytes{0x01, 0x02};
        QTest::newRow("0x prefix is no item") << QByteArray("0x41") << Bytes{0x00};
        QTest::newRow("empty") << QByteArray() << Bytes{};
        QTest::newRow("blanks only") << QByteArray(" \r\n\t") << Bytes{};
        QTest::newRow("text first") << QByteArray("Version 01") << Bytes{};
    }
    void parsesItems() {
        QFETCH(QByteArray, text);
        QFETCH(Bytes, bytes);
        const TParsedFirmware parsed = ParseFirmwareText(text);
        QCOMPARE(parsed.bytes, bytes);
        QVERIFY(!parsed.tooLarge);
    }

    void splitsRecords() {
        const Bytes bytes{0x00, 0x03, 0x41, 0x42, 0x43, 0x00, 0x01, 0x44, 0x00, 0x00};
        std::vector<TFirmwareRecord> records;
        QVERIFY(SplitFirmwareRecords(bytes, records));
        QCOMPARE(records.size(), std::size_t(3));
        QCOMPARE(records[0].offset, std::size_t(0));
        QCOMPARE(records[0].size, std::size_t(5));
        QCOMPARE(records[1].offset, std::size_t(5));
        QCOMPARE(records[1].size, std::size_t(3));
        QCOMPARE(records[2].offset, std::size_t(8)); // an empty record is a record
        QCOMPARE(records[2].size, std::size_t(2));
    }

    void refusesBrokenRecords_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<std::size_t>("brokenAt");
        QTest::addColumn<QString>("which");
        QTest::newRow("length runs past the end")
            << QByteArray("00 05 41 42") << std::size_t(0) << QStringLiteral("Der 1. Datensatz");
        QTest::newRow("second length byte missing")
            << QByteArray("00") << std::size_t(0) << QStringLiteral("Der 1. Datensatz");
        QTest::newRow("last record: second length byte missing")
            << QByteArray("00 01 41 00") << std::size_t(3) << QStringLiteral("Der 2. Datensatz");
        QTest::newRow("high length byte counts")
            << QByteArray("00 01 41 01 00 42") << std::size_t(3)
            << QStringLiteral("Der 2. Datensatz");
    }
    void refusesBrokenRecords() {
        QFETCH(QByteArray, text);
        QFETCH(std::size_t, brokenAt);
        QFETCH(QString, which);
        const TParsedFirmware parsed = ParseFirmwareText(text);
        std::vector<TFirmwareRecord> records;
        std::size_t at = 99;
        QVERIFY(!SplitFirmwareRecords(parsed.bytes, records, &at));
        QCOMPARE(at, brokenAt);
        for (const auto& r : records)
            QVERIFY(r.offset + r.size <= parsed.bytes.size());
        const QString refusal = FirmwareRefusal(parsed);
        QVERIFY2(
            refusal.startsWith(QStringLiteral("Die Firmwaredatei ist unvollständig: ") + which),
            qPrintable(refusal));
        QVERIFY(refusal.endsWith(QStringLiteral("\nFirmware Update kann nicht gestartet werden.")));
    }

    void refusesEmptyFile() {
        for (const QByteArray& text :
             {QByteArray(), QByteArray("  \r\n"), QByteArray("Version 00")}) {
            const QString refusal = FirmwareRefusal(ParseFirmwareText(text));
            QCOMPARE(refusal, QStringLiteral("Die Firmwaredatei enthält keine Firmwaredaten.\n"
                                             "Firmware Update kann nicht gestartet werden."));
        }
    }

    void sizeLimit() {
        // 4 records of 65534 payload bytes: exactly 262144 bytes are still taken
        const Bytes full = recordsOf(4, 65534);
        QCOMPARE(full.size(), MaxFirmwareBytes);
        const TParsedFirmware atLimit = ParseFirmwareText(hexText(full));
        QCOMPARE(atLimit.bytes.size(), MaxFirmwareBytes);
        QVERIFY(!atLimit.tooLarge);
        QCOMPARE(FirmwareRefusal(atLimit), QString());

        // one record more, however small, is too much; the parser stops right there
        Bytes over = full;
        over.insert(over.end(), {0x00, 0x00});
        const TParsedFirmware tooLarge = ParseFirmwareText(hexText(over) + "zz");
        QVERIFY(tooLarge.tooLarge);
        QCOMPARE(tooLarge.bytes.size(), MaxFirmwareBytes);
        QCOMPARE(FirmwareRefusal(tooLarge),
                 QStringLiteral("Die Firmwaredatei ist zu groß: Sie enthält mehr als 262144 "
                                "Bytes.\nFirmware Update kann nicht gestartet werden."));
    }

    // Text fed in pieces parses as the whole text does, wherever the pieces are cut.
    void parsesAcrossPieces_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("items and blanks") << QByteArray("00 03 4142\r\n43 A 1b\tff");
        QTest::newRow("odd run at the end") << QByteArray("ABC");
        QTest::newRow("stops inside run") << QByteArray("0102g3 04");
    }
    void parsesAcrossPieces() {
        QFETCH(QByteArray, text);
        const TParsedFirmware whole = ParseFirmwareText(text);
        for (qsizetype cut = 0; cut <= text.size(); ++cut) {
            TFirmwareTextParser parser;
            parser.Feed(text.left(cut));
            parser.Feed(text.mid(cut));
            QCOMPARE(parser.Finish().bytes, whole.bytes);
        }
    }

    // Only regular files are read: a FIFO must not block, /dev/zero must not fill the memory.
    void refusesNonRegularFiles_data() {
        QTest::addColumn<QString>("name"); // empty: a FIFO
        QTest::newRow("fifo") << QString();
        QTest::newRow("/dev/zero") << "/dev/zero";
        QTest::newRow("folder") << "/tmp";
    }
    void refusesNonRegularFiles() {
        QFETCH(QString, name);
        QTemporaryDir dir;
        if (name.isEmpty()) {
            name = dir.filePath(QStringLiteral("pipe.zfw"));
            QCOMPARE(::mkfifo(QFile::encodeName(name), 0644), 0);
        }
        QCOMPARE(CheckFirmwareFile(name),
                 QStringLiteral("Auf die Firmwaredatei kann nicht zugegriffen werden.\n"
                                "Firmware Update kann nicht gestartet werden."));
    }

    void checksFiles() {
        QTemporaryDir dir;
        auto write = [&](const char* name, const QByteArray& text) {
            QFile f(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(text);
        };
        write("good.zfw", "00 03 41 42 43\r\n00 01 44\r\n");
        write("short.zfw", "00 03 41 42\r\n");
        QCOMPARE(CheckFirmwareFile(dir.filePath(QStringLiteral("good.zfw"))), QString());
        QVERIFY(CheckFirmwareFile(dir.filePath(QStringLiteral("short.zfw")))
                    .startsWith(QStringLiteral("Die Firmwaredatei ist unvollständig")));
        QCOMPARE(CheckFirmwareFile(dir.filePath(QStringLiteral("missing.zfw"))),
                 QStringLiteral("Auf die Firmwaredatei kann nicht zugegriffen werden.\n"
                                "Firmware Update kann nicht gestartet werden."));
    }

    // Every firmware file shipped with the program can be sent.
    void shippedSamplesAreWhole() {
        const QDir tools(qEnvironmentVariable("ZUVEX_SOURCE_DIR") + QStringLiteral("/tools"));
        const QStringList samples = tools.entryList({QStringLiteral("*.zfw")}, QDir::Files);
        if (samples.isEmpty())
            QSKIP("no sample firmware in tools/");
        for (const QString& name : samples) {
            QCOMPARE(CheckFirmwareFile(tools.filePath(name)), QString());
        }
    }
};

QTEST_GUILESS_MAIN(TestFirmwareFile)
#include "tst_firmware_file.moc"
