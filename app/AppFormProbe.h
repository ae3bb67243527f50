#pragma once

#include "app/AppForm.h"

// The main window as tests and benchmarks drive it: the same window, with the state and the
// handlers they check made reachable by name. Nothing of the program uses it.
class TAppFormProbe : public TAppForm {
public:
    using TAppForm::TAppForm;

    // state
    using TAppForm::CurrentFile;
    using TAppForm::File1;
    using TAppForm::File2;
    using TAppForm::File3;
    using TAppForm::File4;
    using TAppForm::Image;
    using TAppForm::ImageChecksum;
    using TAppForm::Modified;
    using TAppForm::ReportLines;
    using TAppForm::Untitled;
    using TAppForm::WorkDir;

    // dialogs, the device link and the firmware watchdog
    using TAppForm::AboutBox;
    using TAppForm::ComPort1;
    using TAppForm::Conversation;
    using TAppForm::DataPacket1;
    using TAppForm::ErgebnisDialog;
    using TAppForm::ErrorDialog;
    using TAppForm::FirmwareDlg;
    using TAppForm::HinweisBox;
    using TAppForm::PortDialog;
    using TAppForm::ProgErgebnisDialog;
    using TAppForm::SuchenDlg;
    using TAppForm::TimerFWUpdate;
    using TAppForm::UpDownLoad;
    using TAppForm::WaehleComPortDlg;

    // controls and actions
    using TAppForm::COMItem1;
    using TAppForm::Download;
    using TAppForm::Editor;
    using TAppForm::FileOpen1;
    using TAppForm::FileSave1;
    using TAppForm::Help;
    using TAppForm::HelpAbout1;
    using TAppForm::MenuExtras;
    using TAppForm::MenuHilfe;
    using TAppForm::MenuKonfiguration;
    using TAppForm::NeueFirmware1;
    using TAppForm::NewPIN;
    using TAppForm::PanelPages;
    using TAppForm::Print1;
    using TAppForm::Printer1;
    using TAppForm::SpeedButton1;
    using TAppForm::SpeedButton2;
    using TAppForm::StatusPanel0;
    using TAppForm::StatusPanel1;
    using TAppForm::ToolBar1;
    using TAppForm::ToolButton10;
    using TAppForm::Upload;
    using TAppForm::Werkseinstellung;

    // the platform's dialogs and printer, which tests replace
    using TAppForm::FileDialogProvider;
    using TAppForm::PageSetupProvider;
    using TAppForm::PrintDialogProvider;
    using TAppForm::Printer;
    using TAppForm::ReportSurfaceFactory;

    // handlers and operations
    using TAppForm::BuildReport;
    using TAppForm::ClearModified;
    using TAppForm::EditorToImage;
    using TAppForm::FileNew1Execute;
    using TAppForm::FileOpen1Execute;
    using TAppForm::ImageToEditor;
    using TAppForm::MarkModified;
    using TAppForm::OpenConfiguration;
    using TAppForm::Print1Execute;
    using TAppForm::Printer1Execute;
    using TAppForm::SaveConfiguration;
    using TAppForm::SaveConfigurationAs;
    using TAppForm::ShowMessageDialog;
};
