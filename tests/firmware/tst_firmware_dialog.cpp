// The firmware dialog: its layout, "Start" with the file checks, and the transfer it runs
// against the simulated telephone system.
#include "FirmwareSim.h"
#include "ModalDriver.h"
#include "QtPool.h"
#include "ShownBox.h"
#include "SimStart.h"
#include "TestHome.h"
#include "link/FirmwareDlg.h"
#include "link/FirmwareFile.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>
#include <memory>
#include <optional>

using namespace zuvexsim;

namespace {

// Whether "Start", "Abbrechen", the file name and "..." are enabled, in that order.
using Controls = QList<bool>;
const Controls AllEnabled{true, true, true, true};
const Controls ButtonsOnly{true, true, false, false};
const Controls NoneEnabled{false, false, false, false};

} // namespace

class TestFirmwareDialog : public QObject, SimFixture {
    Q_OBJECT
    std::unique_ptr<TFirmwareDlg> dlg;
    int starts = 0;
    int cancels = 0;
    std::vector<int> sleeps;
    QList<ShownBox> errors;
    QList<ShownBox> results;
    std::function<void()> duringResult;

    // Shows the dialog modally; `steps` run inside its modal loop.
    int runDialog(const std::function<void()>& steps) {
        return ::runDialog(dlg.get(), steps, [this] { return !dlg->TransferRunning; });
    }
    Controls enabled() const {
        return {dlg->OKBtn->isEnabled(), dlg->CancelBtn->isEnabled(), dlg->Filename->isEnabled(),
                dlg->BtnSuchen->isEnabled()};
    }

private slots:
    void initTestCase() { useOneQtPoolThread(); }
    void init() {
        sim = startSim(simOptions(3, 100));
        dlg = std::make_unique<TFirmwareDlg>();
        starts = cancels = 0;
        sleeps.clear();
        errors.clear();
        results.clear();
        duringResult = nullptr;
        dlg->StartFirmwareUpdate = [this] { ++starts; };
        dlg->ComNumber = [] { return 3; };
        dlg->OnCancelled = [this] { ++cancels; };
        dlg->Sleep = [this](int ms) { sleeps.push_back(ms); };
        dlg->ShowErrorBox = [this](const QString& c, const QStringList& l) {
            errors << ShownBox(c, l);
        };
        dlg->ShowResultBox = [this](const QString& c, const QStringList& l) {
            results << ShownBox(c, l);
            if (duringResult)
                duringResult();
        };
    }
    void cleanup() {
        dlg.reset();
        sim.reset();
    }

    void layout() {
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Firmware Update"));
        QCOMPARE(dlg->size(), QSize(399, 333));
        QCOMPARE(dlg->Memo1->toPlainText(),
                 "Bitte sichern Sie vor dem Einspielen der neuen Firmware ihre \n"
                 "Einstellungen .\n"
                 "Es kann sein, dass die Einstellungen nach dem Einspielen auf die \n"
                 "Werkseinstellungen zurückgestellt werden.\n"
                 "\n"
                 "Wählen Sie eine Firmwaredatei aus.\n"
                 "Klicken Sie dann auf Start, um mit dem Einspielen zu beginnen.");
        QVERIFY(dlg->Memo1->isReadOnly());
        for (const char* name :
             {"Memo1", "Filename", "BtnSuchen", "ProgressBar1", "OKBtn", "CancelBtn"})
            QVERIFY2(dlg->findChild<QWidget*>(QString::fromLatin1(name)), name);
        QCOMPARE(dlg->BtnSuchen->text(), QStringLiteral("..."));
        QCOMPARE(dlg->OKBtn->text(), QStringLiteral("Start"));
        QVERIFY(dlg->OKBtn->isDefault());
        QCOMPARE(dlg->CancelBtn->text(), QStringLiteral("Abbrechen"));
        QCOMPARE(dlg->ProgressBar1->minimum(), 0);
        QCOMPARE(dlg->ProgressBar1->maximum(), 100);
        QCOMPARE(dlg->FirmwarePortName, QString());
        QVERIFY(!dlg->TransferRunning);
    }

