#pragma once

#include "app/SignalPipe.h"

#include <QObject>

// SIGTERM (the session ending, `kill`) and SIGINT (Ctrl+C in a terminal) close the program's
// windows the way the user would, so that the close query and the settings written at close
// run as usual. The signal handler only writes a byte into a pipe; the closing happens in the
// event loop of the user-interface thread.
class TCloseOnSignal : public QObject {
public:
    TCloseOnSignal();
    ~TCloseOnSignal() override;
    // A signal came: the program is to end, even if only a box was open to close (the start-up
    // settings error shows before the main window). Nobody may be there to answer a box then.
    static bool Requested();

private:
    void closeWindows();
    TSignalPipe signalPipe_;
};
