#include "cli/Commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>

#include "cli/BoardSession.h"
#include "debugger/ProgramImage.h"
#include "link/CommandTable.h"
#include "link/SerialCatalogue.h"
#include "workbench/SourceFiles.h"

namespace travin::cli {

namespace {

// Time a board is given to say it stopped after a step or a stop.
constexpr int kSettleMs = 5000;
// Console bytes an ACI command makes the board print come within this.
constexpr int kAciAnswerMs = 300;

using Session = BoardSession;

std::string lineText(Session& b, int line) {
    const auto lines = b.screens->lines();
    if (line < 0 || line >= static_cast<int>(lines.size())) return {};
    return lines[static_cast<std::size_t>(line)];
}

// The listing line (0-based) that holds the executing position; -1 for none.
int executingLine(Session& b) {
    return lineAtPosition(lineStarts(b.screens->lines()), b.wb->state.executingPosition);
}

// Loads FILE into the listing and runs the limit check; kDone when it fits.
int loadChecked(Session& b, const std::string& file) {
    std::vector<std::string> lines;
    if (!readSourceFile(file, lines)) {
        b.screens->ShowNotice("Cannot read " + file);
        return kUsage;
    }
    b.screens->setLines(lines);
    b.screens->setModified(false);
    b.screens->capturing = true;
    b.screens->captured.clear();
    const bool fits = b.wb->download.CheckProgramLimits();
    b.screens->capturing = false;
    if (fits) return kDone;
    std::string reason = b.screens->captured;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
    // Lines counted from 1, as editors and compilers print them.
    b.screens->ShowNotice(file + ":" + std::to_string(executingLine(b) + 1) + ": " + reason);
    return kRefused;
}

int openStopping(Session& b) {
    if (const int code = b.open(); code != kDone) return code;
    return b.detectStopping();
}

int openAttached(Session& b) {
    if (const int code = b.open(); code != kDone) return code;
    return b.detectAttached();
}

// The board's program into the listing, without a word on the terminal
// unless it fails; the listing then stands for what the board holds.
int uploadQuietly(Session& b) {
    b.screens->questionAnswer = Answer::Yes;
    b.screens->capturing = true;
    b.screens->captured.clear();
    b.wb->memory.UploadMenuClick();
    b.screens->capturing = false;
    if (!b.wb->state.detected) {
        b.screens->workbenchText(b.screens->captured);
        return b.linkResult();
    }
    b.screens->setModified(false);
    b.wb->state.downloadNeeded = false;
    return kDone;
}

// Stops a running program before the client gives up on it.
void stopProgram(Session& b) {
    if (!b.wb->state.detected || !b.wb->state.running) return;
    b.wb->execution.DebuggerStopExecute();
}

int download(Session& b, const Options& o) {
    const std::string& file = o.args.at(0);
    if (const int code = loadChecked(b, file); code != kDone) return code;
    if (const int code = openStopping(b); code != kDone) return code;
    const auto pages = buildPages(b.screens->lines());
    int dots = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) dots += dotAfterPage(i, pages.size()) ? 1 : 0;
    b.screens->expectedDots = dots;
    b.wb->download.DownloadProgram();
    if (!b.wb->state.detected || b.wb->state.downloadNeeded) return kNoBoard;
    return kDone;
}

int run(Session& b, const Options& o) {
    const bool withFile = !o.args.empty();
    if (withFile) {
        if (const int code = loadChecked(b, o.args[0]); code != kDone) return code;
    }
    if (const int code = openStopping(b); code != kDone) return code;
    if (!withFile) {
        // Runs what the board holds; its text is needed only to place the
        // breakpoints on its lines.
        if (!o.breaks.empty()) {
            if (const int code = uploadQuietly(b); code != kDone) return code;
        }
        b.wb->state.downloadNeeded = false;
    }
    for (int line : o.breaks) {
        if (line < 1 || line > b.screens->lineCount()) {
            b.screens->ShowNotice("No line " + std::to_string(line) + " to break on");
            return kUsage;
        }
        b.screens->setSelection(b.screens->lineStart(line - 1), 0);
        b.wb->breakpoints.DebuggerSetBreakpointExecute();
    }
    if (withFile) {
        const auto pages = buildPages(b.screens->lines());
        int dots = 0;
        for (std::size_t i = 0; i < pages.size(); ++i) dots += dotAfterPage(i, pages.size()) ? 1 : 0;
        b.screens->expectedDots = dots;
    }
    b.wb->execution.DebuggerRunExecute();
    if (!b.wb->state.detected || b.wb->state.downloadNeeded) return kNoBoard;
    if (o.detach) return kDone;

    const std::int64_t deadline =
        o.timeoutSeconds > 0 ? Session::nowMs() + static_cast<std::int64_t>(std::llround(o.timeoutSeconds * 1000)) : 0;
    const WaitEnd end = b.tickUntil([&b] { return !b.wb->state.running; }, deadline);
    if (end == WaitEnd::LinkLost) return kNoBoard;
    if (end == WaitEnd::TimedOut || end == WaitEnd::Interrupted) {
        stopProgram(b);
        b.tickOnce();
        return end == WaitEnd::TimedOut ? kTimedOut : kInterrupted;
    }
    // What the program printed just before it stopped.
    b.tickOnce();
    const int line = executingLine(b);
    const auto& slots = b.wb->state.breakpoints;
    if (line >= 0 && std::find(slots.begin(), slots.end(), line) != slots.end())
        b.screens->ShowNotice("Break at line " + std::to_string(line + 1) + ": " + lineText(b, line));
    return b.wb->state.detected ? kDone : kNoBoard;
}

int step(Session& b, const Options& o) {
    int count = 1;
    if (!o.args.empty()) count = std::stoi(o.args[0]);
    if (const int code = openAttached(b); code != kDone) return code;
    if (!b.wb->controls.RequireStopped("Step")) return kNoBoard;
    if (const int code = uploadQuietly(b); code != kDone) return code;
    for (int i = 0; i < count; ++i) {
        b.wb->execution.DebuggerSingleStepExecute();
        if (!b.wb->state.detected) return kNoBoard;
        const WaitEnd end = b.tickUntil([&b] { return !b.wb->state.running; }, Session::nowMs() + kSettleMs);
        if (end == WaitEnd::Interrupted) {
            stopProgram(b);
            return kInterrupted;
        }
        if (end != WaitEnd::Reached) return kNoBoard;
        b.wb->variables.RefreshVariables();
        if (!b.wb->state.detected) return kNoBoard;
        const int line = executingLine(b);
        b.screens->finish();
        b.screens->writeLine(std::to_string(line + 1) + ": " + lineText(b, line));
    }
    return kDone;
}

int vars(Session& b, const Options& o) {
    if (const int code = openAttached(b); code != kDone) return code;
    int result = kDone;
    for (const auto& assignment : o.args) {
        b.screens->boxAnswers = {assignment.substr(0, 1), assignment.substr(2)};
        const std::size_t noticesBefore = b.screens->notices.size();
        b.wb->variables.DebuggerSetVariableExecute();
        b.screens->boxAnswers.clear();
        if (!b.wb->state.detected) return kNoBoard;
        // Refused by the workbench (running, or not a number): its notice
        // has been shown.
        if (b.screens->notices.size() != noticesBefore) result = b.wb->state.running ? kNoBoard : kUsage;
    }
    // What the board holds now, also after a refused assignment.
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
    return result;
}

int upload(Session& b, const Options& o) {
    if (const int code = openStopping(b); code != kDone) return code;
    b.screens->questionAnswer = Answer::Yes;
    b.wb->memory.UploadMenuClick();
    if (!b.wb->state.detected) return kNoBoard;
    const auto lines = b.screens->lines();
    if (!o.outFile.empty()) {
        // The window's own save: a temporary file renamed over the old one.
        if (!writeSourceFile(o.outFile, lines)) {
            b.screens->ShowNotice("Cannot write " + o.outFile);
            return kUsage;
        }
        return kDone;
    }
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    b.screens->writeOutput(text);
    return kDone;
}

int startupTime(Session& b, const Options& o) {
    if (const int code = openStopping(b); code != kDone) return code;
    if (o.args.empty()) {
        // Reads the setting through the window's flow, its box cancelled.
        b.screens->capturing = true;
        b.screens->captured.clear();
        b.wb->memory.StartupTimeMenuClick();
        b.screens->capturing = false;
        if (!b.wb->state.detected) {
            b.screens->workbenchText(b.screens->captured);
            return kNoBoard;
        }
        b.screens->writeOutput(b.screens->lastBoxDefault + "\n");
        return kDone;
    }
    b.screens->boxAnswers = {o.args[0]};
    const std::size_t before = b.screens->notices.size();
    b.wb->memory.StartupTimeMenuClick();
    if (!b.wb->state.detected) return kNoBoard;
    // A board that could not write its EEPROM refused the new time.
    if (b.wb->link.lastReplyRefused()) return kNoBoard;
    for (std::size_t i = before; i < b.screens->notices.size(); ++i)
        if (b.screens->notices[i] == "Startup Time Not Changed") return kUsage;
    return kDone;
}

int plainOperation(Session& b, const Options& o) {
    const std::string& c = o.command;
    if (c == "detect") {
        if (const int code = openAttached(b); code != kDone) return code;
        b.screens->writeOutput(std::string(b.wb->state.versionText.data()) + "\n");
        return kDone;
    }
    if (c == "console") {
        if (const int code = openAttached(b); code != kDone) return code;
        // Leaves the program running: only the client goes.
        const WaitEnd end = b.tickUntil([] { return false; }, 0);
        return end == WaitEnd::Interrupted ? kInterrupted : kNoBoard;
    }
    if (c == "stop") {
        if (const int code = openAttached(b); code != kDone) return code;
        b.wb->execution.DebuggerStopExecute();
        b.tickOnce();
        return b.linkResult();
    }
    if (c == "reset") {
        if (const int code = openAttached(b); code != kDone) return code;
        if (b.wb->state.running) {
            b.wb->controls.RequireStopped("Reset");
            return kNoBoard;
        }
        b.wb->execution.DebuggerResetExecute();
        return b.linkResult();
    }
    if (c == "erase") {
        if (const int code = openStopping(b); code != kDone) return code;
        b.screens->questionAnswer = Answer::Yes;
        b.wb->memory.EraseMemoryMenuClick();
        // A board that could not write its EEPROM refused the erase.
        if (b.wb->state.detected && b.wb->link.lastReplyRefused()) return kNoBoard;
        return b.linkResult();
    }
    if (c == "send") {
        if (const int code = openAttached(b); code != kDone) return code;
        b.screens->boxAnswers = {o.args[0]};
        b.wb->input.DebuggerSendCharacterExecute();
        b.tickOnce();
        return b.linkResult();
    }
    if (c == "aci") {
        if (const int code = openStopping(b); code != kDone) return code;
        b.screens->aci = o.args[0];
        b.wb->input.SendACIExecute();
        if (!b.wb->state.detected) return kNoBoard;
        b.tickUntil([] { return false; }, Session::nowMs() + kAciAnswerMs);
        return b.linkResult();
    }
    if (c == "download") return download(b, o);
    if (c == "run") return run(b, o);
    if (c == "step") return step(b, o);
    if (c == "vars") return vars(b, o);
    if (c == "upload") return upload(b, o);
    if (c == "startup-time") return startupTime(b, o);
    return kUsage;
}

int listPorts(Terminal& terminal, const Locations& folder) {
    // The same catalogue the window's Devices list shows.
    SerialDriver driver([](const std::string&) {}, comLinkFolder(folder.configFolder));
    const auto source = systemSerialDevices();
    SerialCatalogue catalogue(driver, *source);
    std::string text;
    for (int n = 1; n <= 8; ++n) text += PortSelection::portName(n) + "  " + catalogue.comTarget(n).text() + "\n";
    const auto devices = catalogue.devices();
    text += devices.empty() ? "no serial devices found\n" : "serial devices:\n";
    for (const auto& device : devices) {
        text += "  " + device.path;
        if (!device.byIdPath.empty()) text += "  " + device.byIdPath;
        if (!device.description.empty()) text += "  " + device.description;
        if (device.isUsb()) text += "  [" + device.usbIds() + "]";
        text += "\n";
    }
    terminal.writeOutput(text);
    return kDone;
}

}  // namespace

