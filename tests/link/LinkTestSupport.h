#pragma once

#include "LinkRig.h"
#include "QtPool.h"
#include "ShownBox.h"
#include "SimStart.h"

#include "app/MessageDialogs.h"
#include "config/ConfigCodec.h"
#include "config/ConfigImage.h"

#include <QString>
#include <QStringList>
#include <string>

class QWidget;
class TAppFormProbe;

// A configuration that differs from the factory state everywhere the editor looks, with
// reserved bytes set, port 2 ringing for bell button 1 only although it may open the door and
// port 3 ringing for bell button 2 although it may not.
TEditorSettings sampleSettings();
ConfigImage sampleImage();
// What the editor shows after reading sampleImage(): the door rule ticks all bell buttons of
// a port that may open the door and unticks them elsewhere.
TEditorSettings sampleSettingsAfterRead();

// Answers the programming result box once its button is enabled (the box holds it a while).
struct ProgResultAnswer : ModalAnswer {
    ProgResultAnswer();
};

// Shows the window (which starts the search) and answers the read result box; what it showed.
ShownBox showAndRead(TAppFormProbe& form);

// "Konfiguration auslesen" (after a search from COM1 when no port is in use): reads the device
// and answers the read result box. True when the result box came with the success text.
bool readConfiguration(TAppFormProbe& form);

// The status bar's port text: the port in use, and none (after a search that found nothing
// the text is cleared instead).
QString portInUse(int comNumber);
const QString NoPortInUse = QStringLiteral("Verwendeter COM-Port: keiner");
QString portInUseText(const TAppFormProbe& form);

// Fills the PIN dialog and presses OK.
std::function<void(QWidget*)> enterPins(const QString& oldPin, const QString& newPin);

// After a flow: the window usable, the transfer box gone, the collector off.
bool flowEnded(const TAppFormProbe& form);

// A box of the conversation as its dialog shows it.
ShownBox shownAs(const TLinkBox& box);
