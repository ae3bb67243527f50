#pragma once

// What a test of the main window works with: the window in a fresh settings home, its parts
// found by name, modal and file dialogs answered as the user answers them, and Qt's widgets.
#include "AppWithSim.h"
#include "FileDialogAnswers.h"
#include "ShownBox.h"
#include "WindowParts.h"
#include "app/AppFormProbe.h"
#include "config/EditorPages.h"
#include "config/HelpPanel.h"
#include "link/LinkConversation.h"

#include <QtWidgets>
