#include "debugger/Execution.h"

#include "app/Workbench.h"

namespace travin {

// Staged: filled in by its own issue.
void Execution::DebuggerRunExecute() {
}

void Execution::DebuggerSingleStepExecute() {
}

void Execution::DebuggerStopExecute() {
}

void Execution::DebuggerResetExecute() {
}

}  // namespace travin
