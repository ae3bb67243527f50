// The commands that talk to the telephone system.
#include "cli/Commands.h"
#include "cli/Console.h"

namespace {
TExitStatus notYet() {
    PrintMessage(QStringLiteral("Dieser Befehl ist noch nicht verfügbar."));
    return TExitStatus::Usage;
}
} // namespace

TExitStatus FindCommand(const TCliRequest&) {
    return notYet();
}
TExitStatus ReadCommand(const TCliRequest&) {
    return notYet();
}
TExitStatus WriteCommand(const TCliRequest&) {
    return notYet();
}
TExitStatus DiffSystemCommand(const TCliRequest&) {
    return notYet();
}
TExitStatus ResetCommand(const TCliRequest&) {
    return notYet();
}
TExitStatus FirmwareCommand(const TCliRequest&) {
    return notYet();
}
