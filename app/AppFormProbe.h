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
    using TAppForm::DataPacket1;  // whether the collector is armed
    using TAppForm::Image;        // the bytes held; the editor shows them decoded
    using TAppForm::Modified;     // the title's star is the only sign; tests set it up too

    // the platform's dialogs and printer, which tests replace
    using TAppForm::FileDialogProvider;   // the platform's file dialog, answered with a path
    using TAppForm::PageSetupProvider;    // the platform's page set-up dialog
    using TAppForm::PrintDialogProvider;  // the platform's print dialog
    using TAppForm::Printer;              // the printer the report goes to
    using TAppForm::ReportSurfaceFactory; // what the report is drawn on instead of paper
};
