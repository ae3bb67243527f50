#pragma once

// What a test of the main window works with: window, home, parts, dialog answers, Qt's widgets.
#include "AppWithSim.h"
#include "FileDialogAnswers.h"
#include "ShownBox.h"
#include "WindowParts.h"
#include "app/AppFormProbe.h"
#include "config/EditorPages.h"
#include "config/HelpPanel.h"
#include "link/LinkConversation.h"

#include <QtWidgets>
