#include "workbench/StatusNotes.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "debugger/ProgramImage.h"
#include "link/Console.h"

namespace travin {

namespace {

constexpr std::size_t kTailLines = 6;
const std::string kErrorMark = "Error in line ";

// A line that ends the program: `end` as its statement, with nothing but
// blanks or a comment after it (not `endif` and the like).
bool endsTheProgram(const std::string& line) {
    std::size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line.size() - i < 3) return false;
    for (int k = 0; k < 3; ++k)
        if (std::tolower(static_cast<unsigned char>(line[i + k])) != "end"[k]) return false;
    const std::size_t after = i + 3;
    if (after == line.size()) return true;
    const char next = line[after];
    return next == ' ' || next == '\t' || next == '\'' || next == ':';
}

}  // namespace

std::string StatusNotes::connection() const {
    const WorkbenchState& s = wb.state;
    const bool open = s.portHandle != kInvalidHandle;
    const std::string port = "COM" + std::to_string(open ? s.openPort : s.selectedPort);
    if (!open || !s.detected) return port + ": no board";
    const std::string version(s.versionText.data());
    return port + ": connected to " + (version.empty() ? std::string("the board") : version);
}

std::string StatusNotes::stopNote() const { return wb.state.running ? std::string() : lastStop; }

int StatusNotes::newErrorLine(const std::deque<std::string>& lines) {
    // The new lines follow the tail remembered at the last stop; without
    // that tail in sight, every line of the last few is new.
    std::size_t first = lines.size() > kTailLines ? lines.size() - kTailLines : 0;
    if (!consoleTail.empty() && lines.size() >= consoleTail.size()) {
        for (std::size_t at = lines.size() - consoleTail.size() + 1; at-- > 0;) {
            if (std::equal(consoleTail.begin(), consoleTail.end(), lines.begin() + static_cast<std::ptrdiff_t>(at))) {
                first = at + consoleTail.size();
                break;
            }
        }
    }
    int errorLine = 0;
    for (std::size_t i = first; i < lines.size(); ++i) {
        const std::size_t mark = lines[i].find(kErrorMark);
        if (mark != std::string::npos) errorLine = std::atoi(lines[i].c_str() + mark + kErrorMark.size());
    }
    // Only whole lines are remembered: the last one may still grow.
    const auto whole = lines.end() - (lines.empty() ? 0 : 1);
    consoleTail.assign(whole - std::min<std::ptrdiff_t>(whole - lines.begin(), kTailLines), whole);
    return errorLine;
}

void StatusNotes::BoardStopped() {
    const std::vector<std::string> listing = wb.screens.listing.lines();
    const std::vector<int> starts = lineStarts(listing);
    const int line = lineAtPosition(starts, wb.state.executingPosition);
    const int errorLine = newErrorLine(wb.console.lines());
    if (errorLine > 0) {
        lastStop = "Stopped on an error at line " + std::to_string(errorLine);
        return;
    }
    const int textEnd = listing.empty() ? 0 : starts.back() + static_cast<int>(listing.back().size());
    if (line < 0 || wb.state.executingPosition >= textEnd) {
        lastStop = "Program ended";
        return;
    }
    const auto& slots = wb.state.breakpoints;
    if (std::find(slots.begin(), slots.end(), line) != slots.end()) {
        lastStop = "Stopped at line " + std::to_string(line + 1) + " (breakpoint)";
        return;
    }
    if (endsTheProgram(listing[static_cast<std::size_t>(line)])) {
        lastStop = "Program ended";
        return;
    }
    lastStop = "Stopped at line " + std::to_string(line + 1);
}

}  // namespace travin
