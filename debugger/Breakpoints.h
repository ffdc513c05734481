// The breakpoint table, the executing line and the listing's colour marks.
//
// The table holds up to three listing line numbers (kEmptySlot when a slot
// is free; a freed slot is not closed up). The colouring routines select
// text and colour the selection; each puts the listing's modified mark back
// as it found it, so that colouring never counts as an edit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/ScreenInterfaces.h"
#include "debugger/DebuggerParts.h"

namespace travin {


class Breakpoints {
public:
    explicit Breakpoints(DebuggerParts& parts) : wb(parts) {}

    // Empties every slot; true when at least one was in use. No recolouring.
    bool ClearBreakpoints();
    // Sends the table as SetBreakpoints; "Set Breakpoint Failed\r\n" when
    // the exchange failed. No guards.
    void SendBreakpoints();
    // The whole listing in its default colour; caret kept, no selection.
    void ResetListingColors();
    // Every breakpoint line red; caret kept, no selection.
    void PaintBreakpoints();
    // The line at executingPosition blue (magenta on a breakpoint line),
    // caret at its start, scrolled into view, listing focused.
    void MarkExecutingLine();
    // The Break operation: toggles a breakpoint on the caret line. A line
    // past the 65535th is refused with a notice and the table kept.
    void DebuggerSetBreakpointExecute();

private:
    // Colours the extent of `line` (its text and line break).
    void colourLine(const std::vector<int>& starts, int line, Rgb colour);

    DebuggerParts& wb;
};

}  // namespace travin
