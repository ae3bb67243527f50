#pragma once

#include <QFont>
#include <QSize>
#include <QString>

class QDialog;
class QLabel;
class QWidget;

// The program's font: Arial with a character height of 13 pixels.
QFont ProgramFont();

// Every dialog of the program: fixed border (not resizable), title and close box only, the
// program's font and the button-face background, `clientSize` pixels inside.
void SetUpDialogFrame(QDialog* dialog, const QString& objectName, const QString& caption,
                      QSize clientSize);

// Ties a field to the label in front of it: the label's access key moves the focus there, and a
// screen reader names the field by the label's text ("Alte PIN:" gives "Alte PIN").
void LabelField(QLabel* label, QWidget* field);
