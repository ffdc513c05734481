// travin-cli in a child process, as a script runs it: its standard streams
// on pipes (or stdout on a given file, or stdin closed), signals sent to
// it, its exit code and CPU time collected.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace travin::clitest {

using Clock = std::chrono::steady_clock;

struct Outcome {
    int exitCode = -1;
    std::string out, err;
    long long elapsedMs = 0;
    long long cpuMs = 0;
};

struct Launch {
    std::string input;          // written to stdin, which then closes
    bool keepInputOpen = false; // stdin stays open (the user has not typed yet)
    bool closeInput = false;    // fd 0 closed before the client starts
    std::string stdoutPath;     // stdout on this file instead of a pipe
    // The program and its first arguments instead of travin-cli (the
    // Windows client under Wine: {"wine", "travin-cli.exe"}).
    std::vector<std::string> program;

    static Launch withInput(std::string text) {
        Launch l;
        l.input = std::move(text);
        return l;
    }
    static Launch inputOpen() {
        Launch l;
        l.keepInputOpen = true;
        return l;
    }
    static Launch inputClosed() {
        Launch l;
        l.closeInput = true;
        return l;
    }
};

class CliProcess {
public:
    CliProcess(const std::vector<std::string>& args, const Launch& launch = {}) : started(Clock::now()) {
        int in[2], out[2], err[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            ::dup2(in[0], 0);
            ::dup2(err[1], 2);
            if (launch.stdoutPath.empty()) {
                ::dup2(out[1], 1);
            } else {
                const int fd = ::open(launch.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                ::dup2(fd, 1);
                ::close(fd);
            }
            for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
            if (launch.closeInput) ::close(0);
            std::vector<char*> argv;
            if (launch.program.empty()) argv.push_back(const_cast<char*>(TRAVIN_CLI_EXE));
            for (const auto& a : launch.program) argv.push_back(const_cast<char*>(a.c_str()));
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        if (!launch.input.empty()) (void)!::write(in[1], launch.input.data(), launch.input.size());
        inFd = in[1];
        if (!launch.keepInputOpen) closeInput();
        outFd = out[0];
        errFd = err[0];
    }
    ~CliProcess() {
        if (pid > 0 && !reaped) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        for (int fd : {inFd, outFd, errFd})
            if (fd >= 0) ::close(fd);
    }

    void signal(int number) { ::kill(pid, number); }
    void interrupt() { signal(SIGINT); }
    void type(const std::string& text) { (void)!::write(inFd, text.data(), text.size()); }
    void closeInput() {
        if (inFd >= 0) ::close(inFd);
        inFd = -1;
    }
    // The reader of stdout goes away (`| head -1`).
    void closeOutputReader() {
        if (outFd >= 0) ::close(outFd);
        outFd = -1;
    }
    // Reads stdout until it holds `text` or `ms` pass; what came so far.
    bool awaitOutput(const std::string& text, int ms) {
        return collectUntil([&] { return early.out.find(text) != std::string::npos; }, ms);
    }
    bool awaitMessage(const std::string& text, int ms) {
        return collectUntil([&] { return early.err.find(text) != std::string::npos; }, ms);
    }
    // Reads both streams for `ms` (or until they end), so that a client
    // printing without pause is not held up by a full pipe meanwhile.
    void collectFor(int ms) {
        collectUntil([] { return false; }, ms);
    }

    // Collects both streams to their end and the exit code.
    Outcome finish(int seconds = 60) {
        Outcome o = early;
        const auto deadline = Clock::now() + std::chrono::seconds(seconds);
        while ((outFd >= 0 || errFd >= 0) && Clock::now() < deadline) {
            pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
            if (::poll(fds, 2, 1000) <= 0) continue;
            drain(fds[0], outFd, o.out);
            drain(fds[1], errFd, o.err);
        }
        int status = 0;
        if (outFd >= 0 || errFd >= 0) ::kill(pid, SIGKILL);
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        reaped = true;
        o.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
        o.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL +
                  (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
        o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        return o;
    }

private:
    // Reads both streams until `done` holds, `ms` pass or both have ended.
    template <typename Done>
    bool collectUntil(Done done, int ms) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        while (!done() && (outFd >= 0 || errFd >= 0)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) break;
            pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
            if (::poll(fds, 2, static_cast<int>(std::min<long long>(left, 100))) <= 0) continue;
            drain(fds[0], outFd, early.out);
            drain(fds[1], errFd, early.err);
        }
        return done();
    }

    static void drain(const pollfd& entry, int& fd, std::string& into) {
        if (fd < 0 || !(entry.revents & (POLLIN | POLLHUP | POLLERR))) return;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
        } else {
            ::close(fd);
            fd = -1;
        }
    }

    Clock::time_point started;
    pid_t pid = -1;
    bool reaped = false;
    int inFd = -1, outFd = -1, errFd = -1;
    Outcome early;
};

inline Outcome runCli(const std::vector<std::string>& args, const std::string& input = {}) {
    return CliProcess(args, Launch::withInput(input)).finish();
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

template <typename Condition>
bool waitFor(Condition condition, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace travin::clitest