std::string rememberedPort(const Locations& folder) {
    Terminal quiet;
    TerminalScreens screens(quiet, "", false);
    Workbench wb(screens.screens(), folder);
    wb.port.ReadPortFile();
    return PortSelection::portName(wb.state.selectedPort);
}

bool knownCommand(const std::string& c, std::size_t n, std::string& problem) {
    struct Rule {
        const char* name;
        std::size_t least, most;
    };
    static constexpr Rule kRules[] = {
        {"ports", 0, 0}, {"detect", 0, 0},       {"download", 1, 1}, {"run", 0, 1},  {"stop", 0, 0},
        {"reset", 0, 0}, {"step", 0, 1},         {"vars", 0, 26},    {"upload", 0, 0}, {"erase", 0, 0},
        {"startup-time", 0, 1}, {"send", 1, 1},  {"aci", 1, 1},      {"console", 0, 0},
    };
    for (const auto& rule : kRules) {
        if (c != rule.name) continue;
        if (n < rule.least || n > rule.most) {
            problem = "wrong number of arguments for " + c;
            return false;
        }
        return true;
    }
    problem = c.empty() ? "no command given" : "unknown command " + c;
    return false;
}

int runCommand(const Options& o, Terminal& terminal, const Locations& folder) {
    if (o.command == "ports") return listPorts(terminal, folder);
    std::vector<std::string> ports = o.ports;
    if (ports.empty()) ports.push_back(rememberedPort(folder));
    const bool several = ports.size() > 1;

    std::vector<std::unique_ptr<Session>> sessions;
    for (const auto& port : ports) sessions.push_back(std::make_unique<Session>(terminal, port, several, folder));
    std::vector<int> results(sessions.size(), kDone);

    auto work = [&](std::size_t i) {
        results[i] = plainOperation(*sessions[i], o);
        sessions[i]->screens->finish();
    };
    if (several && (o.command == "download" || o.command == "run")) {
        // Each board on its own thread with its own workbench: they share
        // only the terminal.
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < sessions.size(); ++i) threads.emplace_back(work, i);
        for (auto& t : threads) t.join();
    } else {
        for (std::size_t i = 0; i < sessions.size(); ++i) work(i);
    }
    return *std::max_element(results.begin(), results.end());
}

}  // namespace travin::cli
