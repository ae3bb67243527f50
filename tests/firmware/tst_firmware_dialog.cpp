// The firmware dialog: its layout, "Start" with the file checks, and the transfer it runs
// against the simulated telephone system.
#include "FirmwareSim.h"
#include "ModalDriver.h"
#include "QtPool.h"
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
using namespace std::chrono_literals;

namespace {

// A box as "caption|line|line".
QString box(const QString& caption, const QStringList& lines) {
    return (QStringList{caption} + lines).join(u'|');
}

} // namespace

class TestFirmwareDialog : public QObject, SimFixture {
    Q_OBJECT
    std::unique_ptr<TFirmwareDlg> dlg;
    int starts = 0;
    int cancels = 0;
    std::vector<int> sleeps;
    QStringList errors;
    QStringList results;
    std::function<void()> duringResult;

    // Shows the dialog modally; `steps` run inside its modal loop.
    int runDialog(const std::function<void()>& steps) {
        return ::runDialog(dlg.get(), steps, [this] { return !dlg->TransferRunning; });
    }
    // Which of Start, Abbrechen, the file name and "..." are enabled, e.g. "EEDD".
    QString enabled() const {
        QString s;
        for (QWidget* w : std::initializer_list<QWidget*>{dlg->OKBtn, dlg->CancelBtn, dlg->Filename,
                                                          dlg->BtnSuchen})
            s += w->isEnabled() ? u'E' : u'D';
        return s;
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
        dlg->ShowErrorBox = [this](const QString& c, const QStringList& l) { errors << box(c, l); };
        dlg->ShowResultBox = [this](const QString& c, const QStringList& l) {
            results << box(c, l);
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

    // "Start" checks the file and then asks for the handshake; files that cannot be sent whole
    // never get as far as the telephone system.
    void start_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("warning"); // none if empty
        const QString cannot = "\nFirmware Update kann nicht gestartet werden.";
        const QString pastTheEnd = "Die Firmwaredatei ist unvollständig: Der 2. Datensatz reicht "
                                   "über das Ende der Datei hinaus." +
                                   cannot;
        QTest::newRow("no file name") << QString() << "Keine Datei ausgewählt";
        QTest::newRow("missing file")
            << home.path("fehlt.zfw")
            << "Auf die Firmwaredatei kann nicht zugegriffen werden." + cannot;
        QTest::newRow("no byte") << home.writeFile("leer.zfw", "\r\n")
                                 << "Die Firmwaredatei enthält keine Firmwaredaten." + cannot;
        QTest::newRow("record past the end")
            << home.writeFile("kurz.zfw", "00 03 41 42 43 00 02 44") << pastTheEnd;
        QTest::newRow("second length byte missing")
            << home.writeFile("halb.zfw", "00 01 41 00") << pastTheEnd;
        QTest::newRow("too large")
            << home.writeFile("gross.zfw", FirmwareText(FirmwareRecords(5, 60000)))
            << "Die Firmwaredatei ist zu groß: Sie enthält mehr als 262144 Bytes." + cannot;
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
        QTest::addColumn<QStringList>("results");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("loaded") << "COM3"
                                << QStringList{"Neue Firmware||Das speichen der Firmware in der "
                                               "Zuvex 910k war erfolgreich."}
                                << QStringList{};
        QTest::newRow("no such port")
            << "COM7" << QStringList{}
            << QStringList{"Schnittstellenfehler|Fehler!|Auf die Schnittstelle kann nicht "
                           "zugegriffen werden."};
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
            QCOMPARE(enabled(), "DDDD");
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
        QCOMPARE(enabled(), "EEDD");
        QCOMPARE(cancels, 0);
        if (loads) {
            QVERIFY(closeRefused);
            QVERIFY(progressAtResult > 0 && progressAtResult < 100);
            QCOMPARE(sleeps, (std::vector<int>{200, 200, 3000}));
            QFile f(SampleFirmware());
            QVERIFY(f.open(QIODevice::ReadOnly));
            const auto sample = ParseFirmwareText(f.readAll()).bytes;
            QCOMPARE(sim->received(), AsString(sample));
            QVERIFY(sim->waitForMode(DeviceMode::Restarting, 3000ms));
            QCOMPARE(sim->lastFirmware(), sample);
        }
        // shown again, the dialog is ready for the next file
        runDialog([&] {
            QCOMPARE(enabled(), "EEEE");
            QCOMPARE(dlg->ProgressBar1->value(), 0);
        });
    }
};

QTEST_MAIN(TestFirmwareDialog)
#include "tst_firmware_dialog.moc"
