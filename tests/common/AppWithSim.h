#pragma once

#include "ModalDriver.h"
#include "SimStart.h"
#include "TestHome.h"
#include "app/AppFormProbe.h"

#include <memory>
#include <optional>

// The main window in a fresh settings home, with a simulator when one is asked for. A test
// class derives from it next to QObject, opens the window in init() and closes it in cleanup().
class AppWithSim {
public:
    ~AppWithSim() { closeWindow(); }

    // Fresh home, then the simulator with `options` holding `image` (if options are given),
    // then the window.
    void openWindow(std::optional<zuvexsim::SimOptions> options = {},
                    const std::optional<ConfigImage>& image = {}) {
        home = std::make_unique<TestHome>();
        if (options)
            sim = startSim(std::move(*options), image);
        form = std::make_unique<TAppFormProbe>();
    }
    void closeWindow() { // window, simulator, home: in that order
        form.reset();
        sim.reset();
        home.reset();
    }
    // Shows the window where no COM port exists: the start-up search ends in the no-device
    // dialog, answered "Offline". True when that dialog came.
    bool showOffline() {
        ModalAnswer offline("KeineAnlageDlg", press("OKBtn"));
        form->show();
        return offline.seen();
    }

    std::unique_ptr<TestHome> home;
    std::unique_ptr<zuvexsim::ZuvexSim> sim;
    std::unique_ptr<TAppFormProbe> form;
};
