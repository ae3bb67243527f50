#include "AppWithSim.h"

#include "ModalDriver.h"
#include "app/AppFormProbe.h"

AppWithSim::AppWithSim() = default;

AppWithSim::~AppWithSim() {
    closeWindow();
}

void AppWithSim::openWindow(std::optional<zuvexsim::SimOptions> options,
                            const std::optional<ConfigImage>& image) {
    home = std::make_unique<TestHome>();
    if (options)
        sim = startSim(std::move(*options), image);
    form = std::make_unique<TAppFormProbe>();
}

void AppWithSim::closeWindow() {
    form.reset();
    sim.reset();
    home.reset();
}

bool AppWithSim::showOffline() {
    ModalAnswer offline("KeineAnlageDlg", press("OKBtn"));
    form->show();
    return offline.seen();
}
