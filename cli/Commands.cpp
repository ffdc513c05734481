#include "cli/Commands.h"
#include "cli/Check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <thread>
#include <utility>

#include "cli/BoardSession.h"
#include "cli/Json.h"
#include "cli/OutputFile.h"
#include "cli/Preparation.h"
#include "cli/ProgramLines.h"
#include "cli/TerminalDevice.h"
#include "debugger/ProgramImage.h"
#include "link/CommandTable.h"
#include "link/SerialCatalogue.h"

namespace travin::cli {

namespace {

// Time a board is given to say it stopped after a step.
constexpr int kSettleMs = 5000;
// Console bytes an ACI command makes the board print come within this.
constexpr int kAciAnswerMs = 300;
constexpr int kNormalRate = 19200;

using Session = BoardSession;

// Thrown from a transfer's progress when a signal came: the transfer ends
// between pages.
struct TransferStopped {};

std::string lineText(const std::vector<std::string>& lines, int line) {
    if (line < 0 || line >= static_cast<int>(lines.size())) return {};
    return lines[static_cast<std::size_t>(line)];
}

// The listing line (0-based) that holds the executing position; -1 for none.
int executingLine(Session& b) {
    return lineAtPosition(lineStarts(b.screens->lines()), b.wb->state.executingPosition);
}

// Runs a download or an upload so that a signal ends it between pages:
// the board and the port go back to the normal rate, and the client says
// what was left undone. kDone when it ran to its end (its own outcome is
// then in the board's state).
int stoppableTransfer(Session& b, const std::function<void()>& transfer, const std::string& leftUndone) {
    b.screens->onProgressDot = [] {
        if (Terminal::interrupted()) throw TransferStopped{};
    };
    // Between pages, not inside one: the link's own cancelling would end a
    // page's exchange (a board busy writing the last page) as a link
    // failure, leaving the board at the transfer rate. The link's busy wait
    // is bounded, and the next dot is at most four pages away.
    auto cancel = std::exchange(b.wb->link.cancelRequested, nullptr);
    struct Restore {
        Session& session;
        std::function<bool()>& saved;
        ~Restore() { session.wb->link.cancelRequested = std::move(saved); }
    } restore{b, cancel};
    try {
        transfer();
    } catch (const TransferStopped&) {
        b.screens->onProgressDot = nullptr;
        b.screens->capturing = false;
        b.wb->monitor.ChangeBaudRate(kNormalRate);
        b.wb->controls.UpdateControls();
        b.screens->ShowNotice(leftUndone);
        return Terminal::stopExitCode();
    }
    b.screens->onProgressDot = nullptr;
    return kDone;
}

// The board's program into the listing, without a word on the terminal
// unless it fails; the listing then stands for what the board holds.
int uploadQuietly(Session& b) {
    b.screens->questionAnswer = Answer::Yes;
    b.screens->capturing = true;
    b.screens->captured.clear();
    const std::size_t before = b.screens->notices.size();
    if (const int code = stoppableTransfer(b, [&b] { b.wb->memory.UploadMenuClick(); },
                                           "upload stopped between pages");
        code != kDone)
        return code;
    b.screens->capturing = false;
    if (!b.wb->state.detected || b.refusedSince(before)) {
        b.screens->workbenchText(b.screens->captured);
        return kNoBoard;
    }
    b.screens->setModified(false);
    b.wb->state.downloadNeeded = false;
    return kDone;
}

// The listing's download, which a signal ends between pages (the board's
// program is then incomplete).
int downloadListing(Session& b) {
    const auto pages = buildPages(b.screens->lines());
    int dots = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) dots += dotAfterPage(i, pages.size()) ? 1 : 0;
    b.screens->expectedDots = dots;
    if (const int code = stoppableTransfer(b, [&b] { b.wb->download.DownloadProgram(); },
                                           "download stopped between pages; the board's program is incomplete");
        code != kDone)
        return code;
    if (!b.wb->state.detected || b.wb->state.downloadNeeded) return kNoBoard;
    return kDone;
}

int download(Session& b, const Options&, const Prepared& p) {
    b.screens->setLines(p.program);
    b.screens->setModified(false);
    if (const int code = b.openAndAttach(); code != kDone) return code;
    if (const int code = b.stopForOperation("Download"); code != kDone) return code;
    if (Terminal::interrupted()) return Terminal::stopExitCode();
    return downloadListing(b);
}

// Why the run ended, from where the board stopped.
int runOutcome(Session& b, const std::vector<std::string>& lines) {
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

int run(Session& b, const Options& o, const Prepared& p) {
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
        o.timeoutSeconds > 0 ? Session::nowMs() + static_cast<std::int64_t>(std::llround(o.timeoutSeconds * 1000)) : 0;
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

int step(Session& b, const Options& o, const Prepared& p) {
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
        const WaitEnd end = b.tickUntil([&b] { return !b.wb->state.running; }, Session::nowMs() + kSettleMs);
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

int vars(Session& b, const Options& o, const Prepared& p) {
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

int upload(Session& b, const Options& o, const Prepared&) {
    if (const int code = b.openAndAttach(); code != kDone) return code;
    if (const int code = b.stopForOperation("Upload Program"); code != kDone) return code;
    b.screens->questionAnswer = Answer::Yes;
    const std::size_t before = b.screens->notices.size();
    if (const int code = stoppableTransfer(b, [&b] { b.wb->memory.UploadMenuClick(); },
                                           "upload stopped between pages; nothing written");
        code != kDone)
        return code;
    if (!b.wb->state.detected || b.refusedSince(before)) return kNoBoard;
    // A signal after the last page: the result is whole, but the user asked
    // to stop, so no file is replaced by it either.
    if (Terminal::interrupted()) return Terminal::stopExitCode();
    std::string text;
    for (const auto& line : b.screens->lines()) text += line + "\r\n";
    if (o.writesToFile()) {
        if (const std::string problem = writeOutputFile(o.outFile, text); !problem.empty()) {
            b.screens->ShowNotice(problem);
            return kWriteFailed;
        }
        return kDone;
    }
    b.screens->writeOutput(text);
    return kDone;
}

int startupTime(Session& b, const Options& o, const Prepared&) {
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

int detect(Session& b, const Options& o, const Prepared&) {
    if (const int code = b.openAndAttach(); code != kDone) return code;
    const std::string version(b.wb->state.versionText.data());
    b.screens->writeOutput(o.json ? "{\"port\": " + jsonString(b.name()) + ", \"version\": " + jsonString(version) +
                                        ", \"running\": " + (b.wb->state.running ? "true" : "false") + "}\n"
                                  : version + "\n");
    return kDone;
}

int console(Session& b, const Options&, const Prepared&) {
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

int stop(Session& b, const Options&, const Prepared&) {
    if (const int code = b.openAndAttach(); code != kDone) return code;
    b.wb->execution.DebuggerStopExecute();
    b.tickOnce();
    return b.linkResult();
}

int reset(Session& b, const Options&, const Prepared&) {
    if (const int code = b.openAndAttach(); code != kDone) return code;
    const std::size_t before = b.screens->notices.size();
    b.wb->execution.DebuggerResetExecute();
    if (b.refusedSince(before)) return kNoBoard;
    return b.linkResult();
}

int erase(Session& b, const Options&, const Prepared&) {
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

int send(Session& b, const Options& o, const Prepared&) {
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

int aci(Session& b, const Options& o, const Prepared&) {
    if (const int code = b.openAndAttach(); code != kDone) return code;
    if (const int code = b.stopForOperation("Send ACI Command"); code != kDone) return code;
    b.tickOnce();
    // What the board prints from here on is the command's answer.
    b.screens->setProgramOutputToStdout(true);
    b.screens->aci = o.args[0];
    const std::size_t before = b.screens->notices.size();
    b.wb->input.SendACIExecute();
    if (!b.wb->state.detected || b.refusedSince(before)) return kNoBoard;
    b.tickUntil([] { return false; }, Session::nowMs() + kAciAnswerMs);
    return b.linkResult();
}

using Handler = int (*)(Session&, const Options&, const Prepared&);

// Every board command by name; `ports` works without a board.
const std::map<std::string, Handler>& handlers() {
    static const std::map<std::string, Handler> table = {
        {"detect", detect}, {"download", download}, {"run", run},       {"stop", stop},
        {"reset", reset},   {"step", step},         {"vars", vars},     {"upload", upload},
        {"erase", erase},   {"startup-time", startupTime}, {"send", send}, {"aci", aci},
        {"console", console},
    };
    return table;
}

int listPorts(Terminal& terminal, const Locations& folder, bool json) {
    // The same catalogue the window's Devices list shows.
    SerialDriver driver([](const std::string&) {}, comLinkFolder(folder.configFolder));
    const auto source = systemSerialDevices();
    SerialCatalogue catalogue(driver, *source);
    const auto devices = catalogue.devices();
    std::string text;
    if (json) {
        text = "{\"ports\": [";
        for (int n = 1; n <= 8; ++n) {
            text += n > 1 ? ", " : "";
            text += "{\"name\": " + jsonString(PortSelection::portName(n)) +
                    ", \"target\": " + jsonString(catalogue.comTarget(n).text()) + "}";
        }
        text += "], \"devices\": [";
        for (std::size_t i = 0; i < devices.size(); ++i) {
            const auto& d = devices[i];
            text += i > 0 ? ", " : "";
            text += "{\"path\": " + jsonString(d.path) + ", \"by_id\": " + jsonString(d.byIdPath) +
                    ", \"description\": " + jsonString(d.description) +
                    ", \"usb\": " + (d.isUsb() ? jsonString(d.usbIds()) : std::string("null")) + "}";
        }
        text += "]}\n";
    } else {
        for (int n = 1; n <= 8; ++n) text += PortSelection::portName(n) + "  " + catalogue.comTarget(n).text() + "\n";
        text += devices.empty() ? "no serial devices found\n" : "serial devices:\n";
        for (const auto& device : devices) {
            text += "  " + device.path;
            if (!device.byIdPath.empty()) text += "  " + device.byIdPath;
            if (!device.description.empty()) text += "  " + device.description;
            if (device.isUsb()) text += "  [" + device.usbIds() + "]";
            text += "\n";
        }
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

int runCommand(const Options& o, Terminal& terminal, const Locations& folder) {
    terminal.setQuiet(o.quiet);
    if (o.command == "ports") return listPorts(terminal, folder, o.json);
    if (o.command == "check") return checkFiles(o.args, o.json, terminal);
    Prepared prepared;
    if (const int code = prepare(o, terminal, folder, prepared); code != kDone) return code;
    const auto found = handlers().find(o.command);
    if (found == handlers().end()) return kUsage;

    std::vector<std::string> ports = o.ports;
    if (ports.empty()) ports.push_back(rememberedPort(folder));
    const bool several = ports.size() > 1;

    std::vector<std::unique_ptr<Session>> sessions;
    for (const auto& port : ports) {
        sessions.push_back(std::make_unique<Session>(terminal, port, several, folder));
        // Answers from one stdin would reach the boards in whatever order
        // they ask; and a program read from stdin has taken it.
        if (several || (!o.args.empty() && o.args[0] == "-")) {
            sessions.back()->inputPolicy = InputPolicy::Refuse;
            sessions.back()->inputRefusal = several ? "input is not answered with several boards; see --input" : "the program came on stdin";
        }
        if (const auto given = prepared.answers.find(port); given != prepared.answers.end()) {
            sessions.back()->inputPolicy = InputPolicy::FromList;
            sessions.back()->answers = given->second;
        }
    }
    std::vector<int> results(sessions.size(), kDone);

    auto work = [&](std::size_t i) {
        results[i] = found->second(*sessions[i], o, prepared);
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
    int result = kDone;
    for (int r : results) result = worseResult(result, r);
    return result;
}

}  // namespace travin::cli
