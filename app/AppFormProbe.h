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
    using TAppForm::Modified;
    using TAppForm::ReportLines;
    using TAppForm::Untitled;
    using TAppForm::WorkDir;

    // dialogs, the device link and the firmware watchdog
    using TAppForm::ComPort1;
    using TAppForm::Conversation;
    using TAppForm::DataPacket1;

    // controls and actions

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
    using TAppForm::MarkModified;
    using TAppForm::OpenConfiguration;
    using TAppForm::SaveConfiguration;
    using TAppForm::SaveConfigurationAs;
    using TAppForm::ShowMessageDialog;
};
