#pragma once

#include <QString>

class QWidget;

// The toolkit's warning message boxes, captioned "Warnung": one with "OK" for a precondition
// that stops a command, one with "&Ja"/"&Nein" for a question (true: "&Ja").
void ShowWarningBox(QWidget* parent, const QString& text);
bool AskWarningYesNo(QWidget* parent, const QString& objectName, const QString& text);

// The application's general error display: a message box with the program title.
void ShowApplicationError(const QString& text);
