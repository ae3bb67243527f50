#include "LinkTestSupport.h"
#include "serial/DataPacket.h"
#include "serial/SerialPort.h"

#include "ModalDriver.h"
#include "WindowParts.h"
#include "app/AppFormProbe.h"
#include "link/NeuePINDlg.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

TEditorSettings sampleSettings() {
    TEditorSettings s = factorySettings();
    s.amtsholung = false;
    s.anklopfschutz = true;
    s.ports[1].klingeltaste = {true, false, false, false};
    s.ports[2].tuerberechtigt = false;
    s.ports[2].klingeltaste = {false, true, false, false};
    s.ports[3].permission = Permission::Halbamtsberechtigt;
    s.ports[3].externanruf = false;
    return s;
}

ConfigImage sampleImage() {
    // the reserved bytes after the bell buttons' ports and after the last setting, each set to
    // a value of its own
    constexpr int BellButtons = std::tuple_size_v<decltype(TEditorSettings::ports)>;
    ConfigImage image{};
    for (int i = ImageOffset::TasteRuf + BellButtons; i < ImageOffset::Heranholen; ++i)
        image[std::size_t(i)] = std::uint8_t(0xA0 + i);
    for (int i = ImageOffset::Wartemusik + 1; i < ConfigImageSize; ++i)
        image[std::size_t(i)] = std::uint8_t(3 * i + 1);
    encodeImage(sampleSettings(), image);
    return image;
}

TEditorSettings sampleSettingsAfterRead() {
    TEditorSettings s = sampleSettings();
    s.ports[1].klingeltaste = {true, true, true, true};
    s.ports[2].klingeltaste = {false, false, false, false};
    return s;
}

ProgResultAnswer::ProgResultAnswer()
    : ModalAnswer(
          "ProgErgebnisDialog",
          [](QWidget* w) {
              auto* ok = w->findChild<QAbstractButton*>(QStringLiteral("OKBtn"));
              (void)QTest::qWaitFor([ok] { return ok->isEnabled(); },
                                    TProgErgebnisDialog::HoldMs + SlowMachineMs);
              ok->click();
          },
          FlowEndMs) {}

ShownBox showAndRead(TAppFormProbe& form) {
    ModalAnswer result("ErgebnisDialog", press("OKBtn"), SearchAndReadMs);
    form.show();
    return shown(result, SearchAndReadMs);
}

bool readConfiguration(TAppFormProbe& form) {
    ModalAnswer result("ErgebnisDialog", press("OKBtn"), SearchAndReadMs);
    action(form, "Download")->trigger();
    return shown(result, SearchAndReadMs) == shownAs(ReadDone);
}

QString portInUse(int comNumber) {
    return QStringLiteral("Verwendeter COM-Port: COM%1").arg(comNumber);
}

QString portInUseText(const TAppFormProbe& form) {
    return part<QLabel>(form, "StatusPanel1")->text();
}

bool flowEnded(const TAppFormProbe& form) {
    return form.isEnabled() && !dialog<TUpDownLoad>("UpDownLoad")->isVisible() &&
           !form.DataPacket1->Enabled();
}

ShownBox shownAs(const TLinkBox& box) {
    return {box.caption, box.lines};
}

std::function<void(QWidget*)> enterPins(const QString& oldPin, const QString& newPin) {
    return [=](QWidget* w) {
        auto* dlg = static_cast<TNeuePINDlg*>(w);
        dlg->AltePIN->setText(oldPin);
        dlg->NeuePIN1->setText(newPin);
        dlg->NeuePIN2->setText(newPin);
        dlg->NeuePIN2->setFocus();
        pressButton(w, "OKBtn");
    };
}