    // The seven lines show as seven lines, none wrapped, all of them without scrolling, and
    // the memo lies inside the dialog.
    void memoShowsItsLinesWhole() {
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
        QTextDocument* text = dlg->Memo1->document();
        QCOMPARE(text->blockCount(), 7);
        for (QTextBlock block = text->begin(); block.isValid(); block = block.next())
            QVERIFY2(block.layout()->lineCount() == 1, qPrintable(block.text()));
        QCOMPARE(dlg->Memo1->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(dlg->Memo1->verticalScrollBar()->maximum(), 0);
        const QRect memo(dlg->Memo1->mapTo(dlg.get(), QPoint()), dlg->Memo1->size());
        QVERIFY(dlg->rect().contains(memo));
        QVERIFY(dlg->Memo1->font().pixelSize() >= 9); // still readable
    }

    void fileChoice() {
        TFileDialogRequest asked;
        QString answer = QStringLiteral("/tmp/neu.zfw");
        dlg->FileDialogProvider = [&](const TFileDialogRequest& r) {
            asked = r;
            return answer;
        };
        QTest::mouseClick(dlg->BtnSuchen, Qt::LeftButton);
        QVERIFY(!asked.save);
        QCOMPARE(asked.defaultSuffix, QStringLiteral("ZFW"));
        QCOMPARE(asked.fileName, QStringLiteral("*.zfw"));
        QCOMPARE(dlg->Filename->text(), answer);
        answer.clear(); // cancelled: the name stays
        QTest::mouseClick(dlg->BtnSuchen, Qt::LeftButton);
        QCOMPARE(dlg->Filename->text(), QStringLiteral("/tmp/neu.zfw"));
    }

    // "Start" checks the file (which files are refused is the loader's) and then asks for the
    // handshake; a refused file never gets as far as the telephone system.
    void start_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("warning"); // none if empty
        QTest::newRow("no file name") << QString() << "Keine Datei ausgewählt";
        QTest::newRow("refused file")
            << home.path("fehlt.zfw")
            << "Auf die Firmwaredatei kann nicht zugegriffen werden.\nFirmware Update kann nicht "
               "gestartet werden.";
        QTest::newRow("sample firmware") << SampleFirmware() << QString();
    }
    void start() {
        QFETCH(QString, file);
        QFETCH(QString, warning);
        std::optional<ModalAnswer> box;
        if (!warning.isEmpty())
            box.emplace("WarningBox", press("OK"));
        runDialog([&] {
            dlg->Filename->setText(file);
            QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
            QCOMPARE(bool(box), box && box->seen());
            QVERIFY(dlg->isVisible()); // the dialog stays open, for the handshake too
            QCOMPARE(starts, box ? 0 : 1);
            QCOMPARE(dlg->FirmwarePortName, box ? QString() : "COM3");
            QCOMPARE(cancels, 0);
        });
        if (box) {
            QCOMPARE(box->caption, "Warnung");
            QCOMPARE(box->lines, warning.split(u'\n'));
        }
        QCOMPARE(sim->received(), std::string());
        QCOMPARE(cancels, 1); // closed without a transfer: the handshake is stopped
    }

    // Whether it loads or fails, the transfer closes the dialog and leaves it ready for the
    // next file.
    void transfer_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QList<ShownBox>>("results");
        QTest::addColumn<QList<ShownBox>>("errors");
        QTest::newRow("loaded") << "COM3"
                                << QList<ShownBox>{{"Neue Firmware",
                                                    {QString(), "Das speichen der Firmware in der "
                                                                "Zuvex 910k war erfolgreich."}}}
                                << QList<ShownBox>{};
        QTest::newRow("no such port")
            << "COM7" << QList<ShownBox>{}
            << QList<ShownBox>{
                   {"Schnittstellenfehler",
                    {"Fehler!", "Auf die Schnittstelle kann nicht zugegriffen werden."}}};
    }
    void transfer() {
        QFETCH(QString, port);
        const bool loads = port == "COM3";
        if (loads)
            QVERIFY(EnterLoadingMode(port));
        sim->clearTraffic();
        bool closeRefused = false;
        int progressAtResult = -1;
        duringResult = [&] {
            QVERIFY(dlg->TransferRunning);
            QCOMPARE(enabled(), NoneEnabled);
            dlg->reject(); // Esc or the close box while the transfer runs
            closeRefused = dlg->isVisible();
            progressAtResult = dlg->ProgressBar1->value();
        };
        const int result = runDialog([&] {
            dlg->Filename->setText(SampleFirmware());
            dlg->FirmwarePortName = port;
            dlg->RunFirmwareUpdate();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QTEST(results, "results");
        QTEST(errors, "errors");
        QVERIFY(!dlg->TransferRunning);
        QCOMPARE(enabled(), ButtonsOnly);
        QCOMPARE(cancels, 0);
        if (loads) {
            QVERIFY(closeRefused);
            QVERIFY(progressAtResult > 0 && progressAtResult < 100);
            QCOMPARE(sleeps, LoadedPauses); // the dialog's own sleep
        }
        // shown again, the dialog is ready for the next file
        runDialog([&] {
            QCOMPARE(enabled(), AllEnabled);
            QCOMPARE(dlg->ProgressBar1->value(), 0);
        });
    }
};

QTEST_MAIN(TestFirmwareDialog)
#include "tst_firmware_dialog.moc"
