// The short board commands: detect, console, stop, reset, erase, send and
// aci, each one of the window's handlers and its outcome.
#include "cli/BoardCommands.h"

#include "cli/Json.h"

namespace travin::cli::commands {

namespace {

// Console bytes an ACI command makes the board print come within this.
constexpr int kAciAnswerMs = 300;

}  // namespace

int detect(BoardSession& b, const Options& o, const Prepared&) {
    if (const int code = b.openAndAttach(); code != kDone) return code;
    const std::string version(b.wb->state.versionText.data());
    b.screens->writeOutput(o.json ? "{\"port\": " + jsonSystemString(b.name()) + ", \"version\": " + jsonString(version) +
                                        ", \"running\": " + (b.wb->state.running ? "true" : "false") + "}\n"
                                  : version + "\n");
    return kDone;
}

int console(BoardSession& b, const Options&, const Prepared&) {
    if (const int code = b.openAndAttach(); code != kDone) return code;
    b.screens->setProgramOutputToStdout(true);
    if (!b.wb->state.running) {
        b.screens->ShowNotice("no program is running");
        return kDone;
    }
    const WaitEnd end = b.tickUntil([&b] { return !b.wb->state.running; }, 0);
    switch (end) {
    case WaitEnd::Reached:
        b.tickOnce();
        b.screens->ShowNotice("the program ended");
        return kDone;
    case WaitEnd::Interrupted:
        // Leaves the program running: only the client goes (unless it was
        // waiting for an answer, which stopped it).
        return Terminal::stopExitCode();
    case WaitEnd::InputNotGiven:
        return kProgramStopped;
    default:
        return kNoBoard;
    }
}

int stop(BoardSession& b, const Options&, const Prepared&) {
    if (const int code = b.openAndAttach(); code != kDone) return code;
    b.wb->execution.DebuggerStopExecute();
    b.tickOnce();
    return b.linkResult();
}

int reset(BoardSession& b, const Options&, const Prepared&) {
    if (const int code = b.openAndAttach(); code != kDone) return code;
    const std::size_t before = b.screens->notices.size();
    b.wb->execution.DebuggerResetExecute();
    if (b.refusedSince(before)) return kNoBoard;
    return b.linkResult();
}

int erase(BoardSession& b, const Options&, const Prepared&) {
    if (const int code = b.openAndAttach(); code != kDone) return code;
    if (const int code = b.stopForOperation("Erase EEPROM"); code != kDone) return code;
    b.screens->questionAnswer = Answer::Yes;
    const std::size_t before = b.screens->notices.size();
    b.wb->memory.EraseMemoryMenuClick();
    if (b.refusedSince(before)) return kNoBoard;
    // A board that could not write its EEPROM refused the erase.
    if (b.wb->state.detected && b.wb->link.lastReplyRefused()) return kNoBoard;
    return b.linkResult();
}

int send(BoardSession& b, const Options& o, const Prepared&) {
    if (const int code = b.openAndAttach(); code != kDone) return code;
    if (!b.wb->state.running) {
        // The window offers Send Character only while the program runs: a
        // stopped board would keep the character for whatever runs next.
        b.screens->ShowNotice("no program is running: the character was not sent");
        return kNoBoard;
    }
    b.screens->boxAnswers = {o.args[0]};
    b.wb->input.DebuggerSendCharacterExecute();
    b.tickOnce();
    return b.linkResult();
}

int aci(BoardSession& b, const Options& o, const Prepared&) {
    if (const int code = b.openAndAttach(); code != kDone) return code;
    if (const int code = b.stopForOperation("Send ACI Command"); code != kDone) return code;
    b.tickOnce();
    // What the board prints from here on is the command's answer.
    b.screens->setProgramOutputToStdout(true);
    b.screens->aci = o.args[0];
    const std::size_t before = b.screens->notices.size();
    b.wb->input.SendACIExecute();
    if (!b.wb->state.detected || b.refusedSince(before)) return kNoBoard;
    b.tickUntil([] { return false; }, BoardSession::nowMs() + kAciAnswerMs);
    return b.linkResult();
}

}  // namespace travin::cli::commands
