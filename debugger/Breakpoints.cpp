#include "debugger/Breakpoints.h"

#include "app/Workbench.h"

namespace travin {

// Staged: filled in by its own issue.
bool Breakpoints::ClearBreakpoints() {
    return false;
}

void Breakpoints::SendBreakpoints() {
}

void Breakpoints::ResetListingColors() {
}

void Breakpoints::PaintBreakpoints() {
}

void Breakpoints::MarkExecutingLine() {
}

void Breakpoints::DebuggerSetBreakpointExecute() {
}

}  // namespace travin
