#include "cli/TerminalDevice.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace travin::cli::device {

namespace {

std::atomic<bool>* interruptFlag = nullptr;

void onInterrupt(int) {
    if (interruptFlag) *interruptFlag = true;
}

}  // namespace

std::vector<std::string> arguments(int argc, char** argv) { return {argv, argv + argc}; }

void writeAll(Stream stream, std::string_view bytes) {
    const int fd = stream == Stream::Output ? STDOUT_FILENO : STDERR_FILENO;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return;  // a closed pipe: nothing more can be shown
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

bool messagesOnTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void catchInterrupt(std::atomic<bool>& flag) {
    interruptFlag = &flag;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart, so waits return early
    sigaction(SIGINT, &action, nullptr);
    // A reader that went away must not kill the client before it stops the
    // program; writes then just fail.
    signal(SIGPIPE, SIG_IGN);
}

long readInput(char* buffer, std::size_t size, int milliseconds) {
    pollfd entry{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&entry, 1, milliseconds);
    if (ready < 0) return errno == EINTR ? 0 : -1;
    if (ready == 0) return 0;
    const ssize_t n = ::read(STDIN_FILENO, buffer, size);
    if (n < 0) return errno == EINTR || errno == EAGAIN ? 0 : -1;
    return n == 0 ? -1 : static_cast<long>(n);
}

void pause(int milliseconds) { ::poll(nullptr, 0, milliseconds); }

}  // namespace travin::cli::device
