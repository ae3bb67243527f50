#include "ModalDriver.h"

#include "app/MessageDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <deque>

namespace {
std::deque<ModalAnswer*> answerQueue; // in creation order; only the first one answers
} // namespace

ModalAnswer::ModalAnswer(const QString& objectName, std::function<void(QWidget*)> act,
                         int timeoutMs)
    : objectName_(objectName), act_(std::move(act)), timeoutMs_(timeoutMs) {
    answerQueue.push_back(this);
    clock_.start();
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start(10);
}

ModalAnswer::~ModalAnswer() {
    std::erase(answerQueue, this);
}

void ModalAnswer::poll() {
    if (answerQueue.front() != this) {
        clock_.restart();
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->objectName() == objectName_ && modal->isVisible()) {
        finish();
        seen_ = true;
        caption = modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            lines = box->text().split(QLatin1Char('\n'));
        else if (auto* dlg = qobject_cast<TMessageDialog*>(modal))
            lines = dlg->Lines();
        act_(modal);
        return;
    }
    if (clock_.elapsed() > timeoutMs_) {
        finish();
        qWarning("ModalAnswer: dialog %s never came%s", qPrintable(objectName_),
                 modal ? qPrintable(" (closing " + modal->objectName() + ")") : "");
        if (auto* d = qobject_cast<QDialog*>(modal))
            d->done(QDialog::Rejected);
    }
}

void ModalAnswer::finish() {
    timer_.stop();
    std::erase(answerQueue, this);
}

bool ModalAnswer::waitSeen(int timeoutMs) const {
    return QTest::qWaitFor([this] { return seen_; }, timeoutMs);
}

bool waitUntilModal(const QWidget* dialog) {
    return QTest::qWaitFor([dialog] { return QApplication::activeModalWidget() == dialog; });
}

void pressButton(QWidget* dialog, const QString& name) {
    if (auto* b = dialog->findChild<QAbstractButton*>(name)) {
        QTest::mouseClick(b, Qt::LeftButton);
        return;
    }
    for (auto* b : dialog->findChildren<QAbstractButton*>()) {
        if (b->text() == name) {
            b->click();
            return;
        }
    }
    qWarning("pressButton: no button %s", qPrintable(name));
}

std::function<void(QWidget*)> press(const QString& name) {
    return [name](QWidget* dialog) { pressButton(dialog, name); };
}

int runDialog(QDialog* dialog, const std::function<void()>& steps,
              const std::function<bool()>& mayClose) {
    bool done = false;
    QTimer::singleShot(0, [&] {
        [&] {
            QVERIFY(waitUntilModal(dialog));
            dialog->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            steps();
        }();
        // neither a failed wait nor a failed step may leave the dialog hanging
        if (dialog->isVisible() && (!mayClose || mayClose()))
            dialog->reject();
        done = true;
    });
    const int result = dialog->exec();
    if (!QTest::qWaitFor([&] { return done; }))
        qWarning("runDialog: the steps never ended");
    return result;
}
