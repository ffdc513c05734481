// The process's own terminal, shared by every board a command works on:
// results to stdout, messages and progress to stderr, answers read from
// stdin one line each, and the flag that asks every wait to end (a signal,
// or a stdout that can no longer be written). Each board runs on its own
// thread, so every method takes the one lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace travin::cli {

class Terminal {
public:
    Terminal();

    // Raw bytes to stdout, unchanged. A failed write is remembered (see
    // writeFailure) and ends every wait: a reader that went away counts as
    // SIGPIPE, any other error as a failed write.
    void writeOutput(std::string_view bytes);
    // What stdout gets instead of the bytes given to writeOutput (run and
    // console's --timestamps and --log); called under the terminal's lock.
    void setOutputFilter(std::function<std::string(std::string_view)> filter) { outputFilter = std::move(filter); }
    // One message line to stderr, behind "travin-cli: " (the line break is
    // added).
    void writeMessage(std::string_view line);
    // The progress line of one board: redrawn in place on a terminal, where
    // each board keeps its own row, cut to the terminal's width; elsewhere
    // (and with --quiet) nothing.
    void showProgress(const std::string& board, const std::string& text);
    bool progressOnTerminal() const { return stderrIsTerminal && !quiet; }
    // --quiet: no progress and no detection line.
    void setQuiet(bool on) { quiet = on; }
    bool isQuiet() const { return quiet; }

    enum class LineRead { Line, Nothing, Ended, Stopped };
    // Waits at most `milliseconds` for one line of stdin (without its line
    // end). Stopped when a signal came; Ended at the end of input.
    LineRead pollLine(std::string& line, int milliseconds);

    // Why stdout could not be written, empty when it could.
    std::string writeFailure() const;
    // Closes stdout and reports a failure of its last write; false (with
    // the reason in writeFailure) when the result did not reach it.
    bool closeOutput();

    // Installs the handlers of SIGINT, SIGTERM and SIGHUP (no restart, so
    // waits return early) and ignores SIGPIPE, so that the client lives on
    // to stop the program; opens /dev/null on a closed fd 0, 1 or 2.
    static void catchInterrupt();
    // True once a signal came or stdout failed: every wait ends, nothing new
    // starts.
    static bool interrupted();
    // The exit code for the reason: 128 + the signal, or the write error's.
    static int stopExitCode();
    // The line saying why the client stopped early.
    static std::string stopReason();

private:
    void forgetProgressRows();
    void noteWriteError(int error);

    mutable std::mutex lock;
    std::function<std::string(std::string_view)> outputFilter;
    // Apart from the output's lock: a board waiting for its answer must not
    // hold up the other boards' output.
    std::mutex inputLock;
    bool stderrIsTerminal = false;
    bool quiet = false;
    std::map<std::string, std::string> progressRows;
    int rowsDrawn = 0;
    std::string pendingInput;
    bool inputEnded = false;
    std::string outputError;
};

}  // namespace travin::cli
