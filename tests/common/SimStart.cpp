#include "SimStart.h"

zuvexsim::SimOptions simOptions(int port, int restartMs, int loadIdleMs) {
    zuvexsim::SimOptions options;
    options.port = port;
    options.restartMs = restartMs;
    options.loadIdleMs = loadIdleMs;
    return options;
}

std::unique_ptr<zuvexsim::ZuvexSim> startSim(zuvexsim::SimOptions options,
                                             const std::optional<ConfigImage>& image) {
    auto sim = std::make_unique<zuvexsim::ZuvexSim>(std::move(options));
    if (image)
        sim->setImage(*image);
    sim->start();
    return sim;
}

bool SimFixture::startWithClient(zuvexsim::SimOptions options) {
    sim = startSim(std::move(options));
    client = std::make_unique<SimClient>(sim->portPath());
    return client->isOpen();
}

void SimFixture::stopAll() {
    client.reset();
    sim.reset();
}
