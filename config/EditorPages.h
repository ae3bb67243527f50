#pragma once

#include "config/ConfigCodec.h"
#include "config/ConfigImage.h"

#include <QObject>
#include <array>
#include <cstdint>
#include <functional>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

// Makes the pictures of resources/ (":/images/...") available; TEditorPages does it
// itself, anyone who needs them earlier may call it (repeated calls do nothing).
void InitConfigResources();

// The controls of one internal port (port p carries 20 + p in the object names).
struct TPortControls {
    QFrame* panelTyp = nullptr; // radio group: device type
    QRadioButton* telefon = nullptr;
    QRadioButton* anrufbeantworter = nullptr;
    QRadioButton* tfe = nullptr;
    QFrame* panelBerecht = nullptr; // radio group: permission, plus türberechtigt
    QRadioButton* vab = nullptr;
    QRadioButton* hab = nullptr;
    QRadioButton* nab = nullptr;
    QCheckBox* tb = nullptr;
    QFrame* panelRuf = nullptr; // ring column
    QCheckBox* arb = nullptr;
    std::array<QCheckBox*, 4> taste{}; // [k]: bell button k+1
};

// A system-wide yes/no setting of the page "Externanschluss".
struct YesNoGroup {
    QFrame* panel = nullptr;
    QRadioButton* ja = nullptr;
    QRadioButton* nein = nullptr;
};

// The tree, the picture panel and the three editor pages with the telephone system's
// rules. The controls hold the live configuration; the image is only a snapshot.
// Every rule runs when its control changes, by the user or by the program, nested
// and at once (a radio button when it becomes selected, a check box on every change).
class TEditorPages : public QObject {
    Q_OBJECT
public:
    TEditorPages(QWidget* treeParent, QWidget* pageParent, QObject* parent = nullptr);

    std::function<void()> MarkModified; // called by every rule that changes the configuration

    void SetFactoryDefaults();
    void ImageToEditor(const ConfigImage& image);
    std::uint8_t EditorToImage(ConfigImage& image) const; // returns the image checksum
    void ApplyDoorRule(int port, bool on);                // port 1..4
    void RefreshTypeAvailability();
    bool AnyExternalRing() const;
    void ShowPage(QTreeWidgetItem* node);
    // Gives the page panels and the editor's groups their help-topic hints.
    void AssignHelpHints();

    // The checked states of all controls (enabled or not plays no part).
    TEditorSettings ReadSettings() const;

    QTreeWidget* TreeView1() const { return tree_; }
    QFrame* PanelImage() const { return panelImage_; }
    QFrame* PanelLtg() const { return panelLtg_; }
    QFrame* PanelTln() const { return panelTln_; }
    QFrame* PanelRuf() const { return panelRuf_; }
    QLabel* Image1() const { return image1_; }
    const TPortControls& Port(int port) const { return ports_[port - 1]; }
    const YesNoGroup& Amtsholung() const { return amtsholung_; }
    const YesNoGroup& Heranholen() const { return heranholen_; }
    const YesNoGroup& Anklopfschutz() const { return anklopfschutz_; }
    const YesNoGroup& Wartemusik() const { return wartemusik_; }
    QPushButton* ButtonTlnEin() const { return buttonTlnEin_; }
    QPushButton* ButtonTlnAus() const { return buttonTlnAus_; }

signals:
    void helpTopicRequested(int topic);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // construction (EditorPagesBuild.cpp)
    void buildTree(QWidget* treeParent);
    void buildImagePage(QWidget* pageParent);
    void buildLtgPage(QWidget* pageParent);
    void buildTlnPage(QWidget* pageParent);
    void buildRufPage(QWidget* pageParent);
    void connectRules();

    // rules (EditorRules.cpp), port 1..4
    void telefonClick(int port);
    void anrufbeantworterClick(int port);
    void tfeClick(int port);
    void vabHabClick(int port);
    void nabClick(int port);
    void tbClick(int port);
    void buttonTlnEinClick();
    void buttonTlnAusClick();
    void setAllBellBoxes(bool on);
    void markModified();

    QTreeWidget* tree_ = nullptr;
    QFrame* panelImage_ = nullptr;
    QFrame* panelLtg_ = nullptr;
    QFrame* panelTln_ = nullptr;
    QFrame* panelRuf_ = nullptr;
    QLabel* image1_ = nullptr;
    std::array<TPortControls, 4> ports_{};
    YesNoGroup amtsholung_, heranholen_, anklopfschutz_, wartemusik_;
    QPushButton* buttonTlnEin_ = nullptr;
    QPushButton* buttonTlnAus_ = nullptr;
};
