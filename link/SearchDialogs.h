#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// Modal result of the no-device dialog's "Suchen" button (besides mrOk/mrCancel).
constexpr int mrRetry = 4;

// Shown modally while the device search probes the COM ports. Its buttons are disabled by
// every caller, so during a search only the window's close box ends it (the search goes on).
class TSuchenDlg : public QDialog {
    Q_OBJECT
public:
    TSuchenDlg();
    QLabel* lblComPortNumber;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    void DisableButtons();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// Asks, after the search found no device, whether to work offline or search again.
// "Offline" (Enter) closes with mrOk, "Suchen" (Esc) with mrRetry, the close box with mrCancel.
class TKeineAnlageDlg : public QDialog {
    Q_OBJECT
public:
    TKeineAnlageDlg();
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    // One more line above the buttons, about a port the search could not open for lack of
    // permission (the dialog grows for it; the text is broken into lines at its spaces, so a
    // device path stays whole); an empty text removes it.
    QLabel* lblBerechtigung;
    void SetPermissionHint(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
