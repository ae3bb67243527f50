// The telephone system's editing rules. Each rule works on the controls of its own
// port; setting a control runs that control's rule at once (nested).
#include "config/EditorPages.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

namespace {
void enableAndSelect(QRadioButton* b) {
    b->setEnabled(true);
    b->setChecked(true);
}
void setBox(QCheckBox* box, bool enabled, bool ticked) {
    box->setEnabled(enabled);
    box->setChecked(ticked);
}
} // namespace

void TEditorPages::markModified() {
    if (MarkModified)
        MarkModified();
}

void TEditorPages::ApplyDoorRule(int port, bool on) {
    for (QCheckBox* box : ports_[port - 1].taste)
        setBox(box, on, on);
}

void TEditorPages::RefreshTypeAvailability() {
    bool anyAnrufbeantworter = false;
    bool anyTfe = false;
    for (const TPortControls& c : ports_) {
        anyAnrufbeantworter = anyAnrufbeantworter || c.anrufbeantworter->isChecked();
        anyTfe = anyTfe || c.tfe->isChecked();
    }
    for (const TPortControls& c : ports_) {
        if (!anyAnrufbeantworter)
            c.anrufbeantworter->setEnabled(true);
        if (!anyTfe)
            c.tfe->setEnabled(true);
    }
}

// Telefon/Fax/Kombigerät: full permissions with every ring.
void TEditorPages::telefonClick(int port) {
    const TPortControls& c = ports_[port - 1];
    enableAndSelect(c.vab);
    c.hab->setEnabled(true);
    c.nab->setEnabled(true);
    setBox(c.tb, true, true);
    setBox(c.arb, true, true);
    for (QCheckBox* box : c.taste)
        box->setEnabled(true);
    ApplyDoorRule(port, c.tb->isChecked());
    RefreshTypeAvailability();
    markModified();
}

// Anrufbeantworter: always takes external calls, never door calls; only one port.
void TEditorPages::anrufbeantworterClick(int port) {
    const TPortControls& c = ports_[port - 1];
    enableAndSelect(c.vab);
    c.hab->setEnabled(true);
    c.nab->setEnabled(false);
    setBox(c.tb, false, false);
    setBox(c.arb, false, true);
    for (QCheckBox* box : c.taste)
        setBox(box, false, false);
    for (int other = 1; other <= 4; ++other)
        if (other != port)
            ports_[other - 1].anrufbeantworter->setEnabled(false);
    RefreshTypeAvailability();
    markModified();
}

// TFE (door intercom adapter): nichtamtsberechtigt, no rings; only one port.
void TEditorPages::tfeClick(int port) {
    const TPortControls& c = ports_[port - 1];
    c.vab->setEnabled(false);
    c.hab->setEnabled(false);
    enableAndSelect(c.nab);
    setBox(c.tb, false, false);
    setBox(c.arb, false, false);
    for (QCheckBox* box : c.taste)
        setBox(box, false, false);
    for (int other = 1; other <= 4; ++other)
        if (other != port)
            ports_[other - 1].tfe->setEnabled(false);
    RefreshTypeAvailability();
    markModified();
}

// amtsberechtigt or halbamtsberechtigt: external calls ring (an answering machine
// keeps its fixed state).
void TEditorPages::vabHabClick(int port) {
    const TPortControls& c = ports_[port - 1];
    if (!c.anrufbeantworter->isChecked()) {
        setBox(c.arb, true, true);
        c.tb->setEnabled(true);
        ApplyDoorRule(port, c.tb->isChecked());
    }
    markModified();
}

// nichtamtsberechtigt: no external calls at this port.
void TEditorPages::nabClick(int port) {
    const TPortControls& c = ports_[port - 1];
    c.arb->setChecked(false);
    c.arb->setEnabled(false);
    c.tb->setEnabled(true);
    ApplyDoorRule(port, c.tb->isChecked());
    markModified();
}

void TEditorPages::tbClick(int port) {
    ApplyDoorRule(port, ports_[port - 1].tb->isChecked());
    markModified();
}

// Sets the sixteen bell-button boxes port by port, enabled or not; each box whose
// tick changes marks the configuration itself.
void TEditorPages::setAllBellBoxes(bool on) {
    for (const TPortControls& c : ports_)
        for (QCheckBox* box : c.taste)
            box->setChecked(on);
}

void TEditorPages::buttonTlnEinClick() {
    setAllBellBoxes(true);
}
void TEditorPages::buttonTlnAusClick() {
    setAllBellBoxes(false);
}

bool TEditorPages::AnyExternalRing() const {
    for (const TPortControls& c : ports_)
        if (c.arb->isChecked())
            return true;
    return false;
}

void TEditorPages::connectRules() {
    auto onSelected = [this](QRadioButton* b, auto rule) {
        connect(b, &QRadioButton::toggled, this, [rule](bool checked) {
            if (checked)
                rule();
        });
    };
    for (int p = 1; p <= 4; ++p) {
        const TPortControls& c = ports_[p - 1];
        onSelected(c.telefon, [this, p] { telefonClick(p); });
        onSelected(c.anrufbeantworter, [this, p] { anrufbeantworterClick(p); });
        onSelected(c.tfe, [this, p] { tfeClick(p); });
        onSelected(c.vab, [this, p] { vabHabClick(p); });
        onSelected(c.hab, [this, p] { vabHabClick(p); });
        onSelected(c.nab, [this, p] { nabClick(p); });
        connect(c.tb, &QCheckBox::toggled, this, [this, p] { tbClick(p); });
        connect(c.arb, &QCheckBox::toggled, this, [this] { markModified(); });
        for (QCheckBox* box : c.taste)
            connect(box, &QCheckBox::toggled, this, [this] { markModified(); });
    }
    for (const YesNoGroup* g : {&amtsholung_, &heranholen_, &anklopfschutz_, &wartemusik_}) {
        onSelected(g->ja, [this] { markModified(); });
        onSelected(g->nein, [this] { markModified(); });
    }
    connect(buttonTlnEin_, &QPushButton::clicked, this, [this] { buttonTlnEinClick(); });
    connect(buttonTlnAus_, &QPushButton::clicked, this, [this] { buttonTlnAusClick(); });
}
