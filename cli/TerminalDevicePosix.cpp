#include "cli/TerminalDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace travin::cli::device {

namespace {

std::atomic<int>* caughtSignal = nullptr;

void onSignal(int signal) {
    if (caughtSignal) {
        // The first signal names the way out; later ones change nothing.
        int none = 0;
        caughtSignal->compare_exchange_strong(none, signal);
    }
}

}  // namespace

std::vector<std::string> arguments(int argc, char** argv) { return {argv, argv + argc}; }

int writeAll(Stream stream, std::string_view bytes) {
    const int fd = stream == Stream::Output ? STDOUT_FILENO : STDERR_FILENO;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int closeOutput() {
    // A file system that writes late reports its error here (NFS, FUSE).
    if (::fsync(STDOUT_FILENO) != 0 && errno != EINVAL && errno != EROFS && errno != EBADF && errno != ENOTSUP)
        return errno;
    if (::close(STDOUT_FILENO) != 0 && errno != EINTR && errno != EBADF) return errno;
    return 0;
}

bool messagesOnTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void catchSignals(std::atomic<int>& caught) {
    caughtSignal = &caught;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart, so waits return early
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    // A reader that went away must not kill the client before it stops the
    // program; the write then fails with EPIPE, which counts as the signal.
    signal(SIGPIPE, SIG_IGN);
}

std::string signalName(int signal) {
    switch (signal) {
    case SIGINT: return "SIGINT (Ctrl+C)";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP (the terminal went away)";
    case SIGPIPE: return "SIGPIPE (the output's reader went away)";
    default: return "signal " + std::to_string(signal);
    }
}

void openMissingStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free number, which is this one.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) ::close(opened);
    }
}

bool syncFile(std::FILE* file) { return ::fsync(::fileno(file)) == 0 || errno == EINVAL; }

int terminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
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
