#include "cli/TerminalScreens.h"

#include <algorithm>
#include <utility>

namespace travin::cli {

namespace {

constexpr std::string_view kBreak = "\r\n";
// Board bytes are written in pieces of at least this size between ticks.
constexpr std::size_t kOutputChunk = 4096;
// With several boards a line without its end is held at most this long or
// this large, then shown behind its prefix all the same.
constexpr std::int64_t kPartialLineMs = 300;
constexpr std::size_t kPartialLineBytes = 4096;
// The workbench's advice for its window, which a terminal cannot follow.
constexpr std::string_view kWindowAdvice = "Power Cycle Target, then Press OK";

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

void TerminalScreens::setProgramOutputToStdout(bool on) {
    flushOutput();
    flushStrayOutput(true);
    outputToStdout = on;
}

void TerminalScreens::programByte(std::uint8_t byte) {
    if (!outputToStdout) {
        strayOutput.push_back(static_cast<char>(byte));
        if (byte == '\n' || strayOutput.size() >= kOutputChunk) flushStrayOutput(strayOutput.size() >= kOutputChunk);
        return;
    }
    if (output.empty()) heldSinceMs = clock.nowMs();
    output.push_back(static_cast<char>(byte));
    // Only the size is looked at per byte; lines are found once per flush.
    if (output.size() >= kOutputChunk + kPartialLineBytes) flushOutput();
}

void TerminalScreens::flushStrayOutput(bool all) {
    std::size_t from = 0;
    for (auto end = strayOutput.find('\n'); end != std::string::npos; end = strayOutput.find('\n', from)) {
        std::string line = strayOutput.substr(from, end - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        message("board output: " + line);
        from = end + 1;
    }
    strayOutput.erase(0, from);
    if (all && !strayOutput.empty()) {
        message("board output: " + strayOutput);
        strayOutput.clear();
    }
}

void TerminalScreens::flushOutput() {
    if (output.empty()) return;
    if (!prefixed) {
        terminal.writeOutput(output);
        output.clear();
        return;
    }
    // Behind the port's name whole lines, so that boards do not mix within
    // a line; a line that does not end soon enough goes as it is, broken.
    const auto last = output.rfind('\n');
    const bool holdTooLong = clock.nowMs() - heldSinceMs >= kPartialLineMs;
    const std::size_t partial = last == std::string::npos ? output.size() : output.size() - last - 1;
    const bool showPartial = partial > 0 && (holdTooLong || partial >= kPartialLineBytes);
    if (last == std::string::npos && !showPartial) return;
    std::string lines;
    std::size_t from = 0;
    while (last != std::string::npos && from <= last) {
        const auto end = output.find('\n', from);
        lines += board + ": ";
        lines.append(output, from, end + 1 - from);
        from = end + 1;
    }
    if (showPartial) {
        lines += board + ": ";
        lines.append(output, from, std::string::npos);
        lines += '\n';
        from = output.size();
    }
    terminal.writeOutput(lines);
    output.erase(0, from);
    heldSinceMs = clock.nowMs();
}

void TerminalScreens::workbenchText(std::string_view piece) {
    // A transfer writes its dots between pages, shown or not.
    if (piece == "." && onProgressDot) onProgressDot();
    if (capturing) {
        captured += piece;
        return;
    }
    // Board bytes met before this text (e.g. during detection) come first.
    flushStrayOutput(false);
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
        // --quiet drops what only tells of progress: the detection line and
        // a transfer that went through.
        const bool chatter = line.starts_with("Travin Detected") || (inProgress && line.ends_with("Done"));
        if (inProgress && terminal.progressOnTerminal()) {
            terminal.showProgress(board, (prefixed ? board + ": " : std::string()) + line);
        } else if (!(chatter && terminal.isQuiet())) {
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
        // Appended piece by piece: GCC 12 warns (-Wrestrict, wrongly) about
        // a literal joined to a temporary string.
        row += '[';
        row.append(static_cast<std::size_t>(filled), '#');
        row.append(static_cast<std::size_t>(kWidth - filled), ' ');
        row += "] ";
        row += std::to_string(std::min(100, dots * 100 / expectedDots));
        row += '%';
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
    flushStrayOutput(true);
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
    if (notice.starts_with(kWindowAdvice)) return;
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
        // Inside the prompt's exchange nothing waits for the user: the
        // session answers once the exchange is over, or sends nothing.
        pendingPrompt = prompt;
        return false;
    }
    lastBoxDefault = answer;
    if (boxAnswers.empty()) return false;
    answer = boxAnswers.front();
    boxAnswers.pop_front();
    return true;
}

}  // namespace travin::cli

namespace travin::cli {

std::string TerminalScreens::takePrompt() { return std::exchange(pendingPrompt, std::string()); }

void TerminalScreens::showPrompt(const std::string& prompt) {
    // What the program printed so far comes first, then its prompt.
    flushOutput();
    flushStrayOutput(true);
    message(prompt.empty() ? "input requested" : prompt);
}

}  // namespace travin::cli
