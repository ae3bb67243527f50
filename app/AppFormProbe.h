#pragma once

#include "app/AppForm.h"

// The main window as tests and benchmarks drive it: the same window, with what no user can
// reach made reachable by name. Actions, controls and dialogs are found by their object names
// instead. Nothing of the program uses it.
class TAppFormProbe : public TAppForm {
public:
    using TAppForm::TAppForm;

    // state the window shows nowhere, or only in part
    using TAppForm::ComPort1;     // whether the port is open, and its number
    using TAppForm::Conversation; // the link's state (LinkState, UsedComPort, ...)
    using TAppForm::CurrentFile;  // the title shows its name, not its folder
    using TAppForm::DataPacket1;  // whether the collector is armed
    using TAppForm::Image;        // the bytes held; the editor shows them decoded
    using TAppForm::Modified;     // the title's star is the only sign; tests set it up too
    using TAppForm::Untitled;     // decides between "save" and "save as"; shown nowhere
    using TAppForm::WorkDir;      // the folder the file dialogs start in

    // the platform's dialogs and printer, which tests replace
    using TAppForm::FileDialogProvider;
    using TAppForm::PageSetupProvider;
    using TAppForm::PrintDialogProvider;
    using TAppForm::Printer;
    using TAppForm::ReportSurfaceFactory;

    // operations whose result no control shows
    using TAppForm::ClearModified;       // a saved state without a file dialog
    using TAppForm::EditorToImage;       // the image the editor holds, as a write would send it
    using TAppForm::MarkModified;        // a changed state without touching the image
    using TAppForm::OpenConfiguration;   // opening with its outcome, without the save question
    using TAppForm::SaveConfiguration;   // saving with its 0 / -1 outcome
    using TAppForm::SaveConfigurationAs; // the same through the file dialog
    using TAppForm::ShowMessageDialog;   // the shared boxes with any caption and lines
};
