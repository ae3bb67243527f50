#pragma once

#include <QString>
#include <QStringList>
#include <functional>

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
    QString caption;   // window title at the moment it was answered
    QStringList lines; // message lines (shared dialogs) or the text of a message box

    struct Impl;

private:
    bool seen_ = false;
    Impl* impl_;
    friend struct Impl;
};

// Presses the child button with the given object name (or, for message boxes, the button
// whose text is `name`).
void pressButton(QWidget* dialog, const QString& name);

// Processes events until `condition` holds or `timeoutMs` passed; returns the condition.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);
