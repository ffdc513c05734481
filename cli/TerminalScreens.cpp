#include "cli/TerminalScreens.h"

#include <algorithm>

namespace travin::cli {

namespace {

constexpr std::string_view kBreak = "\r\n";
// Board bytes are written in pieces of at least this size between ticks.
constexpr std::size_t kOutputChunk = 4096;

bool startsProgress(std::string_view text) {
    return text.starts_with("Downloading") || text.starts_with("Uploading") || text.starts_with("Erasing");
}

}  // namespace

TerminalScreens::TerminalScreens(Terminal& term, std::string name, bool prefix)
    : terminal(term), board(std::move(name)), prefixed(prefix) {}

Screens TerminalScreens::screens() { return Screens{*this, *this, *this, *this, *this, clock, *this}; }

// --- Listing -----------------------------------------------------------------

std::vector<std::string> TerminalScreens::lines() const {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (;;) {
        const auto end = text.find(kBreak, from);
        if (end == std::string::npos) {
            out.push_back(text.substr(from));
            break;
        }
        out.push_back(text.substr(from, end - from));
        from = end + kBreak.size();
    }
    if (!out.empty() && out.back().empty()) out.pop_back();
    return out;
}

int TerminalScreens::lineCount() const { return static_cast<int>(lines().size()); }

int TerminalScreens::lineStart(int line) const {
    int start = 0;
    const auto all = lines();
    for (int i = 0; i < line && i < static_cast<int>(all.size()); ++i)
        start += static_cast<int>(all[static_cast<std::size_t>(i)].size() + kBreak.size());
    return start;
}

int TerminalScreens::textLength() const { return static_cast<int>(text.size()); }

void TerminalScreens::setLines(const std::vector<std::string>& newLines) {
    text.clear();
    for (std::size_t i = 0; i < newLines.size(); ++i) {
        if (i > 0) text += kBreak;
        text += newLines[i];
    }
    selStart = selLength = 0;
    isModified = true;
}

void TerminalScreens::clear() {
    text.clear();
    selStart = selLength = 0;
    isModified = true;
}

void TerminalScreens::setSelection(int start, int length) {
    const int size = textLength();
    selStart = std::clamp(start, 0, size);
    selLength = std::clamp(length, 0, size - selStart);
}

std::string TerminalScreens::selectedText() const {
    return text.substr(static_cast<std::size_t>(selStart), static_cast<std::size_t>(selLength));
}

void TerminalScreens::replaceSelection(const std::string& inserted) {
    text.replace(static_cast<std::size_t>(selStart), static_cast<std::size_t>(selLength), inserted);
    selStart += static_cast<int>(inserted.size());
    selLength = 0;
    isModified = true;
}

// --- Console -----------------------------------------------------------------

void TerminalScreens::setConsoleLines(const std::vector<std::string>& newLines) {
    paneLines = newLines;
    // The workbench hands the lines over once per tick and before every
    // wait: the moment to pass the board's bytes on.
    flushOutput();
}

void TerminalScreens::programByte(std::uint8_t byte) {
    output.push_back(static_cast<char>(byte));
    if (output.size() >= kOutputChunk) flushOutput();
}

void TerminalScreens::flushOutput() {
    if (output.empty()) return;
    if (!prefixed) {
        terminal.writeOutput(output);
        output.clear();
        return;
    }
    // Behind the port's name only whole lines, so that boards do not mix
    // within a line.
    const auto last = output.rfind('\n');
    if (last == std::string::npos) return;
    std::string lines;
    std::size_t from = 0;
    while (from <= last) {
        const auto end = output.find('\n', from);
        lines += board + ": " + output.substr(from, end + 1 - from);
        from = end + 1;
    }
    terminal.writeOutput(lines);
    output.erase(0, last + 1);
}

void TerminalScreens::workbenchText(std::string_view piece) {
    if (capturing) {
        captured += piece;
        return;
    }
    if (startsProgress(piece)) {
        inProgress = true;
        dots = 0;
    } else if (inProgress && piece == ".") {
        ++dots;
    }
    messageLine += piece;
    for (auto end = messageLine.find('\n'); end != std::string::npos; end = messageLine.find('\n')) {
        std::string line = messageLine.substr(0, end);
        messageLine.erase(0, end + 1);
        while (!line.empty() && line.back() == '\r') line.pop_back();
        if (inProgress && terminal.progressOnTerminal()) {
            terminal.showProgress(board, (prefixed ? board + ": " : std::string()) + line);
        } else {
            message(line);
        }
        inProgress = false;
    }
    if (inProgress) progressStep(messageLine);
}

void TerminalScreens::progressStep(const std::string& sofar) {
    if (!terminal.progressOnTerminal()) return;
    std::string row = prefixed ? board + ": " : std::string();
    const auto label = sofar.substr(0, sofar.find('.'));
    row += label + " ";
    if (expectedDots > 0 && label == "Downloading") {
        constexpr int kWidth = 30;
        const int filled = std::min(kWidth, dots * kWidth / expectedDots);
        row += "[" + std::string(static_cast<std::size_t>(filled), '#') +
               std::string(static_cast<std::size_t>(kWidth - filled), ' ') + "] " +
               std::to_string(std::min(100, dots * 100 / expectedDots)) + "%";
    } else {
        row += std::string(static_cast<std::size_t>(dots), '.');
    }
    terminal.showProgress(board, row);
}

void TerminalScreens::message(const std::string& line) {
    terminal.writeMessage(prefixed ? board + ": " + line : line);
}

void TerminalScreens::finish() {
    if (prefixed && !output.empty() && output.back() != '\n') output += '\n';
    flushOutput();
    if (!messageLine.empty()) {
        message(messageLine);
        messageLine.clear();
    }
}

void TerminalScreens::writeOutput(const std::string& result) {
    flushOutput();
    if (!prefixed) {
        terminal.writeOutput(result);
        return;
    }
    output += result;
    flushOutput();
}

void TerminalScreens::setPortProblem(const std::string& problem) {
    // Why the port did not open, in the monitor's words; an empty text
    // clears the problem and says nothing.
    if (!problem.empty()) ShowNotice(problem);
}

// --- Boxes -------------------------------------------------------------------

void TerminalScreens::ShowNotice(const std::string& notice) {
    notices.push_back(notice);
    if (capturing) {
        captured += notice + "\n";
        return;
    }
    // A box interrupts the workbench's line ("Downloading...."): what came
    // of it so far is shown first, so messages keep their order.
    if (!messageLine.empty()) {
        message(messageLine);
        messageLine.clear();
        inProgress = false;
    }
    message(notice);
}

Answer TerminalScreens::askYesNoCancel(const std::string&, const std::string&) { return questionAnswer; }

bool TerminalScreens::inputBox(const std::string& caption, const std::string& prompt, std::string& answer) {
    if (caption == "User Input") {
        // The program asks: what it printed so far comes first, then its
        // prompt (a message, so stdout keeps only the program's bytes).
        flushOutput();
        message(prompt);
        std::string line;
        if (!terminal.readLine(line)) return false;
        answer = line;
        return true;
    }
    lastBoxDefault = answer;
    if (boxAnswers.empty()) return false;
    answer = boxAnswers.front();
    boxAnswers.pop_front();
    return true;
}

}  // namespace travin::cli
