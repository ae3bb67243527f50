#pragma once

#include "ModalDriver.h"
#include "SimStart.h"
#include "TestHome.h"
#include "app/AppFormProbe.h"

#include <memory>
#include <optional>

// The main window in a fresh home, a simulator if asked; opened in init(), closed in cleanup().
class AppWithSim {
public:
    ~AppWithSim() { closeWindow(); }

    // Fresh home, then the simulator (if `options` are given) holding `image`, then the window.
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
    // Shows the window without COM ports, answers the no-device dialog "Offline"; true if it came.
    bool showOffline() {
        ModalAnswer offline("KeineAnlageDlg", press("OKBtn"));
        form->show();
        return offline.seen();
    }

    std::unique_ptr<TestHome> home;
    std::unique_ptr<zuvexsim::ZuvexSim> sim;
    std::unique_ptr<TAppFormProbe> form;
};
