#include "app/CloseOnSignal.h"

#include <QApplication>
#include <csignal>

namespace {
bool signalCame = false; // while the signals are watched
} // namespace

TCloseOnSignal::TCloseOnSignal()
    : signalPipe_({SIGTERM, SIGINT}, nullptr, [this] { closeWindows(); }) {
    signalCame = false;
}

TCloseOnSignal::~TCloseOnSignal() {
    signalCame = false;
}

bool TCloseOnSignal::Requested() {
    return signalCame;
}

void TCloseOnSignal::closeWindows() {
    signalCame = true;
    // open dialogs first (a question stays open until answered), then the main window
    QApplication::closeAllWindows();
}
