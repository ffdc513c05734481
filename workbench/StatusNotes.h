// The status bar's words on the board: the connection ("COM1: connected to
// Travin VB 1.0", "COM1: no board") and why the program last stopped
// ("Stopped at line 12 (breakpoint)", "Program ended", "Stopped on an
// error at line 9"), so that losing the board or an error is visible
// without reading the console.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "debugger/DebuggerParts.h"

namespace travin {

class StatusNotes {
public:
    explicit StatusNotes(DebuggerParts& parts) : wb(parts) {}

    // The connection as it stands now.
    std::string connection() const;
    // Why the program last stopped; "" before the first stop and while it
    // runs.
    std::string stopNote() const;

    // The board reported that the program stopped: reads the reason from
    // the executing line, the breakpoints and the console's new lines.
    void BoardStopped();

private:
    DebuggerParts& wb;
    std::string lastStop;
    // The console's last lines at the previous stop, so that an error
    // message already read is not read again.
    std::vector<std::string> consoleTail;
    // The line of "Error in line N:" among the lines written since then, or 0.
    int newErrorLine(const std::deque<std::string>& lines);
};

}  // namespace travin
