#pragma once

#include "config/ConfigImage.h"

#include <QString>
#include <QStringList>

// What the user of the link conversation sees and answers. The main window implements it with
// its dialogs; another front end (a command line) with its own output. The conversation calls
// these on its own thread, one at a time; a call may run a modal loop and return later.
class TLinkView {
public:
    virtual ~TLinkView() = default;

    // The transfer box of a write or a PIN change, shown without waiting (the window stays
    // disabled behind it), and hidden again when the transfer ends.
    virtual void ShowTransferBox(const QString& caption) = 0;
    virtual void HideTransferBox() = 0;

    // The result of a flow that went well; `operation` is the conversation's LinkOperation,
    // so a write may show its own box. Returns when the user has seen it.
    virtual void ShowResult(int operation, const QString& caption, const QStringList& lines) = 0;
    // An error box with its caption and lines; returns when the user has seen it.
    virtual void ShowErrorBox(const QString& caption, const QStringList& lines) = 0;
    // A failure of the serial layer, in its own words.
    virtual void ShowApplicationError(const QString& text) = 0;
    // A warning with one OK button (the firmware start's refusals).
    virtual void ShowWarning(const QString& text) = 0;
    // A warning question; true when answered with yes.
    virtual bool AskWarningQuestion(const QString& name, const QString& text) = 0;

    // The configuration to write, taken from the editor at that moment.
    virtual ConfigImage ImageToWrite() = 0;
    // Whether an external call rings at some port under the editor's current settings.
    virtual bool AnyExternalRing() = 0;
    // A read that went well: the image the device holds (after its result was shown).
    virtual void ImageRead(const ConfigImage& image) = 0;

    // The device search: the port being probed, the search dialog (runs until SearchEnded,
    // or returns at once when it is showing already), and the give-up.
    virtual void ShowSearchLabel(const QString& text) = 0;
    virtual void RunSearchDialog() = 0;
    virtual void SearchEnded() = 0;
    // No device answered; `permissionLine` names a port the user may not open, or is empty.
    // True: search again ("Suchen"); false: work offline.
    virtual bool NoDeviceFound(const QString& permissionLine) = 0;

    // The status line: the device's identification and firmware, and the port in use.
    virtual void ShowDeviceText(const QString& text) = 0;
    virtual void ShowPortInUse(const QString& text) = 0;

    // The user chooses the port in use among those the free-port scan could open (the
    // conversation's PortAvailable); true when one was chosen through ChoosePort.
    virtual bool RunPortChoice() = 0;
    // The user chooses the port of the firmware load among `entries` ("COM<n>"); true when one
    // was chosen through SetFirmwarePort.
    virtual bool RunFirmwarePortChoice(const QStringList& entries) = 0;
    // Loading mode is entered and the port closed: the firmware goes out, to its end.
    virtual void RunFirmwareTransfer() = 0;

    // The conversation waits out a pause or a port scan; input is held until it ends.
    virtual void SetWaiting(bool waiting) = 0;
    // The pause ends without its flow going on (cancelled, or the line settled at close): the
    // input held during it is dropped rather than acting. Comes before SetWaiting(false); a
    // view that holds no input has nothing to drop.
    virtual void DropHeldInput() {}
};
