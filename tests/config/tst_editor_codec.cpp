// Moving the image into the editor and back, through the controls and their rules.
#include "EditorHost.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTreeWidget>

namespace {
ConfigImage factoryImage() {
    ConfigImage image{};
    encodeImage(factorySettings(), image);
    return image;
}
} // namespace

class TestEditorCodec : public QObject {
    Q_OBJECT
private slots:
    void factoryAfterStartUp();
    void oddTypeAndPermission();
    void reservedBytesCarried();
    void bellBoxUnticked();
    void readVersusFileOpen();
    void twoAnsweringMachines();
    void decodeIsExact();
    void decodeSettlesEnabledStates();
};

void TestEditorCodec::factoryAfterStartUp() {
    EditorHost h;
    h.editor->SetFactoryDefaults();
    ConfigImage image{};
    const std::uint8_t sum = h.editor->EditorToImage(image);
    QCOMPARE(image, factoryImage());
    QCOMPARE(sum, std::uint8_t(0xA3));
}

void TestEditorCodec::oddTypeAndPermission() {
    EditorHost h;
    h.editor->SetFactoryDefaults();
    ConfigImage image = factoryImage();
    image[0] = 3;    // unknown type at port 1
    image[5] = 0x06; // port 2: bits 1 and 2
    image[6] = 0x00; // port 3: no permission bit at all
    h.editor->ImageToEditor(image);
    QVERIFY(h.rb("RBTelefon21")->isChecked());
    QVERIFY(h.rb("RBnab22")->isChecked());
    QVERIFY(h.rb("RBvab23")->isChecked());
    ConfigImage out{};
    h.editor->EditorToImage(out);
    QCOMPARE(out[0], std::uint8_t(0));
    QCOMPARE(out[5], std::uint8_t(0x04));
    QCOMPARE(out[6], std::uint8_t(0x01));
}

void TestEditorCodec::reservedBytesCarried() {
    EditorHost h;
    ConfigImage image = factoryImage();
    QRandomGenerator rng(12);
    for (int i : {12, 13, 14, 15})
        image[i] = std::uint8_t(rng.bounded(256));
    for (int i = 20; i < ConfigImageSize; ++i)
        image[i] = std::uint8_t(rng.bounded(256));
    h.editor->ImageToEditor(image); // e.g. opened from a file
    ConfigImage held = image;
    h.editor->EditorToImage(held); // saved again
    QCOMPARE(held, image);
    h.run({"RBTfe23", "RBWartemusikNein"});
    h.editor->SetFactoryDefaults(); // the factory reset keeps them as well
    const std::uint8_t sum = h.editor->EditorToImage(held);
    for (int i = 0; i < ConfigImageSize; ++i)
        if ((i >= 12 && i <= 15) || i >= 20)
            QCOMPARE(held[i], image[i]);
    QCOMPARE(sum, imageChecksum(held));
}

void TestEditorCodec::bellBoxUnticked() {
    EditorHost h;
    h.editor->SetFactoryDefaults();
    h.run({"CBTaste3Ruf22", "CBTaste1Ruf24"});
    ConfigImage image{};
    h.editor->EditorToImage(image);
    QCOMPARE(image[8], std::uint8_t(0x07));
    QCOMPARE(image[9], std::uint8_t(0x0F));
    QCOMPARE(image[10], std::uint8_t(0x0D));
    QCOMPARE(image[11], std::uint8_t(0x0F));
}

// A read applies the door rule afterwards; opening a file does not.
void TestEditorCodec::readVersusFileOpen() {
    ConfigImage image = factoryImage();
    image[8] = image[9] = image[10] = image[11] = 0x02; // only port 2 rings for the door
    image[6] = 0x11;                                    // port 3 not door-permitted

    EditorHost read;
    read.editor->ImageToEditor(image);
    for (int p = 1; p <= 4; ++p)
        read.editor->ApplyDoorRule(p, read.editor->Port(p).tb->isChecked());
    QCOMPARE(read.portState(1), "vab E+ hab E- nab E- tb E+ arb E+ k E+ E+ E+ E+");
    QCOMPARE(read.portState(3), "vab E+ hab E- nab E- tb E- arb E+ k D- D- D- D-");

    EditorHost open;
    open.editor->ImageToEditor(image);
    QCOMPARE(open.portState(1), "vab E+ hab E- nab E- tb E+ arb E+ k E- E- E- E-");
    QCOMPARE(open.portState(2), "vab E+ hab E- nab E- tb E+ arb E+ k E+ E+ E+ E+");
    QCOMPARE(open.portState(3), "vab E+ hab E- nab E- tb E- arb E+ k D- D- D- D-");
    ConfigImage out{};
    open.editor->EditorToImage(out);
    QCOMPARE(out, image);
}

void TestEditorCodec::twoAnsweringMachines() {
    EditorHost h;
    h.editor->SetFactoryDefaults();
    ConfigImage image = factoryImage();
    image[0] = 1;
    image[2] = 1;
    h.editor->ImageToEditor(image);
    QVERIFY(h.rb("RBAnrufbeantworter21")->isChecked());
    QVERIFY(h.rb("RBAnrufbeantworter23")->isChecked());
    QCOMPARE(h.typeEnabled("RBAnrufbeantworter"), "DDDD");
    ConfigImage out{};
    h.editor->EditorToImage(out);
    QCOMPARE(out[0], std::uint8_t(1));
    QCOMPARE(out[1], std::uint8_t(0));
    QCOMPARE(out[2], std::uint8_t(1));
}

// Whatever the editor showed before, decoding leaves every control as the image says,
// and writing it back gives the image in its normal form.
void TestEditorCodec::decodeIsExact() {
    EditorHost h;
    h.editor->SetFactoryDefaults();
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

void TestEditorCodec::decodeSettlesEnabledStates() {
    EditorHost h;
    h.editor->SetFactoryDefaults();
    h.run({"RBAnrufbeantworter22", "RBTfe23"});
    ConfigImage image = factoryImage(); // all Telefon again
    h.modifiedCalls = 0;
    h.editor->ImageToEditor(image);
    QVERIFY(h.modifiedCalls > 0); // the caller clears the mark afterwards
    for (int p = 1; p <= 4; ++p)
        QCOMPARE(h.portState(p), "vab E+ hab E- nab E- tb E+ arb E+ k E+ E+ E+ E+");
    QCOMPARE(h.typeEnabled("RBAnrufbeantworter"), "EEEE");
    QCOMPARE(h.typeEnabled("RBTfe"), "EEEE");
}

QTEST_MAIN(TestEditorCodec)
#include "tst_editor_codec.moc"
