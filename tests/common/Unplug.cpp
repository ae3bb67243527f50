#include "Unplug.h"

#include "OpenDescriptors.h"

Unplug::Unplug(SimProcess& dead, std::function<bool()> when, int everyMs, int port,
               QStringList options, int timeoutMs)
    : noDevice_(
          "KeineAnlageDlg",
          [this, &dead, port, options](QWidget* w) {
              leftOpen = DescriptorsOn(dead.device());
              back = std::make_unique<SimProcess>(port, options);
              pressButton(w, "CancelBtn");
          },
          timeoutMs) {
    QObject::connect(&poll_, &QTimer::timeout, [this, &dead, when = std::move(when)] {
        if (!killed && when()) {
            dead.kill();
            killed = true;
        }
    });
    poll_.start(everyMs);
}
