// vars and startup-time: the values the board keeps, read and set.
#include "cli/BoardCommands.h"

namespace travin::cli::commands {

int vars(BoardSession& b, const Options& o, const Prepared& p) {
    if (const int code = b.openAndAttach(); code != kDone) return code;
    if (!p.assignments.empty()) {
        // All or nothing: a running program refuses them all before any is sent.
        if (!b.wb->controls.RequireStopped("Set Variable")) return kNoBoard;
    }
    for (const auto& [index, value] : p.assignments) {
        b.screens->boxAnswers = {std::string(1, static_cast<char>('A' + index)), std::to_string(value)};
        const std::size_t before = b.screens->notices.size();
        b.wb->variables.DebuggerSetVariableExecute();
        b.screens->boxAnswers.clear();
        if (!b.wb->state.detected || b.refusedSince(before)) return kNoBoard;
    }
    b.wb->variables.RefreshVariables();
    if (!b.wb->state.detected) return kNoBoard;
    const auto& values = b.wb->state.variableValues;
    std::string text;
    if (o.json) {
        text = "{";
        for (int i = 0; i < kVariableCount; ++i) {
            if (i > 0) text += ", ";
            text += "\"" + std::string(1, static_cast<char>('A' + i)) + "\": " + std::to_string(values[i]);
        }
        text += "}\n";
    } else {
        for (int i = 0; i < kVariableCount; ++i)
            text += std::string(1, static_cast<char>('A' + i)) + "=" + std::to_string(values[i]) + "\n";
    }
    b.screens->writeOutput(text);
    return kDone;
}

int startupTime(BoardSession& b, const Options& o, const Prepared&) {
    if (const int code = b.openAndAttach(); code != kDone) return code;
    if (const int code = b.stopForOperation("Startup Time"); code != kDone) return code;
    const std::size_t before = b.screens->notices.size();
    if (o.args.empty()) {
        // Reads the setting through the window's flow, its box cancelled.
        b.screens->capturing = true;
        b.screens->captured.clear();
        b.wb->memory.StartupTimeMenuClick();
        b.screens->capturing = false;
        if (!b.wb->state.detected || b.refusedSince(before) || b.screens->lastBoxDefault.empty()) {
            b.screens->workbenchText(b.screens->captured);
            return kNoBoard;
        }
        b.screens->writeOutput(o.json ? "{\"seconds\": " + b.screens->lastBoxDefault + "}\n"
                                      : b.screens->lastBoxDefault + "\n");
        return kDone;
    }
    b.screens->boxAnswers = {o.args[0]};
    b.wb->memory.StartupTimeMenuClick();
    if (!b.wb->state.detected || b.refusedSince(before)) return kNoBoard;
    // A board that could not write its EEPROM refused the new time.
    if (b.wb->link.lastReplyRefused()) return kNoBoard;
    for (std::size_t i = before; i < b.screens->notices.size(); ++i)
        if (b.screens->notices[i] == "Startup Time Not Changed") return kUsage;
    return kDone;
}

}  // namespace travin::cli::commands
