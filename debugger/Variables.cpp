#include "debugger/Variables.h"

#include "app/Workbench.h"

namespace travin {

// Staged: filled in by its own issue.
void Variables::RefreshVariables() {
}

void Variables::DebuggerSetVariableExecute() {
}

void Variables::ListBox1SetVariable() {
}

}  // namespace travin
