// Run control: the rules by which the board runs, steps, stops and resets
// the stored program, around an Executor that gives lines their meaning.
//
// The rules (the workbench relies on them):
//   - run()/step() start the program from its position; the caller replies
//     with the running bit set whatever happens next.
//   - A breakpoint stops the program before its line runs. Before each line
//     the board checks the breakpoint table, except for the line a run()
//     resumes at (so Run continues from a breakpoint it stopped at) and the
//     line a step() executes. A run() from the program's start (after a
//     reset, a new program or the end) checks its first line too, so a
//     breakpoint on the first statement holds. A step executes one
//     statement line and stops.
//   - stop() halts at once (a Blocked or NeedsInput line is abandoned and
//     runs again from its start later). reset() halts, sets the position to
//     0 and clears every variable and the character queue.
//   - After a stop the position is the next line to execute; after the
//     program ended (or failed) it is the line that ended it. The next
//     run()/step() after an end starts again from position 0, keeping the
//     variables.
//   - A changed program area is loaded into the executor (position 0,
//     variables kept) when it is next needed: run(), step(), reset() or a
//     position() query (a download writes many pages in a row).
//   - A NeedsInput line sets the waiting state (status bit 4). The answer
//     (provideInput) completes that line: the executor moves position() on,
//     and the board treats the line as executed (a step stops there, the
//     end is noticed through atEnd()); executeLine() is not called for it
//     again. A Blocked line, in contrast, is continued by executeLine().
//   - The output queue holds what a small board's send buffer does: while
//     outputQueueBytes() or more of console output wait to be sent, no
//     further line is executed. A line's output goes in whole, so the queue
//     can pass the bound by at most one line's output.
//
// Not thread-safe: the board calls it under its own lock.
#pragma once

#include "board/Eeprom.h"
#include "board/Executor.h"

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace vboard {

// A small board's send buffer: about 130 ms of output at 19200 bit/s.
inline constexpr std::size_t kDefaultOutputQueueBytes = 256;
inline constexpr std::uint16_t kNoBreakpoint = 0xFFFF;

class RunControl : public ExecutorHost {
public:
    // `executor` defaults to makeExecutor(); tests may hand in their own.
    RunControl(EepromImage& eeprom, std::function<std::uint64_t()> clock,
               std::unique_ptr<Executor> executor = nullptr);

    void programChanged();  // the program area was written or erased: halts
    void run();
    void step();
    void stop();
    void reset();

    // Executes up to `maxLines` lines. Returns 0 when it stopped only because
    // of maxLines (call again soon), a positive number of ms to wait before
    // calling again (a Blocked line: until the executor's blockedUntilMs();
    // console buffer full), or -1 when the program is not running or waits
    // for input.
    int advance(int maxLines);

    bool running() const { return running_; }
    bool waitingInput() const { return waitingInput_; }
    bool ended() const { return ended_; }
    std::uint8_t statusBits() const;
    std::uint16_t position();  // of the program as stored now
    std::int32_t variable(int index) const { return executor_->variable(index); }
    void setVariable(int index, std::int32_t value) { executor_->setVariable(index, value); }
    const std::array<std::uint16_t, 3>& breakpoints() const { return breakpoints_; }
    void setBreakpoints(const std::array<std::uint16_t, 3>& b) { breakpoints_ = b; }
    std::size_t outputQueueBytes() const { return outputQueueBytes_; }
    void setOutputQueueBytes(std::size_t bytes) { outputQueueBytes_ = bytes < 1 ? 1 : bytes; }

    std::string inputPrompt() const;          // empty unless waiting for input
    void provideInput(std::string_view answer);  // ignored unless waiting
    void sendCharacter(std::uint8_t c);       // into the program's input queue
    std::size_t pendingCharacters() const { return characters_.size(); }
    void executeAci(std::string_view line);

    // Console bytes waiting to be sent, oldest first; the board takes them.
    std::string& console() { return console_; }
    const std::string& console() const { return console_; }

    // ExecutorHost
    void consoleWrite(std::string_view bytes) override;
    std::optional<std::uint8_t> takeCharacter() override;
    std::int32_t storedValue(int index) override;
    void setStoredValue(int index, std::int32_t value) override;
    std::uint64_t nowMs() override { return clock_(); }

private:
    void reloadIfChanged();
    void begin(bool stepping);
    void halt();
    bool isBreakpoint(std::uint16_t position) const;

    EepromImage& eeprom_;
    std::function<std::uint64_t()> clock_;
    std::unique_ptr<Executor> executor_;
    std::array<std::uint16_t, 3> breakpoints_{kNoBreakpoint, kNoBreakpoint, kNoBreakpoint};
    std::deque<std::uint8_t> characters_;
    std::string console_;
    std::size_t outputQueueBytes_ = kDefaultOutputQueueBytes;
    bool programDirty_ = true;
    bool running_ = false;
    bool waitingInput_ = false;
    bool stepping_ = false;
    bool firstLine_ = false;
    bool atStart_ = true;  // nothing has run since a reset, a new program or the end
    bool needPrepare_ = false;
    bool continuing_ = false;  // the current line is Blocked or waits for input
    bool ended_ = false;
    std::uint16_t lineStart_ = 0;
};

}  // namespace vboard
