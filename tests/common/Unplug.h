#pragma once

#include "LinkRig.h"
#include "ModalDriver.h"
#include "SimProcess.h"

#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

// Pulls out the device `dead` (SIGKILL) the first time `when` holds, checked every `everyMs`
// by the event loop, and plugs it in again while the no-device dialog asks: the device starts
// anew on `port` with `options`, and "Abbrechen" lets the search find it. Notes how many
// descriptors the program still held on the dead device at that moment.
class Unplug {
public:
    Unplug(SimProcess& dead, std::function<bool()> when, int everyMs, int port,
           QStringList options = {}, int timeoutMs = SearchAndReadMs);

    bool killed = false;
    int leftOpen = -1;
    std::unique_ptr<SimProcess> back;
    const ModalAnswer& noDevice() const { return noDevice_; }

private:
    QTimer poll_;
    ModalAnswer noDevice_;
};
