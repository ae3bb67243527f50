// The image layout without widgets: factory bytes, odd values, reserved bytes.
#include "config/ConfigCodec.h"

#include <QRandomGenerator>
#include <QTest>

class TestConfigCodec : public QObject {
    Q_OBJECT
private slots:
    void factoryImage();
    void decodeOddValues_data();
    void decodeOddValues();
    void normalisedOnEncode_data();
    void normalisedOnEncode();
    void reservedBytesUntouched();
    void bellButtonBits();
    void settingsRoundTrip();
};

void TestConfigCodec::factoryImage() {
    ConfigImage image{};
    const std::uint8_t sum = encodeImage(factorySettings(), image);
    ConfigImage expected{};
    for (int i = 4; i <= 7; ++i)
        expected[i] = 0x19;
    for (int i = 8; i <= 11; ++i)
        expected[i] = 0x0F;
    expected[16] = 1;
    expected[17] = 1;
    expected[18] = 0;
    expected[19] = 1;
    QCOMPARE(image, expected);
    QCOMPARE(sum, std::uint8_t(0xA3));
    QCOMPARE(imageChecksum(image), std::uint8_t(0xA3));
}

void TestConfigCodec::decodeOddValues_data() {
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

void TestConfigCodec::decodeOddValues() {
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

void TestConfigCodec::normalisedOnEncode_data() {
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

void TestConfigCodec::normalisedOnEncode() {
    QFETCH(int, offset);
    QFETCH(int, in);
    ConfigImage image{};
    image[offset] = std::uint8_t(in);
    ConfigImage out = image;
    encodeImage(decodeImage(image), out);
    QTEST(int(out[offset]), "out");
}

void TestConfigCodec::reservedBytesUntouched() {
    ConfigImage image{};
    for (int i = 0; i < ConfigImageSize; ++i)
        image[i] = std::uint8_t(0xA0 + i);
    const ConfigImage before = image;
    const std::uint8_t sum = encodeImage(factorySettings(), image);
    for (int i : {12, 13, 14, 15})
        QCOMPARE(image[i], before[i]);
    for (int i = 20; i < ConfigImageSize; ++i)
        QCOMPARE(image[i], before[i]);
    QCOMPARE(sum, imageChecksum(image));
    QVERIFY(sum != 0xA3); // the reserved bytes are part of the sum
}

void TestConfigCodec::bellButtonBits() {
    TEditorSettings s = factorySettings();
    s.ports[2].klingeltaste[1] = false; // bell button 2 no longer rings at port 3
    ConfigImage image{};
    encodeImage(s, image);
    QCOMPARE(image[8], std::uint8_t(0x0F));
    QCOMPARE(image[9], std::uint8_t(0x0B));
    QCOMPARE(image[10], std::uint8_t(0x0F));
    s.ports[0].klingeltaste = {false, false, false, false};
    encodeImage(s, image);
    QCOMPARE(image[8], std::uint8_t(0x0E));
    QCOMPARE(image[9], std::uint8_t(0x0A));
}

void TestConfigCodec::settingsRoundTrip() {
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

QTEST_GUILESS_MAIN(TestConfigCodec)
#include "tst_config_codec.moc"
