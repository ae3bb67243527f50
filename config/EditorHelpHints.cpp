#include "config/ApplicationHint.h"
#include "config/EditorPages.h"

#include <QFrame>
#include <QPushButton>

void TEditorPages::AssignHelpHints() {
    Hint::set(panelImage_, Hint::forTopic(1));
    Hint::set(panelLtg_, Hint::forTopic(2));
    Hint::set(panelTln_, Hint::forTopic(3));
    Hint::set(panelRuf_, Hint::forTopic(4));
    Hint::set(amtsholung_.panel, Hint::forTopic(16));
    Hint::set(heranholen_.panel, Hint::forTopic(17));
    Hint::set(anklopfschutz_.panel, Hint::forTopic(18));
    Hint::set(wartemusik_.panel, Hint::forTopic(19));
    for (const TPortControls& c : ports_) {
        Hint::set(c.panelTyp, Hint::forTopic(20));
        Hint::set(c.panelBerecht, Hint::forTopic(21));
        Hint::set(c.panelRuf, Hint::forTopic(22));
    }
    Hint::set(buttonTlnEin_, Hint::forTopic(23));
    Hint::set(buttonTlnAus_, Hint::forTopic(24));
}
