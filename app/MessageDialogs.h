#pragma once

#include "link/LinkProtocol.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QPlainTextEdit;
class QPushButton;
class QTimer;

// Modal results of the shared dialogs' buttons (the close box gives mrCancel).
enum ModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// Common frame of the six shared dialogs: fixed border, Arial 13 px, a borderless read-only
// message memo and standard buttons. Callers set the caption, add lines, show, clear.
class TMessageDialog : public QDialog {
    Q_OBJECT
public:
    void AddLine(const QString& line);
    void ClearLines();
    QStringList Lines() const;
    QPlainTextEdit* Message = nullptr;

protected:
    enum class ButtonKind { Ok, Yes, No, Cancel };
    TMessageDialog(const QString& objectName, QSize clientSize, const QString& caption);
    void addFrame(QRect frame);
    void addExclamation(QPoint topLeft);
    void addMessage(QRect geometry, bool tabReachable);
    QPushButton* addButton(ButtonKind kind, const QString& objectName, QRect geometry);
    // Where a click into the message text sends the focus; null: nowhere.
    virtual QPushButton* messageFocusTarget() const { return firstButton; }
    // False refuses to close the box (close box, Esc, buttons).
    virtual bool canClose() const { return true; }

    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    void done(int result) override;
    void reject() override;

private:
    QStringList lines_; // the memo's lines, an empty string being an empty line
    QPushButton* firstButton = nullptr;
    QPushButton* firstCancelButton = nullptr;
};

// Sets the caption, adds the lines, shows the box modally, clears its lines again.
int ShowMessageDialog(TMessageDialog* dialog, const QString& caption, const QStringList& lines);

class TAboutBox : public TMessageDialog {
    Q_OBJECT
public:
    TAboutBox();
};

class TErrorDialog : public TMessageDialog {
    Q_OBJECT
public:
    TErrorDialog();
    QPushButton* OKBtn;
};

class THinweisBox : public TMessageDialog {
    Q_OBJECT
public:
    THinweisBox();
    QPushButton* YesBtn;
    QPushButton* NoBtn;
    QPushButton* CancelBtn;

protected:
    void showEvent(QShowEvent* event) override;
    QPushButton* messageFocusTarget() const override { return nullptr; }
};

class TErgebnisDialog : public TMessageDialog {
    Q_OBJECT
public:
    TErgebnisDialog();
    QPushButton* OKBtn;
};

// Result box of a write: refuses to close for 2.7 s, then reports the device's restart.
class TProgErgebnisDialog : public TMessageDialog {
    Q_OBJECT
public:
    TProgErgebnisDialog();
    QPushButton* OKBtn;
    QTimer* Timer1;
    static constexpr int HoldMs = LinkProtocol::DeviceRestartMs;

protected:
    void showEvent(QShowEvent* event) override;
    bool canClose() const override;
    QPushButton* messageFocusTarget() const override;

private:
    void Timer1Timer();
};

// Transfer box, shown modeless while the device is busy. Closing it (by the conversation,
// the close box or "Abbrechen") runs OnFormClose exactly once per showing or close call.
class TUpDownLoad : public TMessageDialog {
    Q_OBJECT
public:
    TUpDownLoad();
    QPushButton* CancelBtn;
    std::function<void()> OnFormShow;
    std::function<void()> OnFormClose;
    // Closes the box whether it is shown or not, and runs OnFormClose.
    void CloseBox();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
};
