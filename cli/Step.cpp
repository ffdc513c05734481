// step: the board's program advanced a statement at a time.
#include "cli/BoardCommands.h"

#include <algorithm>

#include "cli/BoardProgram.h"
#include "cli/Json.h"
#include "debugger/ProgramImage.h"

namespace travin::cli::commands {

namespace {

// Time a board is given to say it stopped after a step.
constexpr int kSettleMs = 5000;

}  // namespace

int step(BoardSession& b, const Options& o, const Prepared& p) {
    const int count = o.args.empty() ? 1 : std::stoi(o.args[0]);
    if (const int code = b.openAndAttach(); code != kDone) return code;
    if (!b.wb->controls.RequireStopped("Step")) return kNoBoard;
    if (!o.sourceFile.empty()) {
        // The user's word that this is what the board holds: no upload.
        b.screens->setLines(p.source);
        b.screens->setModified(false);
        b.wb->state.downloadNeeded = false;
    } else if (const int code = uploadQuietly(b); code != kDone) {
        return code;
    }
    auto lines = b.screens->lines();
    for (int i = 0; i < count; ++i) {
        if (Terminal::interrupted()) return Terminal::stopExitCode();
        const std::size_t before = b.screens->notices.size();
        b.wb->execution.DebuggerSingleStepExecute();
        if (!b.wb->state.detected || b.refusedSince(before)) return kNoBoard;
        const WaitEnd end = b.tickUntil([&b] { return !b.wb->state.running; }, BoardSession::nowMs() + kSettleMs);
        if (end == WaitEnd::Interrupted) {
            b.stopProgram();
            return Terminal::stopExitCode();
        }
        if (end == WaitEnd::InputNotGiven) return kProgramStopped;
        if (end == WaitEnd::TimedOut) {
            b.stopProgram();
            b.screens->ShowNotice("the step did not end within " + std::to_string(kSettleMs / 1000) + " s; stopped");
            return kTimedOut;
        }
        if (end != WaitEnd::Reached) return kNoBoard;
        b.wb->variables.RefreshVariables();
        if (!b.wb->state.detected) return kNoBoard;
        int line = executingLine(b);
        const auto starts = lineStarts(lines);
        if (!o.sourceFile.empty() && std::find(starts.begin(), starts.end(), b.wb->state.executingPosition) == starts.end()) {
            // The board stopped where no line of FILE starts: FILE is not
            // what it holds, so its own program is read after all.
            b.screens->ShowNotice(o.sourceFile + " is not the board's program; reading the board's program");
            const int position = b.wb->state.executingPosition;
            if (const int code = uploadQuietly(b); code != kDone) return code;
            lines = b.screens->lines();
            b.wb->state.executingPosition = position;
            line = executingLine(b);
        }
        b.tickOnce();
        b.screens->finish();
        if (o.json)
            b.screens->writeLine("{\"line\": " + std::to_string(line + 1) + ", \"text\": " + jsonString(lineText(lines, line)) + "}");
        else
            b.screens->writeLine(std::to_string(line + 1) + ": " + lineText(lines, line));
    }
    return kDone;
}

}  // namespace travin::cli::commands
