// One board on one port: its own screens and its own Workbench, driven by
// a loop that ticks the monitor every 100 ms (the window's timer) and
// sleeps in poll() between ticks. A tick never starts while an exchange is
// under way: the loop runs only between the operations it calls.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "cli/Terminal.h"
#include "cli/TerminalScreens.h"
#include "workbench/Workbench.h"

namespace travin::cli {

enum ExitCode {
    kDone = 0,
    kUsage = 1,
    kNoBoard = 2,
    kRefused = 3,
    kTimedOut = 4,
    kInterrupted = 130,
};

// How a wait for the board ended.
enum class WaitEnd { Reached, TimedOut, Interrupted, LinkLost };

class BoardSession {
public:
    // `port` is COM1..COM8 or a device path; `prefixed` when several boards
    // share the terminal.
    BoardSession(Terminal& terminal, const std::string& port, bool prefixed, const Locations& locations);
    ~BoardSession();
    BoardSession(const BoardSession&) = delete;
    BoardSession& operator=(const BoardSession&) = delete;

    // Opens the port; kNoBoard (with a message) when it does not open.
    int open();
    // The window's detection: the monitor's probe, which stops and resets a
    // running program. kDone once detected, else kNoBoard.
    int detectStopping();
    // Detection that leaves a running program running.
    int detectAttached();

    // Ticks the monitor until `reached` holds, `deadlineMs` (steady clock;
    // 0 for none) passes, Ctrl+C is pressed or the link is lost.
    WaitEnd tickUntil(const std::function<bool()>& reached, std::int64_t deadlineMs);
    // One monitor tick now (when the timer is on), e.g. to collect the last
    // console bytes.
    void tickOnce();

    // The workbench's own refusal when the board is not detected, and the
    // exit code for the board's state after an operation.
    int linkResult();

    const std::string& name() const { return portName; }
    static std::int64_t nowMs();

    std::unique_ptr<TerminalScreens> screens;
    std::unique_ptr<Workbench> wb;

private:
    // Says so when the port's device is gone (an adapter pulled out); true
    // then.
    bool reportLostDevice();

    std::string portName;
    Terminal& terminal;
    bool lostReported = false;
};

}  // namespace travin::cli
