// The image layout without widgets: factory bytes, odd values, reserved bytes.
#include "config/ConfigCodec.h"

#include <QRandomGenerator>
#include <QTest>
#include <functional>

using Change = std::function<void(TEditorSettings&)>;

class TestConfigCodec : public QObject {
    Q_OBJECT
private slots:
    // The factory settings with one change, encoded into an empty image.
    void encode_data() {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QByteArray>("bytes"); // the image's first 20 bytes, the rest stay 0
        QTest::addColumn<int>("sum");
        QTest::newRow("factory") << Change([](TEditorSettings&) {})
                                 << QByteArray("00000000 19191919 0F0F0F0F 00000000 01010001")
                                 << 0xA3;
        QTest::newRow("bell button 2 silent at port 3")
            << Change([](TEditorSettings& s) { s.ports[2].klingeltaste[1] = false; })
            << QByteArray("00000000 19191919 0F0B0F0F 00000000 01010001") << 0x9F;
        QTest::newRow("no bell button at port 1 either") << Change([](TEditorSettings& s) {
            s.ports[2].klingeltaste[1] = false;
            s.ports[0].klingeltaste = {false, false, false, false};
        }) << QByteArray("00000000 19191919 0E0A0E0E 00000000 01010001")
                                                         << 0x9B;
    }
    void encode() {
        QFETCH(Change, change);
        QFETCH(QByteArray, bytes);
        TEditorSettings s = factorySettings();
        change(s);
        ConfigImage image{};
        const std::uint8_t sum = encodeImage(s, image);
        ConfigImage expected{};
        const QByteArray head = QByteArray::fromHex(bytes);
        std::copy(head.begin(), head.end(), expected.begin());
        QCOMPARE(image, expected);
        QTEST(int(sum), "sum");
        QTEST(int(imageChecksum(image)), "sum");
    }

    void decodeOddValues_data() {
        QTest::addColumn<int>("typ");
        QTest::addColumn<int>("berecht");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("permission");
        QTest::addColumn<bool>("tb");
        QTest::addColumn<bool>("arb");
        const int T = TypTelefon, A = TypAnrufbeantworter, F = TypTfe;
        const int vab = int(Permission::Amtsberechtigt), hab = int(Permission::Halbamtsberechtigt),
                  nab = int(Permission::Nichtamtsberechtigt);
        QTest::newRow("Typ 3 is Telefon") << 3 << 0x01 << T << vab << false << false;
        QTest::newRow("Typ 255 is Telefon") << 255 << 0x01 << T << vab << false << false;
        QTest::newRow("Typ 1") << 1 << 0x01 << A << vab << false << false;
        QTest::newRow("Typ 2") << 2 << 0x04 << F << nab << false << false;
        QTest::newRow("Berecht 0x06 nab wins") << 0 << 0x06 << T << nab << false << false;
        QTest::newRow("Berecht 0x07 nab wins") << 0 << 0x07 << T << nab << false << false;
        QTest::newRow("Berecht 0x03 hab wins") << 0 << 0x03 << T << hab << false << false;
        QTest::newRow("Berecht 0x00 vab") << 0 << 0x00 << T << vab << false << false;
        QTest::newRow("Berecht 0xE0 high bits ignored") << 0 << 0xE0 << T << vab << false << false;
        QTest::newRow("Berecht 0x18 tb arb") << 0 << 0x18 << T << vab << true << true;
    }
    void decodeOddValues() {
        QFETCH(int, typ);
        QFETCH(int, berecht);
        for (int p = 0; p < 4; ++p) {
            ConfigImage image{};
            image[ImageOffset::Typ + p] = std::uint8_t(typ);
            image[ImageOffset::Berecht + p] = std::uint8_t(berecht);
            const TPortSettings port = decodeImage(image).ports[p];
            QTEST(int(port.type), "type");
            QTEST(int(port.permission), "permission");
            QTEST(port.tuerberechtigt, "tb");
            QTEST(port.externanruf, "arb");
        }
    }

    void normalisedOnEncode_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("in");
        QTest::addColumn<int>("out");
        QTest::newRow("Typ 3 written as 0") << 2 << 3 << 0;
        QTest::newRow("Typ 2 kept") << 3 << 2 << 2;
        QTest::newRow("Berecht 0x00 gets bit 0") << 4 << 0x00 << 0x01;
        QTest::newRow("Berecht 0x06 becomes nab") << 5 << 0x06 << 0x04;
        QTest::newRow("Berecht 0xFF") << 6 << 0xFF << 0x1C;
        QTest::newRow("TasteRuf high bits dropped") << 8 << 0xF5 << 0x05;
        QTest::newRow("Heranholen 7 written as 1") << 16 << 7 << 1;
        QTest::newRow("Wartemusik 0x80 written as 1") << 19 << 0x80 << 1;
    }
    void normalisedOnEncode() {
        QFETCH(int, offset);
        QFETCH(int, in);
        ConfigImage image{};
        image[offset] = std::uint8_t(in);
        ConfigImage out = image;
        encodeImage(decodeImage(image), out);
        QTEST(int(out[offset]), "out");
    }

    void reservedBytesUntouched() {
        ConfigImage image{};
        for (int i = 0; i < ConfigImageSize; ++i)
            image[i] = std::uint8_t(0xA0 + i);
        const ConfigImage before = image;
        const std::uint8_t sum = encodeImage(factorySettings(), image);
        for (int i = 0; i < ConfigImageSize; ++i)
            if ((i >= 12 && i <= 15) || i >= 20)
                QCOMPARE(image[i], before[i]);
        QCOMPARE(sum, imageChecksum(image));
        QVERIFY(sum != 0xA3); // the reserved bytes are part of the sum
    }

    void settingsRoundTrip() {
        QRandomGenerator rng(910);
        for (int round = 0; round < 500; ++round) {
            TEditorSettings s;
            s.amtsholung = rng.bounded(2);
            s.heranholen = rng.bounded(2);
            s.anklopfschutz = rng.bounded(2);
            s.wartemusik = rng.bounded(2);
            for (TPortSettings& port : s.ports) {
                port.type = DeviceType(rng.bounded(3));
                port.permission = Permission(rng.bounded(3));
                port.tuerberechtigt = rng.bounded(2);
                port.externanruf = rng.bounded(2);
                for (bool& k : port.klingeltaste)
                    k = rng.bounded(2);
            }
            ConfigImage image{};
            encodeImage(s, image);
            QVERIFY(decodeImage(image) == s);
        }
    }
};

QTEST_GUILESS_MAIN(TestConfigCodec)
#include "tst_config_codec.moc"
