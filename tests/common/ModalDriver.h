#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class QDialog;
class QWidget;

// Answers a real modal dialog while the code under test waits in its exec(): it waits for a
// widget with the given object name to become QApplication::activeModalWidget(), records its
// caption and lines, and runs `act` on it (typically pressing a button). Answers are served in
// the order they were created. A dialog that never comes leaves seen() false; any other modal
// dialog still open at the time-out is closed so that the test cannot hang.
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

// Presses the child button with the given object name (or, for message boxes, the button
// whose text is `name`).
void pressButton(QWidget* dialog, const QString& name);

// An answer that presses the button `name` (as pressButton does).
std::function<void(QWidget*)> press(const QString& name);

// Runs the event loop until `dialog` is the active modal window (again).
bool waitUntilModal(const QWidget* dialog);

// Shows `dialog` modally and returns its result; `steps` run inside its modal loop once it is
// the active modal window. A dialog still open after them is rejected, unless `mayClose`
// says no (for example while a transfer runs).
int runDialog(QDialog* dialog, const std::function<void()>& steps,
              const std::function<bool()>& mayClose = {});
