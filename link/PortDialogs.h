#pragma once

#include <QDialog>
#include <array>
#include <functional>

class QComboBox;
class QPushButton;
class QRadioButton;
class TSerialPort;

// Manual choice of the device's port among COM1 to COM4, offered as the free-port scan found
// them. Closing with OK and a chosen port reports it through OnPortChosen; the port is not
// opened here.
class TPortDialog : public QDialog {
    Q_OBJECT
public:
    TPortDialog();
    std::array<QRadioButton*, 4> COMBtn{}; // COM1Btn ... COM4Btn
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    int ChosenPort = 0; // 0 while none is chosen

    std::function<bool(int comNumber)> IsPortFree; // the scan's result for COM1..COM4
    std::function<void(int comNumber)> OnPortChosen;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void choose(int comNumber);
};

// Chooses the port for the firmware load from a list of "COM<n>" entries (filled by the
// caller). OK sets the chosen number on the port; an entry that is no number cancels.
class TWaehleComPortDlg : public QDialog {
    Q_OBJECT
public:
    explicit TWaehleComPortDlg(TSerialPort* port);
    QComboBox* CBSchnittstellen;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void OKBtnClick();
    TSerialPort* port_;
};
