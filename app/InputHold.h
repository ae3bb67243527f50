#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <utility>
#include <vector>

class QEvent;

// Holds the user's clicks, keys and shortcuts while the program waits out a pause, with the
// wait cursor showing, and hands them on in their order once the pause is over, as if they
// had come right after it. The window still repaints meanwhile.
class TInputHold : public QObject {
public:
    TInputHold();
    ~TInputHold() override;
    void SetHolding(bool holding);
    bool Holding() const { return holding_; }
    // Forgets the input held so far: the pause it waited for ends without the flow going on.
    void DropHeld() { held_.clear(); }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    bool holding_ = false;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> held_;
};
