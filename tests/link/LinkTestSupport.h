#pragma once

// What the window's link tests share: a sample configuration, its read, the status texts.
#include "LinkRig.h"
#include "QtPool.h"
#include "ShownBox.h"
#include "WindowParts.h"
#include "app/AppFormProbe.h"
#include "config/ConfigCodec.h"
#include "link/NeuePINDlg.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>

// Differs from the factory state everywhere the editor looks; ports 2 and 3 break the door rule.
inline TEditorSettings sampleSettings() {
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

inline ConfigImage sampleImage() {
    // the reserved bytes after the bell buttons' ports and after the last setting, each its own
    constexpr int BellButtons = std::tuple_size_v<decltype(TEditorSettings::ports)>;
    ConfigImage image{};
    for (int i = ImageOffset::TasteRuf + BellButtons; i < ImageOffset::Heranholen; ++i)
        image[std::size_t(i)] = std::uint8_t(0xA0 + i);
    for (int i = ImageOffset::Wartemusik + 1; i < ConfigImageSize; ++i)
        image[std::size_t(i)] = std::uint8_t(3 * i + 1);
    encodeImage(sampleSettings(), image);
    return image;
}

// After the read the door rule ticks all bell buttons of a door port and unticks the others.
inline TEditorSettings sampleSettingsAfterRead() {
    TEditorSettings s = sampleSettings();
    s.ports[1].klingeltaste = {true, true, true, true};
    s.ports[2].klingeltaste = {false, false, false, false};
    return s;
}

// A box of the conversation as its dialog shows it.
inline ShownBox shownAs(const TLinkBox& box) {
    return {box.caption, box.lines};
}

// Answers the programming result box once its button is enabled (the box holds it a while).
struct ProgResultAnswer : ModalAnswer {
    ProgResultAnswer()
        : ModalAnswer(
              "ProgErgebnisDialog",
              [](QWidget* w) {
                  auto* ok = w->findChild<QAbstractButton*>(QStringLiteral("OKBtn"));
                  (void)QTest::qWaitFor([ok] { return ok->isEnabled(); },
                                        TProgErgebnisDialog::HoldMs + SlowMachineMs);
                  ok->click();
              },
              FlowEndMs) {}
};

// Shows the window (which starts the search) and answers the read result box; what it showed.
inline ShownBox showAndRead(TAppFormProbe& form) {
    ModalAnswer result("ErgebnisDialog", press("OKBtn"), SearchAndReadMs);
    form.show();
    return shown(result, SearchAndReadMs);
}

// "Konfiguration auslesen" (a search first when no port is in use); true on the success box.
inline bool readConfiguration(TAppFormProbe& form) {
    ModalAnswer result("ErgebnisDialog", press("OKBtn"), SearchAndReadMs);
    action(form, "Download")->trigger();
    return shown(result, SearchAndReadMs) == shownAs(ReadDone);
}

// The status bar's port text (a search that found nothing clears it instead of "keiner").
inline QString portInUse(int comNumber) {
    return QStringLiteral("Verwendeter COM-Port: COM%1").arg(comNumber);
}
const QString NoPortInUse = QStringLiteral("Verwendeter COM-Port: keiner");
inline QString portInUseText(const TAppFormProbe& form) {
    return part<QLabel>(form, "StatusPanel1")->text();
}

inline std::function<void(QWidget*)> enterPins(const QString& oldPin, const QString& newPin) {
    return [=](QWidget* w) {
        auto* dlg = static_cast<TNeuePINDlg*>(w);
        dlg->AltePIN->setText(oldPin);
        dlg->NeuePIN1->setText(newPin);
        dlg->NeuePIN2->setText(newPin);
        dlg->NeuePIN2->setFocus();
        pressButton(w, "OKBtn");
    };
}

// After a flow: the window usable, the transfer box gone, the collector off.
inline bool flowEnded(const TAppFormProbe& form) {
    return form.isEnabled() && !dialog<TUpDownLoad>("UpDownLoad")->isVisible() &&
           !form.DataPacket1->Enabled();
}
