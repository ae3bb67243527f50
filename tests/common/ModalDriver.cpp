#include "ModalDriver.h"

#include "app/MessageDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <deque>

struct ModalAnswer::Impl {
    ModalAnswer* owner = nullptr;
    QString objectName;
    std::function<void(QWidget*)> act;
    QTimer timer;
    QElapsedTimer clock;
    int timeoutMs = 0;
    bool done = false;

    static std::deque<Impl*>& queue() {
        static std::deque<Impl*> q;
        return q;
    }

    void poll() {
        if (done || queue().empty() || queue().front() != this)
            return;
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->objectName() == objectName && modal->isVisible()) {
            finish();
            owner->seen_ = true;
            owner->caption = modal->windowTitle();
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                owner->lines = box->text().split(QLatin1Char('\n'));
            else if (auto* dlg = qobject_cast<TMessageDialog*>(modal))
                owner->lines = dlg->Lines();
            act(modal);
            return;
        }
        if (clock.elapsed() > timeoutMs) {
            finish();
            qWarning("ModalAnswer: dialog %s never came%s", qPrintable(objectName),
                     modal ? qPrintable(" (closing " + modal->objectName() + ")") : "");
            if (auto* d = qobject_cast<QDialog*>(modal))
                d->done(QDialog::Rejected);
        }
    }

    void finish() {
        done = true;
        timer.stop();
        auto& q = queue();
        if (!q.empty() && q.front() == this)
            q.pop_front();
    }
};

ModalAnswer::ModalAnswer(const QString& objectName, std::function<void(QWidget*)> act,
                         int timeoutMs)
    : impl_(new Impl) {
    impl_->owner = this;
    impl_->objectName = objectName;
    impl_->act = std::move(act);
    impl_->timeoutMs = timeoutMs;
    Impl::queue().push_back(impl_);
    impl_->clock.start();
    QObject::connect(&impl_->timer, &QTimer::timeout, [this] {
        // the clock of a queued answer starts when it reaches the front
        auto& q = Impl::queue();
        if (!q.empty() && q.front() != impl_)
            impl_->clock.restart();
        impl_->poll();
    });
    impl_->timer.start(10);
}

ModalAnswer::~ModalAnswer() {
    auto& q = Impl::queue();
    std::erase(q, impl_);
    delete impl_;
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
