#pragma once

#include "app/PathParts.h"

#include <QString>
#include <functional>

// What the window asks of the platform's open or save dialog.
struct TFileDialogRequest {
    bool save = false;     // save dialog (asks before overwriting) or open dialog
    QString filter;        // bar form: "Description|pattern|Description|pattern"
    QString defaultSuffix; // appended to a name typed without one
    QString directory;     // initial directory
    QString fileName;      // file name shown first
};

// Shows the dialog; returns the chosen path, or an empty string when the user cancelled.
using TFileDialogProvider = std::function<QString(const TFileDialogRequest&)>;

// The platform's own dialogs (German through the loaded translations).
QString runPlatformFileDialog(const TFileDialogRequest& request);

// "A|a|B|b" -> "A (a);;B (b)" as Qt's dialogs expect; descriptions already naming their
// pattern in brackets are taken as they are.
QString qtFilterFromBars(const QString& bars);
