// run: the program started on the board and followed to its end.
#include "cli/BoardCommands.h"

#include <algorithm>
#include <cmath>

#include "cli/BoardProgram.h"
#include "cli/ProgramLines.h"

namespace travin::cli::commands {

namespace {

// Why the run ended, from where the board stopped.
int runOutcome(BoardSession& b, const std::vector<std::string>& lines) {
    const int line = executingLine(b);
    const auto& slots = b.wb->state.breakpoints;
    if (line >= 0 && std::find(slots.begin(), slots.end(), line) != slots.end()) {
        b.screens->ShowNotice("Break at line " + std::to_string(line + 1) + ": " + lineText(lines, line));
        return kDone;
    }
    if (stoppedAtItsEnd(lines, line)) return kDone;
    b.screens->ShowNotice("the program stopped before its end, at line " + std::to_string(line + 1) + ": " +
                          lineText(lines, line));
    return kProgramStopped;
}

}  // namespace

int run(BoardSession& b, const Options& o, const Prepared& p) {
    const bool withFile = !o.args.empty();
    if (withFile) {
        b.screens->setLines(p.program);
        b.screens->setModified(false);
    }
    if (const int code = b.openAndAttach(); code != kDone) return code;
    if (const int code = b.stopForOperation("Run"); code != kDone) return code;
    if (withFile) {
        // As the window's Run with a changed listing: reset, then download.
        b.wb->execution.DebuggerResetExecute();
        if (!b.wb->state.detected) return kNoBoard;
        if (const int code = downloadListing(b); code != kDone) return code;
    } else if (!o.breaks.empty()) {
        // The program's text tells which lines can hold a breakpoint.
        if (const int code = uploadQuietly(b); code != kDone) return code;
        for (int line : o.breaks) {
            if (line > b.screens->lineCount() || !holdsStatement(lineText(b.screens->lines(), line - 1))) {
                b.screens->ShowNotice("no statement on line " + std::to_string(line) + " of the board's program to break on");
                return kUsage;
            }
        }
    }
    if (!withFile) {
        b.wb->state.downloadNeeded = false;
        if (o.reset) {
            b.wb->execution.DebuggerResetExecute();
            if (!b.wb->state.detected) return kNoBoard;
        }
    }
    for (int line : o.breaks) {
        b.screens->setSelection(b.screens->lineStart(line - 1), 0);
        b.wb->breakpoints.DebuggerSetBreakpointExecute();
    }
    // Nothing starts after a signal.
    if (Terminal::interrupted()) return Terminal::stopExitCode();
    const std::size_t before = b.screens->notices.size();
    b.wb->execution.DebuggerRunExecute();
    if (!b.wb->state.detected) return kNoBoard;
    if (b.refusedSince(before)) return kNoBoard;
    // From here on the bytes are this program's output.
    b.screens->setProgramOutputToStdout(true);
    if (o.detach) return kDone;

    const std::int64_t deadline =
        o.timeoutSeconds > 0 ? BoardSession::nowMs() + static_cast<std::int64_t>(std::llround(o.timeoutSeconds * 1000)) : 0;
    const WaitEnd end = b.tickUntil([&b] { return !b.wb->state.running; }, deadline);
    switch (end) {
    case WaitEnd::LinkLost:
        return kNoBoard;
    case WaitEnd::TimedOut:
        b.stopProgram();
        b.screens->ShowNotice("time-out: the program ran longer than --timeout allowed and is stopped");
        return kTimedOut;
    case WaitEnd::Interrupted:
        b.stopProgram();
        b.screens->ShowNotice("the program is stopped");
        return Terminal::stopExitCode();
    case WaitEnd::InputNotGiven:
        return kProgramStopped;
    case WaitEnd::Reached:
        break;
    }
    // What the program printed just before it stopped.
    b.tickOnce();
    if (!b.wb->state.detected) return kNoBoard;
    if (b.screens->lineCount() == 0) {
        // Where it stopped means something only with the program's text,
        // read now that it no longer runs (reading changes nothing).
        const int position = b.wb->state.executingPosition;
        if (const int code = uploadQuietly(b); code != kDone) return code;
        b.wb->state.executingPosition = position;
    }
    return runOutcome(b, b.screens->lines());
}

}  // namespace travin::cli::commands
