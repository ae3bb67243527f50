#pragma once

#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"
#include "config/ConfigCodec.h"

// The commands on files alone.
TExitStatus ShowCommand(const TCliRequest& request);
TExitStatus DiffFilesCommand(const TCliRequest& request);
TExitStatus PrintCommand(const TCliRequest& request);

// Prints one line per differing setting; Different when there is any.
TExitStatus PrintDifferences(const TEditorSettings& from, const TEditorSettings& to);

// The commands that talk to the telephone system.
TExitStatus FindCommand(const TCliRequest& request);
TExitStatus ReadCommand(const TCliRequest& request);
TExitStatus WriteCommand(const TCliRequest& request);
TExitStatus DiffSystemCommand(const TCliRequest& request);
TExitStatus ResetCommand(const TCliRequest& request);
TExitStatus FirmwareCommand(const TCliRequest& request);
