// The process's own terminal, shared by every board a command works on:
// program output to stdout, messages and progress to stderr, answers read
// from stdin one line each, and the Ctrl+C flag. Each board runs on its own
// thread, so every method takes the one lock.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace travin::cli {

class Terminal {
public:
    Terminal();

    // Raw bytes to stdout, unchanged (unless an output filter is set).
    void writeOutput(std::string_view bytes);
    // What stdout gets instead of the bytes given to writeOutput; called
    // under the terminal's lock.
    void setOutputFilter(std::function<std::string(std::string_view)> filter) { outputFilter = std::move(filter); }
    // One message line to stderr (the line break is added).
    void writeMessage(std::string_view line);
    // The progress line of one board: redrawn in place on a terminal, where
    // each board keeps its own row; elsewhere only finished lines are shown
    // (through writeMessage by the caller).
    void showProgress(const std::string& board, const std::string& text);
    bool progressOnTerminal() const { return stderrIsTerminal; }

    // Reads one line from stdin without its line end; false at end of input
    // or when Ctrl+C was pressed. Waits a tenth of a second at a time, so Ctrl+C ends the wait.
    bool readLine(std::string& line);

    // Installs the Ctrl+C handler (no restart, so waits return early).
    static void catchInterrupt();
    static bool interrupted();

private:
    void forgetProgressRows();

    std::mutex lock;
    std::function<std::string(std::string_view)> outputFilter;
    // Apart from the output's lock: a board waiting for its answer must not
    // hold up the other boards' output.
    std::mutex inputLock;
    bool stderrIsTerminal = false;
    std::map<std::string, std::string> progressRows;
    int rowsDrawn = 0;
    std::string pendingInput;
    bool inputEnded = false;
};

}  // namespace travin::cli
