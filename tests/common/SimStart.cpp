#include "SimStart.h"

#include <vector>

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

std::string imageBytes(const ConfigImage& image) {
    return std::string(image.begin(), image.end());
}

std::string writeImageStepwise(SimClient& client, const ConfigImage& image, std::uint8_t checksum) {
    std::vector<std::string> steps{WriteRequest};
    for (std::uint8_t b : image)
        steps.emplace_back(1, static_cast<char>(b));
    steps.emplace_back(1, static_cast<char>(checksum));
    std::string replies;
    for (const std::string& step : steps) {
        const std::string reply = client.ask(step, 1, std::chrono::milliseconds(700));
        replies += reply;
        if (reply != "\x06")
            break;
    }
    return replies;
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
