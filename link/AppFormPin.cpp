// The PIN change: its dialog; the exchange after ENQ is the conversation's.
#include "app/AppForm.h"
#include "link/LinkConversation.h"
#include "link/NeuePINDlg.h"
#include "link/PortDialogs.h"

#include <QLineEdit>

void TAppForm::NewPINExecute() {
    if (NeuePINDlg->exec() != mrOk)
        return;
    Conversation->StartPinChange(NeuePINDlg->OldPin, NeuePINDlg->NeuePIN1->text().toLatin1());
}
