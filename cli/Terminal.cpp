#include "cli/Terminal.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace travin::cli {

namespace {

std::atomic<bool> interruptFlag{false};

void onInterrupt(int) { interruptFlag = true; }

void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return;   // a closed pipe: nothing more can be shown
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace

Terminal::Terminal() : stderrIsTerminal(::isatty(STDERR_FILENO) == 1) {}

void Terminal::catchInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    // A reader that went away must not kill the client before it stops the
    // program; writes then just fail.
    signal(SIGPIPE, SIG_IGN);
}

bool Terminal::interrupted() { return interruptFlag; }

void Terminal::writeOutput(std::string_view bytes) {
    std::lock_guard guard(lock);
    writeAll(STDOUT_FILENO, bytes);
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
    writeAll(STDERR_FILENO, text);
}

void Terminal::showProgress(const std::string& board, const std::string& text) {
    std::lock_guard guard(lock);
    if (!stderrIsTerminal) return;
    progressRows[board] = text;
    std::string frame;
    if (rowsDrawn > 0) frame += "\033[" + std::to_string(rowsDrawn) + "A";
    for (const auto& [name, row] : progressRows) frame += "\r\033[K" + row + "\n";
    rowsDrawn = static_cast<int>(progressRows.size());
    writeAll(STDERR_FILENO, frame);
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
        pollfd entry{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&entry, 1, 100);
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) {
            inputEnded = true;
            continue;
        }
        pendingInput.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace travin::cli
