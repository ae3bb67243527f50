// Moving the configuration between the editor controls and the image. Controls are
// set one by one in a fixed order, and each change runs its rule as a click would.
#include "config/EditorPages.h"

#include <QCheckBox>
#include <QFrame>
#include <QRadioButton>
#include <QTreeWidget>

namespace {
void select(const YesNoGroup& g, bool ja) {
    (ja ? g.ja : g.nein)->setChecked(true);
}

QRadioButton* typeButton(const TPortControls& c, DeviceType type) {
    switch (type) {
    case TypAnrufbeantworter:
        return c.anrufbeantworter;
    case TypTfe:
        return c.tfe;
    default:
        return c.telefon;
    }
}

QRadioButton* permissionButton(const TPortControls& c, Permission permission) {
    switch (permission) {
    case Permission::Nichtamtsberechtigt:
        return c.nab;
    case Permission::Halbamtsberechtigt:
        return c.hab;
    default:
        return c.vab;
    }
}
} // namespace

void TEditorPages::SetFactoryDefaults() {
    const TEditorSettings f = factorySettings();
    select(amtsholung_, f.amtsholung);
    select(heranholen_, f.heranholen);
    select(anklopfschutz_, f.anklopfschutz);
    select(wartemusik_, f.wartemusik);
    for (int p = 0; p < 4; ++p)
        typeButton(ports_[p], f.ports[p].type)->setChecked(true);
    for (int p = 0; p < 4; ++p)
        permissionButton(ports_[p], f.ports[p].permission)->setChecked(true);
    for (int p = 0; p < 4; ++p)
        ports_[p].tb->setChecked(f.ports[p].tuerberechtigt);
    for (int p = 0; p < 4; ++p)
        ports_[p].arb->setChecked(f.ports[p].externanruf);
    for (int k = 0; k < 4; ++k)
        for (int p = 0; p < 4; ++p)
            ports_[p].taste[k]->setChecked(f.ports[p].klingeltaste[k]);
}

void TEditorPages::ImageToEditor(const ConfigImage& image) {
    const TEditorSettings s = decodeImage(image);
    select(amtsholung_, s.amtsholung);
    select(heranholen_, s.heranholen);
    select(anklopfschutz_, s.anklopfschutz);
    select(wartemusik_, s.wartemusik);
    for (int p = 0; p < 4; ++p)
        typeButton(ports_[p], s.ports[p].type)->setChecked(true);
    for (int p = 0; p < 4; ++p) {
        permissionButton(ports_[p], s.ports[p].permission)->setChecked(true);
        ports_[p].tb->setChecked(s.ports[p].tuerberechtigt);
    }
    for (int p = 0; p < 4; ++p) {
        ports_[p].arb->setChecked(s.ports[p].externanruf);
        for (int k = 0; k < 4; ++k)
            ports_[p].taste[k]->setChecked(s.ports[p].klingeltaste[k]);
    }
}

TEditorSettings TEditorPages::ReadSettings() const {
    TEditorSettings s;
    s.amtsholung = amtsholung_.ja->isChecked();
    s.heranholen = heranholen_.ja->isChecked();
    s.anklopfschutz = anklopfschutz_.ja->isChecked();
    s.wartemusik = wartemusik_.ja->isChecked();
    for (int p = 0; p < 4; ++p) {
        const TPortControls& c = ports_[p];
        TPortSettings& port = s.ports[p];
        port.type = c.anrufbeantworter->isChecked() ? TypAnrufbeantworter
                    : c.tfe->isChecked()            ? TypTfe
                                                    : TypTelefon;
        port.permission = c.nab->isChecked()   ? Permission::Nichtamtsberechtigt
                          : c.hab->isChecked() ? Permission::Halbamtsberechtigt
                                               : Permission::Amtsberechtigt;
        port.tuerberechtigt = c.tb->isChecked();
        port.externanruf = c.arb->isChecked();
        for (int k = 0; k < 4; ++k)
            port.klingeltaste[k] = c.taste[k]->isChecked();
    }
    return s;
}

std::uint8_t TEditorPages::EditorToImage(ConfigImage& image) const {
    return encodeImage(ReadSettings(), image);
}

void TEditorPages::ShowPage(QTreeWidgetItem* node) {
    if (!node)
        return;
    int topic = 1;
    if (!node->parent()) {
        panelLtg_->hide();
        panelTln_->hide();
        panelRuf_->hide();
        panelImage_->show();
    } else {
        const int index = node->parent()->indexOfChild(node);
        QFrame* const pages[] = {panelLtg_, panelTln_, panelRuf_};
        if (index < 0 || index > 2)
            return;
        for (int i = 0; i < 3; ++i)
            pages[i]->setVisible(i == index);
        panelImage_->hide();
        topic = 2 + index;
    }
    emit helpTopicRequested(topic);
}
