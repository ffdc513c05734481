#include "cli/Preparation.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <fstream>
#include <iterator>
#include <optional>

#include "cli/Check.h"
#include "cli/ExitCodes.h"
#include "cli/ProgramLines.h"
#include "cli/TerminalDevice.h"
#include "cli/TerminalScreens.h"
#include "core/FilePath.h"
#include "core/SourceFileIo.h"
#include "debugger/ConsoleInput.h"
#include "debugger/ProgramImage.h"
#include "workbench/Workbench.h"

namespace travin::cli {

namespace {

// Splits program bytes into lines as the source files are read: LF, CR LF
// or CR end a line.
std::vector<std::string> splitProgram(const std::string& bytes) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            lines.emplace_back();
        } else {
            lines.back() += c;
        }
    }
    return lines;
}

}  // namespace

int loadProgram(Terminal& terminal, const Locations& folder, const std::string& file, Prepared& p) {
    p.programName = file == "-" ? "<stdin>" : file;
    if (file == "-") {
        std::string bytes;
        char buffer[4096];
        for (long n; (n = device::readInput(buffer, sizeof buffer, 1000)) != -1;) {
            if (Terminal::interrupted()) return Terminal::stopExitCode();
            if (n > 0) bytes.append(buffer, static_cast<std::size_t>(n));
        }
        p.program = splitProgram(bytes);
    } else if (!readSourceFile(file, p.program)) {
        terminal.writeMessage("cannot read " + file);
        return kUsage;
    }
    if (const int line = lineWithZeroByte(p.program); line >= 0) {
        terminal.writeMessage(p.programName + ":" + std::to_string(line + 1) +
                              ": holds a zero byte, which would end the program there on the board");
        return kRefused;
    }
    if (std::none_of(p.program.begin(), p.program.end(), [](const std::string& l) { return holdsStatement(l); })) {
        terminal.writeMessage(p.programName + ": the program is empty; 'travin-cli erase --yes' clears the board's program");
        return kRefused;
    }
    // The window's limit check, on a workbench of its own that never opens a port.
    Terminal quiet;
    TerminalScreens screens(quiet, "", false);
    screens.capturing = true;
    Workbench wb(screens.screens(), folder);
    screens.setLines(p.program);
    if (wb.download.CheckProgramLimits()) return kDone;
    std::string reason = screens.captured;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
    const int line = lineAtPosition(lineStarts(screens.lines()), wb.state.executingPosition);
    // Lines counted from 1, as editors and compilers print them.
    terminal.writeMessage(p.programName + ":" + std::to_string(line + 1) + ": " + reason);
    return kRefused;
}

namespace {

// The strict form of a value: decimal, an optional sign, signed 32 bits.
std::optional<std::int32_t> strictValue(const std::string& text) {
    std::size_t at = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (at == text.size() || text.size() - at > 10) return std::nullopt;
    long long value = 0;
    for (; at < text.size(); ++at) {
        if (!std::isdigit(static_cast<unsigned char>(text[at]))) return std::nullopt;
        value = value * 10 + (text[at] - '0');
    }
    if (text[0] == '-') value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

}  // namespace

int prepare(const Options& o, Terminal& terminal, const Locations& folder, Prepared& p) {
    auto usage = [&terminal](const std::string& problem) {
        terminal.writeMessage(problem);
        terminal.writeMessage("try 'travin-cli --help'");
        return kUsage;
    };
    if ((o.command == "run" || o.command == "download") && !o.args.empty()) {
        if (const int code = loadProgram(terminal, folder, o.args[0], p); code != kDone) return code;
        warnAboutProblems(p.programName, p.program, terminal);
        const int lines = static_cast<int>(p.program.size());
        for (int line : o.breaks) {
            if (line > lines || !holdsStatement(p.program[static_cast<std::size_t>(line - 1)]))
                return usage("no statement on line " + std::to_string(line) + " of " + p.programName + " to break on");
        }
    }
    if (!o.sourceFile.empty() && !readSourceFile(o.sourceFile, p.source)) {
        terminal.writeMessage("cannot read " + o.sourceFile);
        return kUsage;
    }
    for (const auto& [port, file] : o.inputFiles) {
        // Read whole now: a file that cannot be read stops the command
        // before a program starts that would wait for it.
        std::ifstream in(filePath(file), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (!in.good() && !in.eof()) {
            terminal.writeMessage("cannot read " + file);
            return kUsage;
        }
        std::vector<std::string> lines = splitProgram(bytes);
        if (!lines.empty() && lines.back().empty()) lines.pop_back();
        p.answers[port] = std::deque<std::string>(lines.begin(), lines.end());
    }
    if (o.command == "vars") {
        std::vector<bool> seen(kVariableCount);
        for (const auto& assignment : o.args) {
            const auto equals = assignment.find('=');
            const bool letter = equals == 1 && std::isalpha(static_cast<unsigned char>(assignment[0]));
            if (!letter) return usage("vars takes NAME=VALUE with NAME a letter A to Z: " + assignment);
            const int index = std::toupper(static_cast<unsigned char>(assignment[0])) - 'A';
            const auto value = strictValue(assignment.substr(2));
            if (!value)
                return usage("not a value from -2147483648 to 2147483647 in decimal: " + assignment +
                             " (nothing was set)");
            if (seen[static_cast<std::size_t>(index)]) return usage("variable set twice: " + assignment);
            seen[static_cast<std::size_t>(index)] = true;
            p.assignments.emplace_back(index, *value);
        }
    }
    if (o.command == "aci" && o.args[0].size() > static_cast<std::size_t>(kAciLineLimit))
        return usage("an ACI command holds at most " + std::to_string(kAciLineLimit) + " characters");
    return kDone;
}


}  // namespace travin::cli
