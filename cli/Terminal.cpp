#include "cli/Terminal.h"

#include "cli/TerminalDevice.h"

namespace travin::cli {

namespace {

std::atomic<bool> interruptFlag{false};

}  // namespace

Terminal::Terminal() : stderrIsTerminal(device::messagesOnTerminal()) {}

void Terminal::catchInterrupt() { device::catchInterrupt(interruptFlag); }

bool Terminal::interrupted() { return interruptFlag; }

void Terminal::writeOutput(std::string_view bytes) {
    std::lock_guard guard(lock);
    if (outputFilter) device::writeAll(device::Stream::Output, outputFilter(bytes));
    else device::writeAll(device::Stream::Output, bytes);
}

void Terminal::forgetProgressRows() {
    // The rows drawn so far stay where they are; later progress starts
    // below the message.
    rowsDrawn = 0;
    progressRows.clear();
}

void Terminal::writeMessage(std::string_view line) {
    std::lock_guard guard(lock);
    forgetProgressRows();
    std::string text(line);
    text += '\n';
    device::writeAll(device::Stream::Messages, text);
}

void Terminal::showProgress(const std::string& board, const std::string& text) {
    std::lock_guard guard(lock);
    if (!stderrIsTerminal) return;
    progressRows[board] = text;
    std::string frame;
    if (rowsDrawn > 0) frame += "\033[" + std::to_string(rowsDrawn) + "A";
    for (const auto& [name, row] : progressRows) frame += "\r\033[K" + row + "\n";
    rowsDrawn = static_cast<int>(progressRows.size());
    device::writeAll(device::Stream::Messages, frame);
}

bool Terminal::readLine(std::string& line) {
    std::lock_guard guard(inputLock);
    for (;;) {
        const auto end = pendingInput.find('\n');
        if (end != std::string::npos) {
            line = pendingInput.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            pendingInput.erase(0, end + 1);
            return true;
        }
        if (inputEnded) {
            if (pendingInput.empty()) return false;
            line = std::move(pendingInput);
            pendingInput.clear();
            return true;
        }
        if (interruptFlag) return false;
        char buffer[256];
        const long n = device::readInput(buffer, sizeof buffer, 100);
        if (n == 0) continue;
        if (n < 0) {
            inputEnded = true;
            continue;
        }
        pendingInput.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace travin::cli
