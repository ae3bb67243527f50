#pragma once

#include <QByteArray>
#include <QDialog>
#include <QStringList>
#include <functional>

class QLineEdit;
class QPushButton;

// "Neuer Sicherheitscode": the old PIN and the new one twice, four digits each. Only digits
// can be typed; a field left with fewer than four digits, and two different new PINs, are
// reported at once and the dialog stays open until the entries are valid or it is cancelled.
class TNeuePINDlg : public QDialog {
    Q_OBJECT
public:
    explicit TNeuePINDlg(QWidget* parent = nullptr);

    QLineEdit* AltePIN;
    QLineEdit* NeuePIN1;
    QLineEdit* NeuePIN2;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    // The four ASCII digits of the old PIN, taken when the dialog closes with OK.
    QByteArray OldPin;

    // The main window's error box (caption, lines).
    std::function<void(const QString& caption, const QStringList& lines)> ShowErrorBox;

    void FormShow();
    // The key filter of the three fields: false drops the typed character.
    static bool PINKeyPress(QChar key);
    // `field` lost the focus to `next`.
    void PINExit(QLineEdit* field, QWidget* next);
    void OKBtnClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void reportInputError(QLineEdit* field, const QString& line);
    bool reporting_ = false;    // an input error box is up: focus changes are not checks
    bool swallowPress_ = false; // the press on OK that left a short field
};
