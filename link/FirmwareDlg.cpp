#include "link/FirmwareDlg.h"

#include "app/DialogFrame.h"
#include "app/WarningBoxes.h"

#include "link/FirmwareTransfer.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTextCursor>
#include <algorithm>

namespace {

const char* const memoLines[] = {
    "Bitte sichern Sie vor dem Einspielen der neuen Firmware ihre ",
    "Einstellungen .",
    "Es kann sein, dass die Einstellungen nach dem Einspielen auf die ",
    "Werkseinstellungen zurückgestellt werden.",
    "",
    "Wählen Sie eine Firmwaredatei aus.",
    "Klicken Sie dann auf Start, um mit dem Einspielen zu beginnen.",
};

// The largest font, up to the memo's own, in which every line fits the memo's width unwrapped
// and all lines fit its height, so that the text shows whole without scrolling.
QFont fittingFont(const QPlainTextEdit* memo, const QStringList& lines) {
    const int margin = int(memo->document()->documentMargin());
    const QRect room = memo->contentsRect().adjusted(margin, margin, -margin - 1, -margin);
    QFont font = memo->font();
    for (int pixels = font.pixelSize(); pixels > 6; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        int widest = 0;
        for (const QString& line : lines)
            widest = std::max(widest, metrics.horizontalAdvance(line));
        if (widest <= room.width() && metrics.lineSpacing() * lines.size() <= room.height())
            break;
    }
    return font;
}

} // namespace

TFirmwareDlg::TFirmwareDlg(QWidget* parent) : QDialog(parent) {
    SetUpDialogFrame(this, QStringLiteral("FirmwareDlg"), QStringLiteral("Firmware Update"),
                     {399, 333});
    FileDialogProvider = runPlatformFileDialog;

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("GroupBox1"));
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(8, 8, 383, 281);

    Memo1 = new QPlainTextEdit(frame);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAccessibleName(QStringLiteral("Hinweise"));
    Memo1->setReadOnly(true);
    Memo1->setGeometry(8, 8, 367, 145);
    QStringList lines;
    for (const char* line : memoLines)
        lines << QString::fromUtf8(line);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap); // seven lines, shown as seven lines
    Memo1->setFont(fittingFont(Memo1, lines));
    Memo1->setPlainText(lines.join(u'\n'));
    Memo1->moveCursor(QTextCursor::Start);

    auto* lblDatei = new QLabel(QStringLiteral("Datei"), frame);
    lblDatei->setObjectName(QStringLiteral("Label1"));
    lblDatei->setGeometry(8, 164, 60, 16);
    Filename = new QLineEdit(frame);
    Filename->setObjectName(QStringLiteral("Filename"));
    Filename->setGeometry(8, 182, 335, 23);
    BtnSuchen = new QPushButton(QStringLiteral("..."), frame);
    BtnSuchen->setObjectName(QStringLiteral("BtnSuchen"));
    BtnSuchen->setAccessibleName(QStringLiteral("Firmwaredatei auswählen")); // caption "..."
    BtnSuchen->setGeometry(349, 182, 26, 23);
    BtnSuchen->setAutoDefault(false);

    auto* lblFortschritt = new QLabel(QStringLiteral("Fortschritt"), frame);
    lblFortschritt->setObjectName(QStringLiteral("Label2"));
    lblFortschritt->setGeometry(8, 220, 80, 16);
    ProgressBar1 = new QProgressBar(frame);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(8, 238, 367, 18);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    LabelField(lblDatei, Filename);
    LabelField(lblFortschritt, ProgressBar1);

    OKBtn = new QPushButton(QStringLiteral("Start"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(112, 300, 75, 25);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Abbrechen"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(212, 300, 75, 25);
    CancelBtn->setAutoDefault(false);

    connect(BtnSuchen, &QPushButton::clicked, this, &TFirmwareDlg::BtnSuchenClick);
    connect(OKBtn, &QPushButton::clicked, this, &TFirmwareDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TFirmwareDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFirmwareDlg::FormShow() {
    Filename->setEnabled(true);
    BtnSuchen->setEnabled(true);
    TransferRunning = false;
    ProgressBar1->setValue(0);
}

void TFirmwareDlg::done(int result) {
    if (!FormCloseQuery())
        return; // a running transfer keeps the dialog open
    if (OnCancelled && !TransferRunning)
        OnCancelled();
    QDialog::done(result);
}

void TFirmwareDlg::BtnSuchenClick() {
    TFileDialogRequest request;
    request.filter = QStringLiteral("Firmwaredateien (*.zfw)|*.zfw|Alle Dateien (*.*)|*.*");
    request.defaultSuffix = QStringLiteral("ZFW");
    request.fileName = QStringLiteral("*.zfw");
    const QString chosen = FileDialogProvider ? FileDialogProvider(request) : QString();
    if (!chosen.isEmpty())
        Filename->setText(chosen);
}

void TFirmwareDlg::OKBtnClick() {
    if (Filename->text().isEmpty()) {
        ShowWarningBox(this, QStringLiteral("Keine Datei ausgewählt"));
        return;
    }
    // A file that cannot be sent whole is refused before the telephone system leaves its
    // normal operation.
    if (const std::optional<QString> refusal = CheckFirmwareFile(Filename->text())) {
        ShowWarningBox(this, *refusal);
        return;
    }
    if (StartFirmwareUpdate)
        StartFirmwareUpdate();
    FirmwarePortName = QStringLiteral("COM%1").arg(ComNumber ? ComNumber() : 0);
}

void TFirmwareDlg::RunFirmwareUpdate() {
    OKBtn->setEnabled(false);
    CancelBtn->setEnabled(false);
    Filename->setEnabled(false);
    BtnSuchen->setEnabled(false);
    ProgressBar1->setValue(0);
    TransferRunning = true;

    if (TransferFirmware() && ShowResultBox)
        ShowResultBox(QStringLiteral("Neue Firmware"),
                      {QString(), QStringLiteral("Das speichen der Firmware in der Zuvex 910k war "
                                                 "erfolgreich.")});

    TransferRunning = false;
    BtnSuchen->setEnabled(false);
    Filename->setEnabled(false);
    CancelBtn->setEnabled(true);
    OKBtn->setEnabled(true);
    QDialog::done(QDialog::Rejected); // the handshake is over: nothing to cancel
}

bool TFirmwareDlg::TransferFirmware() {
    TFirmwareTransferHooks hooks;
    hooks.progress = [this](int percent) { ProgressBar1->setValue(percent); };
    hooks.processEvents = [] { QApplication::processEvents(); };
    hooks.sleep = Sleep;
    hooks.showError = ShowErrorBox;
    return ::TransferFirmware(Filename->text(), FirmwarePortName, hooks) ==
           TFirmwareOutcome::Loaded;
}
