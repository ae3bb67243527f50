// The window's side of the link conversation: the actions that start it, and what it reports,
// shown with the window's dialogs.
#include "app/AppForm.h"
#include "app/InputHold.h"
#include "app/WarningBoxes.h"
#include "config/EditorPages.h"
#include "link/FirmwareDlg.h"
#include "link/LinkConversation.h"

#include <QCheckBox>
#include <QLabel>

void TAppForm::UpDownloadExecute(int operation) {
    Conversation->LinkOperation = operation == TLinkConversation::WriteOperation
                                      ? TLinkConversation::WriteOperation
                                      : TLinkConversation::ReadOperation;
    Conversation->StartTransfer();
}

void TAppForm::DataPacket1Packet(TDataPacket* Sender, const uint8_t* Data, int Size) {
    Conversation->DataPacket1Packet(Sender, Data, Size);
}

void TAppForm::ShowTransferBox(const QString& caption) {
    UpDownLoad->setWindowTitle(caption);
    UpDownLoad->ClearLines();
    UpDownLoad->AddLine(QString());
    UpDownLoad->AddLine(QStringLiteral("Übertragung läuft ..."));
    UpDownLoad->show();
}

void TAppForm::HideTransferBox() {
    // The conversation ends the transfer itself; only the box closed by the user tells it.
    UpDownLoad->hide();
    setEnabled(true);
}

void TAppForm::ShowResult(int operation, const QString& caption, const QStringList& lines) {
    TMessageDialog* box = operation == TLinkConversation::WriteOperation
                              ? static_cast<TMessageDialog*>(ProgErgebnisDialog.get())
                              : ErgebnisDialog.get();
    box->ClearLines();
    ShowMessageDialog(box, caption, lines);
}

void TAppForm::ShowErrorBox(const QString& caption, const QStringList& lines) {
    ShowMessageDialog(ErrorDialog.get(), caption, lines);
}

void TAppForm::ShowApplicationError(const QString& text) {
    ::ShowApplicationError(text);
}

void TAppForm::ShowWarning(const QString& text) {
    ShowWarningBox(FirmwareDlg.get(), text);
}

bool TAppForm::AskWarningQuestion(const QString& name, const QString& text) {
    return AskWarningYesNo(this, name, text);
}

ConfigImage TAppForm::ImageToWrite() {
    EditorToImage();
    return Image;
}

bool TAppForm::AnyExternalRing() {
    return Editor->AnyExternalRing();
}

void TAppForm::ImageRead(const ConfigImage& image) {
    Image = image;
    ImageToEditor();
    for (int port = 1; port <= 4; ++port)
        Editor->ApplyDoorRule(port, Editor->Port(port).tb->isChecked());
    ClearModified();
}

void TAppForm::ShowDeviceText(const QString& text) {
    StatusPanel0->setText(text);
}

void TAppForm::ShowPortInUse(const QString& text) {
    StatusPanel1->setText(text);
}

void TAppForm::SetWaiting(bool waiting) {
    InputHold->SetHolding(waiting);
}

void TAppForm::DropHeldInput() {
    InputHold->DropHeld();
}
