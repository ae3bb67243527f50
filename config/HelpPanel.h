#pragma once

#include <QObject>
#include <QString>

class QFrame;
class QLabel;
class QTextEdit;
class QWidget;
class TApplicationHint;

// The help panel on the right of the main window: "Hilfe" over a rich-text box that
// explains the page, group, button or menu item the user is pointing at.
class THelpPanel : public QObject {
    Q_OBJECT
public:
    // Builds PanelInfo (232 wide, the parent's height, at its right edge) in parent.
    explicit THelpPanel(QWidget* parent);

    // Makes OnApplicationHint the application's hint callback.
    void InstallHintCallback();
    // Takes the long part of the application's hint; an empty one keeps the text,
    // anything that is not a number empties the panel.
    void OnApplicationHint(const QString& hint);
    void ShowHelpTopic(int topic);
    // Gives each control of the window that can take the focus or be clicked the text this
    // panel shows for it as its accessible description: a screen reader reads what the mouse
    // shows. Call it once the hints are set.
    void DescribeControls(QWidget* window);

    QFrame* PanelInfo() const { return panelInfo_; }
    QLabel* PanelInfoHead() const { return panelInfoHead_; }
    QTextEdit* InfoText() const { return infoText_; }
    TApplicationHint* ApplicationHint() const { return hint_; }

private:
    QFrame* panelInfo_ = nullptr;
    QLabel* panelInfoHead_ = nullptr;
    QTextEdit* infoText_ = nullptr;
    TApplicationHint* hint_ = nullptr;
};
