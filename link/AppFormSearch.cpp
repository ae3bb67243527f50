// The window's side of the device search and the port choice: the search dialog, the
// no-device dialog and the port dialog.
#include "app/AppForm.h"
#include "link/LinkConversation.h"
#include "link/PortDialogs.h"
#include "link/SearchDialogs.h"

#include <QLabel>

void TAppForm::ShowSearchLabel(const QString& text) {
    SuchenDlg->lblComPortNumber->setText(text);
}

void TAppForm::RunSearchDialog() {
    if (SuchenDlg->isVisible())
        return;
    SuchenDlg->DisableButtons();
    SuchenDlg->exec();
}

void TAppForm::SearchEnded() {
    SuchenDlg->done(mrCancel);
}

bool TAppForm::NoDeviceFound(const QString& permissionLine) {
    KeineAnlageDlg->SetPermissionHint(permissionLine);
    return KeineAnlageDlg->exec() == mrRetry;
}

bool TAppForm::RunPortChoice() {
    return PortDialog->exec() == mrOk;
}

void TAppForm::COMItem1Execute() {
    Conversation->ChoosePortAfterScan();
}
