#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class QDialog;
class QWidget;

// Answers the modal dialog of that object name while the code under test waits in its exec():
// records its caption and lines, then runs `act` on it. Answers are served in creation order; at
// the time-out another modal dialog still open is closed, so that the test cannot hang.
class ModalAnswer {
public:
    ModalAnswer(const QString& objectName, std::function<void(QWidget*)> act, int timeoutMs = 5000);
    ~ModalAnswer();
    ModalAnswer(const ModalAnswer&) = delete;
    ModalAnswer& operator=(const ModalAnswer&) = delete;

    bool seen() const { return seen_; }
    // Runs the event loop until the dialog has been answered; false if it never came.
    bool waitSeen(int timeoutMs = 5000) const;
    QString caption;   // window title at the moment it was answered
    QStringList lines; // message lines (shared dialogs) or the text of a message box

private:
    void poll();
    void finish();

    QString objectName_;
    std::function<void(QWidget*)> act_;
    int timeoutMs_;
    QTimer timer_;
    QElapsedTimer clock_; // started when the answer reaches the front of the queue
    bool seen_ = false;
};

// Presses the child button of that object name (in a message box: of that text).
void pressButton(QWidget* dialog, const QString& name);

std::function<void(QWidget*)> press(const QString& name);

// Runs the event loop until `dialog` is the active modal window (again).
bool waitUntilModal(const QWidget* dialog);

// Shows `dialog` modally, runs `steps` in its loop once it is active; then rejects it if still
// open, unless `mayClose` says no (a transfer running). Gives its result.
int runDialog(QDialog* dialog, const std::function<void()>& steps,
              const std::function<bool()>& mayClose = {});
