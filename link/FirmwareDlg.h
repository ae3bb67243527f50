#pragma once

#include "app/FileDialogs.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// "Firmware Update": the user picks a firmware file (*.zfw) and presses "Start"; the main
// window then asks the telephone system to enter loading mode, and once it is ready runs
// RunFirmwareUpdate, which sends the file record by record over the raw port.
class TFirmwareDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFirmwareDlg(QWidget* parent = nullptr);

    QString FirmwarePortName; // "COM" and the number of the port in use, set by "Start"
    bool TransferRunning = false;

    QPlainTextEdit* Memo1;
    QLineEdit* Filename;
    QPushButton* BtnSuchen;
    QProgressBar* ProgressBar1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    // ---- what the dialog needs from the main window ----
    std::function<void()> StartFirmwareUpdate; // asks the telephone system for loading mode
    std::function<int()> ComNumber;            // number of the main window's port
    std::function<void()> OnCancelled; // closed without a transfer: stop a running handshake
    std::function<void(const QString& caption, const QStringList& lines)> ShowErrorBox;
    std::function<void(const QString& caption, const QStringList& lines)> ShowResultBox;
    TFileDialogProvider FileDialogProvider;
    std::function<void(int ms)> Sleep; // the transfer's fixed pauses; empty: the thread sleeps

    void FormShow();
    bool FormCloseQuery() const { return !TransferRunning; }
    void BtnSuchenClick();
    void OKBtnClick();
    void RunFirmwareUpdate();
    bool TransferFirmware();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
};
