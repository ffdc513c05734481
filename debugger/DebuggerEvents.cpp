#include "debugger/DebuggerEvents.h"

#include "debugger/Breakpoints.h"
#include "debugger/Variables.h"

namespace travin {

void DebuggerEvents::BoardStopped() {
    wb.variables.RefreshVariables();
    wb.breakpoints.ResetListingColors();
    wb.breakpoints.PaintBreakpoints();
    wb.breakpoints.MarkExecutingLine();
    if (afterStop) afterStop();
}

void DebuggerEvents::ListingEdited() {
    if (wb.breakpoints.ClearBreakpoints()) wb.breakpoints.ResetListingColors();
}

}  // namespace travin
