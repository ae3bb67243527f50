// The main window's side of the configuration image: the modified mark, the conversions
// between image and editor, a new configuration and the factory reset.
#include "app/AppForm.h"
#include "app/WarningBoxes.h"

#include "config/EditorPages.h"
#include "link/LinkConversation.h"

void TAppForm::MarkModified() {
    if (Modified)
        return;
    Modified = true;
    setWindowTitle(windowTitle() + QStringLiteral("*"));
}

void TAppForm::ClearModified() {
    Modified = false;
    UpdateCaption();
}

void TAppForm::EditorToImage() {
    ImageChecksum = Editor->EditorToImage(Image);
}

void TAppForm::ImageToEditor() {
    Editor->ImageToEditor(Image);
}

void TAppForm::NewConfiguration() {
    Editor->SetFactoryDefaults();
    ClearModified();
    CurrentFile = WorkDir + DefaultFileName;
    Untitled = true;
    UpdateCaption();
}

void TAppForm::WerkseinstellungExecute() {
    if (!AskWarningYesNo(this, QStringLiteral("WerkseinstellungQuestion"),
                         QStringLiteral("Die Einstellungen der Telefonanlage werden in den "
                                        "werkseitigen Auslieferzustand zurückgesetzt.\nWollen Sie "
                                        "fortfahren?")))
        return;
    NewConfiguration();
    Conversation->LinkOperation = TLinkConversation::WriteOperation;
    Conversation->StartTransfer();
}
