#include "debugger/Breakpoints.h"

#include <algorithm>

#include "link/Console.h"
#include "core/Controls.h"
#include "link/CommandLink.h"
#include "link/CommandTable.h"
#include "debugger/ProgramImage.h"

namespace travin {

namespace {

const std::string kLineBeyondTable = "Breakpoints can be set on the first 65535 lines only";

// Holds the listing's modified mark and puts it back when the colouring is
// done: a view may count a colour change as an edit, and the monitor would
// then clear the very breakpoints being painted.
class KeepModifiedMark {
public:
    explicit KeepModifiedMark(ListingView& listing) : listing_(listing), mark_(listing.modified()) {}
    ~KeepModifiedMark() { listing_.setModified(mark_); }
    KeepModifiedMark(const KeepModifiedMark&) = delete;
    KeepModifiedMark& operator=(const KeepModifiedMark&) = delete;

private:
    ListingView& listing_;
    bool mark_;
};

}  // namespace

bool Breakpoints::ClearBreakpoints() {
    bool any = false;
    for (auto& slot : wb.state.breakpoints) {
        if (slot != kEmptySlot) {
            slot = kEmptySlot;
            any = true;
        }
    }
    return any;
}

void Breakpoints::SendBreakpoints() {
    const auto payload = breakpointPayload(wb.state.breakpoints, lineStarts(wb.screens.listing.lines()));
    wb.link.SendCommand(command::SetBreakpoints, payload.data(), static_cast<int>(payload.size()));
    if (!wb.state.detected) wb.console.ConsoleWrite("Set Breakpoint Failed\r\n");
}

void Breakpoints::colourLine(const std::vector<int>& starts, int line, Rgb colour) {
    ListingView& listing = wb.screens.listing;
    const int begin = starts[line];
    const int end = line + 1 < static_cast<int>(starts.size()) ? starts[line + 1] : listing.textLength();
    listing.setSelection(begin, end - begin);
    listing.setSelectionColor(colour);
}

void Breakpoints::ResetListingColors() {
    ListingView& listing = wb.screens.listing;
    KeepModifiedMark mark(listing);
    const int caret = listing.selectionStart();
    listing.setSelection(0, listing.textLength());
    listing.setSelectionColor(listing.defaultTextColor());
    listing.setSelection(caret, 0);
    listing.scrollCaretIntoView();
}

void Breakpoints::PaintBreakpoints() {
    ListingView& listing = wb.screens.listing;
    KeepModifiedMark mark(listing);
    const int caret = listing.selectionStart();
    const auto starts = lineStarts(listing.lines());
    for (std::uint16_t slot : wb.state.breakpoints) {
        if (slot != kEmptySlot && slot < starts.size()) colourLine(starts, slot, kRed);
    }
    listing.setSelection(caret, 0);
    listing.scrollCaretIntoView();
}

void Breakpoints::MarkExecutingLine() {
    ListingView& listing = wb.screens.listing;
    KeepModifiedMark mark(listing);
    const auto starts = lineStarts(listing.lines());
    const int line = lineAtPosition(starts, wb.state.executingPosition);
    if (line < 0) return;   // an empty listing has nothing to mark
    const auto& slots = wb.state.breakpoints;
    const bool onBreakpoint = std::find(slots.begin(), slots.end(), line) != slots.end();
    colourLine(starts, line, onBreakpoint ? kMagenta : kBlue);
    listing.setSelection(starts[line], 0);
    listing.scrollCaretIntoView();
    listing.focus();
}

void Breakpoints::DebuggerSetBreakpointExecute() {
    if (!wb.controls.RequireDetected()) return;
    if (!wb.controls.RequireStopped("Break")) return;

    ListingView& listing = wb.screens.listing;
    const int caret = listing.selectionStart();
    const auto starts = lineStarts(listing.lines());
    const int line = lineAtPosition(starts, caret);
    // An empty listing has no caret line; no slot may name a missing line.
    if (line < 0) return;
    // The board's table holds 16-bit line numbers and 0xFFFF means a free
    // slot, so a line from there on cannot be named; the table stays as it is.
    if (line >= kEmptySlot) {
        wb.screens.notices.ShowNotice(kLineBeyondTable);
        return;
    }

    auto& slots = wb.state.breakpoints;
    bool held = false;
    for (auto& slot : slots) {
        if (slot == line) {
            slot = kEmptySlot;
            held = true;
        }
    }
    if (!held) {
        auto free = std::find(slots.begin(), slots.end(), kEmptySlot);
        if (free == slots.end()) {
            wb.screens.notices.ShowNotice("Allowed number of breakpoints exceded");
            return;
        }
        *free = static_cast<std::uint16_t>(line);
    }

    ResetListingColors();
    PaintBreakpoints();
    listing.setSelection(caret, 0);
    listing.scrollCaretIntoView();
    listing.focus();
}

}  // namespace travin
