#include "debugger/ConsoleInput.h"

#include "app/Workbench.h"

namespace travin {

// Staged: filled in by its own issue.
void ConsoleInput::DebuggerSendCharacterExecute() {
}

void ConsoleInput::SendACIExecute() {
}

bool ConsoleInput::ACIEditKeyPress(char /*key*/) {
    return false;
}

}  // namespace travin
