#pragma once

#include "SimClient.h"
#include "TestHome.h"
#include "config/ConfigImage.h"
#include "tools/ZuvexSim.h"

#include <memory>
#include <optional>

// COM<port>, pausing `restartMs` after a good write or load, leaving loading after `loadIdleMs`.
inline zuvexsim::SimOptions simOptions(int port = 3, int restartMs = 300, int loadIdleMs = 1000) {
    zuvexsim::SimOptions options;
    options.port = port;
    options.restartMs = restartMs;
    options.loadIdleMs = loadIdleMs;
    return options;
}

// A running simulator on COM<options.port>, holding `image` if given; throws like start().
inline std::unique_ptr<zuvexsim::ZuvexSim> startSim(zuvexsim::SimOptions options = {},
                                                    const std::optional<ConfigImage>& image = {}) {
    auto sim = std::make_unique<zuvexsim::ZuvexSim>(std::move(options));
    if (image)
        sim->setImage(*image);
    sim->start();
    return sim;
}

// A fresh settings home, a simulator and a raw client on its port; a base beside QObject.
class SimFixture {
protected:
    // Starts the simulator and opens the client on its port; false when the client is not open.
    bool startWithClient(zuvexsim::SimOptions options) {
        sim = startSim(std::move(options));
        client = std::make_unique<SimClient>(sim->portPath());
        return client->isOpen();
    }
    void stopAll() { // client, then simulator
        client.reset();
        sim.reset();
    }

    TestHome home;
    std::unique_ptr<zuvexsim::ZuvexSim> sim;
    std::unique_ptr<SimClient> client;
};
