#include "cli/Terminal.h"

#include <cerrno>
#include <cstring>

#include "cli/ExitCodes.h"
#include "cli/TerminalDevice.h"

namespace travin::cli {

namespace {

// Set by a signal handler: the signal's number, 0 while none came.
std::atomic<int> caughtSignal{0};
// Set when stdout failed with another error than a closed reader.
std::atomic<bool> outputFailed{false};

constexpr int kSigPipe = 13;

}  // namespace

Terminal::Terminal() : stderrIsTerminal(device::messagesOnTerminal()) {}

void Terminal::catchInterrupt() {
    device::openMissingStandardStreams();
    device::catchSignals(caughtSignal);
}

bool Terminal::interrupted() { return caughtSignal != 0 || outputFailed; }

int Terminal::stopExitCode() {
    const int signal = caughtSignal;
    if (signal != 0) return kSignalBase + signal;
    return outputFailed ? kWriteFailed : kDone;
}

std::string Terminal::stopReason() {
    const int signal = caughtSignal;
    if (signal == 0) return "ended early: the output could not be written";
    return "ended by " + device::signalName(signal);
}

void Terminal::noteWriteError(int error) {
    if (error == EPIPE) {
        // The reader went away (`| head -1`): as if SIGPIPE had ended us,
        // but only after the program is stopped.
        int none = 0;
        caughtSignal.compare_exchange_strong(none, kSigPipe);
        return;
    }
    if (outputError.empty()) outputError = std::strerror(error);
    outputFailed = true;
}

void Terminal::writeOutput(std::string_view bytes) {
    std::lock_guard guard(lock);
    if (!outputError.empty() || caughtSignal == kSigPipe) return;
    const std::string filtered = outputFilter ? outputFilter(bytes) : std::string();
    if (outputFilter) bytes = filtered;
    if (const int error = device::writeAll(device::Stream::Output, bytes); error != 0) noteWriteError(error);
}

std::string Terminal::writeFailure() const {
    std::lock_guard guard(lock);
    return outputError;
}

bool Terminal::closeOutput() {
    std::lock_guard guard(lock);
    if (const int error = device::closeOutput(); error != 0) noteWriteError(error);
    return outputError.empty() && caughtSignal != kSigPipe;
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
    std::string text = "travin-cli: ";
    text += line;
    text += '\n';
    device::writeAll(device::Stream::Messages, text);
}

void Terminal::showProgress(const std::string& board, const std::string& text) {
    std::lock_guard guard(lock);
    if (!stderrIsTerminal || quiet) return;
    // A row as wide as the terminal would wrap, and the cursor movements
    // would then leave stale rows behind.
    const int columns = device::terminalColumns();
    std::string row = text;
    if (columns > 1 && row.size() >= static_cast<std::size_t>(columns)) row.resize(static_cast<std::size_t>(columns - 1));
    progressRows[board] = row;
    std::string frame;
    if (rowsDrawn > 0) frame += "\033[" + std::to_string(rowsDrawn) + "A";
    for (const auto& [name, shown] : progressRows) frame += "\r\033[K" + shown + "\n";
    rowsDrawn = static_cast<int>(progressRows.size());
    device::writeAll(device::Stream::Messages, frame);
}

Terminal::LineRead Terminal::pollLine(std::string& line, int milliseconds) {
    std::lock_guard guard(inputLock);
    for (bool waited = false;; waited = true) {
        const auto end = pendingInput.find('\n');
        if (end != std::string::npos) {
            line = pendingInput.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            pendingInput.erase(0, end + 1);
            return LineRead::Line;
        }
        if (inputEnded) {
            // A last line without its line end still is an answer.
            if (pendingInput.empty()) return LineRead::Ended;
            line = std::move(pendingInput);
            pendingInput.clear();
            return LineRead::Line;
        }
        if (interrupted()) return LineRead::Stopped;
        if (waited) return LineRead::Nothing;
        char buffer[256];
        const long n = device::readInput(buffer, sizeof buffer, milliseconds);
        if (n < 0) inputEnded = true;
        if (n > 0) pendingInput.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace travin::cli
