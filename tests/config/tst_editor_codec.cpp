// Moving the image into the editor and back, through the controls and their rules.
#include "EditorHost.h"

#include <QRandomGenerator>

namespace {
// The factory image with some bytes changed: "5=06 6=00" sets byte 5 to 0x06 and byte 6 to 0.
ConfigImage factoryImage(const QString& changes = {}) {
    ConfigImage image{};
    encodeImage(factorySettings(), image);
    for (const QString& change : changes.split(u' ', Qt::SkipEmptyParts))
        image[change.section(u'=', 0, 0).toInt()] =
            std::uint8_t(change.section(u'=', 1).toUInt(nullptr, 16));
    return image;
}
} // namespace

class TestEditorCodec : public QObject {
    Q_OBJECT
private slots:
    // From the factory state the steps are clicked, then the image is loaded (unless "-"),
    // and written back.
    void imageThroughEditor_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("load");    // changes to the factory image, see factoryImage
        QTest::addColumn<QString>("checked"); // radio buttons checked afterwards
        QTest::addColumn<QString>("abTypes"); // see EditorHost::typeEnabled
        QTest::addColumn<QString>("out");     // the image written, as changes to the factory's
        QTest::newRow("factory after start-up") << ""
                                                << "-"
                                                << "RBTelefon21"
                                                << "EEEE"
                                                << "";
        QTest::newRow("odd type and permission") << ""
                                                 << "0=03 5=06 6=00"
                                                 << "RBTelefon21 RBnab22 RBvab23"
                                                 << "EEEE"
                                                 << "5=04 6=01";
        QTest::newRow("bell boxes unticked") << "CBTaste3Ruf22 CBTaste1Ruf24"
                                             << "-"
                                             << ""
                                             << "EEEE"
                                             << "8=07 10=0D";
        QTest::newRow("two answering machines") << ""
                                                << "0=01 2=01"
                                                << "RBAnrufbeantworter21 RBAnrufbeantworter23"
                                                << "DDDD"
                                                << "0=01 2=01";
    }
    void imageThroughEditor() {
        QFETCH(QString, steps);
        QFETCH(QString, load);
        QFETCH(QString, checked);
        QFETCH(QString, out);
        EditorHost h(EditorHost::Factory);
        h.runAll(steps);
        if (load != "-")
            h.editor->ImageToEditor(factoryImage(load));
        for (const QString& name : checked.split(u' ', Qt::SkipEmptyParts))
            QVERIFY2(h.rb(name)->isChecked(), qPrintable(name));
        QTEST(h.typeEnabled("RBAnrufbeantworter"), "abTypes");
        ConfigImage image{};
        const std::uint8_t sum = h.editor->EditorToImage(image);
        QCOMPARE(image, factoryImage(out));
        QCOMPARE(sum, imageChecksum(factoryImage(out)));
    }

    void reservedBytesCarried() {
        EditorHost h;
        ConfigImage image = factoryImage();
        QRandomGenerator rng(12);
        for (int i = 12; i < ConfigImageSize; ++i)
            if (i <= 15 || i >= 20)
                image[i] = std::uint8_t(rng.bounded(256));
        h.editor->ImageToEditor(image);                          // e.g. opened from a file
        QCOMPARE(h.image(image), image);                         // saved again
        h.runAll("RBTfe23 RBWartemusikNein SetFactoryDefaults"); // the reset keeps them as well
        ConfigImage held = image;
        const std::uint8_t sum = h.editor->EditorToImage(held);
        for (int i = 0; i < ConfigImageSize; ++i)
            if ((i >= 12 && i <= 15) || i >= 20)
                QCOMPARE(held[i], image[i]);
        QCOMPARE(sum, imageChecksum(held));
    }

    // A read applies the door rule afterwards; opening a file does not.
    void readVersusFileOpen() {
        // only port 2 rings for the door, port 3 is not door-permitted
        const ConfigImage image = factoryImage("8=02 9=02 10=02 11=02 6=11");
        const QString noDoor = "vab E+ hab E- nab E- tb E- arb E+ k D- D- D- D-";
        EditorHost read;
        read.editor->ImageToEditor(image);
        for (int p = 1; p <= 4; ++p)
            read.editor->ApplyDoorRule(p, read.editor->Port(p).tb->isChecked());
        QCOMPARE(read.portState(1), FactoryPort);
        QCOMPARE(read.portState(3), noDoor);

        EditorHost open;
        open.editor->ImageToEditor(image);
        QCOMPARE(open.portState(1), "vab E+ hab E- nab E- tb E+ arb E+ k E- E- E- E-");
        QCOMPARE(open.portState(2), FactoryPort);
        QCOMPARE(open.portState(3), noDoor);
        QCOMPARE(open.image(), image);
    }

    // Whatever the editor showed before, decoding leaves every control as the image says,
    // and writing it back gives the image in its normal form.
    void decodeIsExact() {
        EditorHost h(EditorHost::Factory);
        QRandomGenerator rng(4711);
        for (int round = 0; round < 300; ++round) {
            ConfigImage image{};
            for (auto& b : image)
                b = std::uint8_t(rng.bounded(256));
            // typical values most of the time, so that the rules' branches are reached
            for (int p = 0; p < 4; ++p)
                if (rng.bounded(4) != 0)
                    image[p] = std::uint8_t(rng.bounded(3));
            h.editor->ImageToEditor(image);
            QVERIFY(h.editor->ReadSettings() == decodeImage(image));
            ConfigImage out = image;
            ConfigImage expected = image;
            QCOMPARE(h.editor->EditorToImage(out), encodeImage(decodeImage(image), expected));
            QCOMPARE(out, expected);
        }
    }

    void decodeSettlesEnabledStates() {
        EditorHost h(EditorHost::Factory);
        h.runAll("RBAnrufbeantworter22 RBTfe23");
        h.modifiedCalls = 0;
        h.editor->ImageToEditor(factoryImage()); // all Telefon again
        QVERIFY(h.modifiedCalls > 0);            // the caller clears the mark afterwards
        QCOMPARE(h.portStates(), QStringList(4, FactoryPort));
        QCOMPARE(h.typeEnabled("RBAnrufbeantworter"), "EEEE");
        QCOMPARE(h.typeEnabled("RBTfe"), "EEEE");
    }
};

QTEST_MAIN(TestEditorCodec)
#include "tst_editor_codec.moc"
