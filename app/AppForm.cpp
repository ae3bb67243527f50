#include "app/AppForm.h"

#include "app/InputHold.h"
#include "app/ProgramInfo.h"
#include "config/EditorPages.h"
#include "config/HelpPanel.h"
#include "link/FirmwareDlg.h"
#include "link/LinkConversation.h"
#include "link/NeuePINDlg.h"
#include "link/PortDialogs.h"
#include "link/SearchDialogs.h"
#include "serial/DataPacket.h"
#include "serial/SerialPort.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QTreeWidget>

TAppForm::TAppForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("AppForm"));
    FileDialogProvider = runPlatformFileDialog;
    buildLayout();

    FirstShow = true;
    CreateDeviceLink();
    Conversation->ShowPortInUse();
    LoadSettings();
    DefaultFileName = QStringLiteral("Neu.zcf");
    CurrentFile = WorkDir + DefaultFileName;
    Untitled = true;
    ReportLines.clear();
    Editor->SetFactoryDefaults();
    ProgramTitle = QStringLiteral(ZUVEX_PROGRAM_TITLE);
    setWindowTitle(ProgramTitle + QStringLiteral(" - ") + DefaultFileName);
    PrintTopMargin = 1.0;
    PrintLeftMargin = 1.5;
    PrintRightMargin = 1.0;
    Editor->TreeView1()->expandAll();
    Modified = false;
    Help->InstallHintCallback();
    AssignHelpHints();

    AboutBox = std::make_unique<TAboutBox>();
    ErrorDialog = std::make_unique<TErrorDialog>();
    UpDownLoad = std::make_unique<TUpDownLoad>();
    ProgErgebnisDialog = std::make_unique<TProgErgebnisDialog>();
    HinweisBox = std::make_unique<THinweisBox>();
    ErgebnisDialog = std::make_unique<TErgebnisDialog>();
    // The transfer box keeps the main window disabled while it is shown.
    UpDownLoad->OnFormShow = [this] { setEnabled(false); };
    UpDownLoad->OnFormClose = [this] {
        setEnabled(true);
        Conversation->TransferBoxClosed();
    };
    CreateFirmwareAndPin();
}

TAppForm::~TAppForm() = default;

void TAppForm::HelpAbout1Execute() {
    AboutBox->exec();
}

void TAppForm::UpdateCaption() {
    setWindowTitle(ProgramTitle + QStringLiteral(" - ") + fileNamePart(CurrentFile) +
                   (Modified ? QStringLiteral("*") : QString()));
}
