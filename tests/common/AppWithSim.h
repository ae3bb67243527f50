#pragma once

#include "SimStart.h"
#include "TestHome.h"

#include <memory>
#include <optional>

class TAppFormProbe;

// The main window in a fresh settings home, with a simulator when one is asked for. A test
// class derives from it next to QObject, opens the window in init() and closes it in cleanup().
class AppWithSim {
public:
    AppWithSim();
    ~AppWithSim();

    // Fresh home, then the simulator with `options` holding `image` (if options are given),
    // then the window.
    void openWindow(std::optional<zuvexsim::SimOptions> options = {},
                    const std::optional<ConfigImage>& image = {});
    void closeWindow(); // window, simulator, home: in that order
    // Shows the window where no COM port exists: the start-up search ends in the no-device
    // dialog, answered "Offline". True when that dialog came.
    bool showOffline();

    std::unique_ptr<TestHome> home;
    std::unique_ptr<zuvexsim::ZuvexSim> sim;
    std::unique_ptr<TAppFormProbe> form;
};
