#include "app/AppForm.h"

// The conversation with the telephone system arrives with the serial layer.
void TAppForm::StartTransfer() {}

void TAppForm::UpDownloadExecute(int operation) {
    LinkOperation = operation;
    StartTransfer();
}
