#pragma once

#include "SimClient.h"
#include "TestHome.h"
#include "config/ConfigImage.h"
#include "tools/ZuvexSim.h"

#include <memory>
#include <optional>

// Options for COM<port> that pause `restartMs` after a good write or firmware load and leave
// loading mode after `loadIdleMs` without record bytes.
zuvexsim::SimOptions simOptions(int port = 3, int restartMs = 300, int loadIdleMs = 1000);

// A running simulator published as COM<options.port>, holding `image` when one is given.
// Throws std::runtime_error like ZuvexSim::start().
std::unique_ptr<zuvexsim::ZuvexSim> startSim(zuvexsim::SimOptions options = {},
                                             const std::optional<ConfigImage>& image = {});

// A fresh settings home, a simulator and the Configurator's raw end on its port. A test class
// derives from it next to QObject.
class SimFixture {
protected:
    // Starts the simulator and opens the client on its port; false when the client is not open.
    bool startWithClient(zuvexsim::SimOptions options);
    void stopAll(); // client, then simulator

    TestHome home;
    std::unique_ptr<zuvexsim::ZuvexSim> sim;
    std::unique_ptr<SimClient> client;
};
