// One board on one port: its own screens and its own Workbench, driven by
// a loop that ticks the monitor every 100 ms (the window's timer) and
// sleeps in poll() between ticks. A tick never starts while an exchange is
// under way: the loop runs only between the operations it calls.
//
// The loop polls the board's status itself instead of leaving it to the
// monitor, because the monitor answers an input request at once (a
// cancelled box sends "0"). Here the prompt is fetched, the answer waited
// for outside any exchange, with the time-out and the signals counting,
// and sent only when the user gave one; otherwise the program is stopped
// and nothing is sent.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "cli/ExitCodes.h"
#include "cli/Terminal.h"
#include "cli/TerminalScreens.h"
#include "workbench/Workbench.h"

namespace travin::cli {

// How a wait for the board ended.
enum class WaitEnd { Reached, TimedOut, Interrupted, LinkLost, InputNotGiven };

// Who answers the program's input requests.
enum class InputPolicy {
    FromStdin,   // one line each from stdin
    FromList,    // one line each from `answers` (--input PORT=FILE)
    Refuse,      // nobody (several boards, or the program came on stdin)
};

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
    // Finds the board without stopping or resetting anything: a status
    // request, then the version. kDone once detected, else kNoBoard.
    int attach();
    // open() then attach().
    int openAndAttach();
    // For an operation the board takes only while stopped: stops a running
    // program (nothing else), and reports the workbench's refusal for
    // `operation` with kNoBoard when it still runs.
    int stopForOperation(const std::string& operation);

    // Ticks the monitor until `reached` holds, `deadlineMs` (steady clock;
    // 0 for none) passes, a signal comes, the link is lost, or an input
    // request could not be answered (the program is then stopped).
    WaitEnd tickUntil(const std::function<bool()>& reached, std::int64_t deadlineMs);
    // One monitor tick now (when the timer is on), e.g. to collect the last
    // console bytes.
    void tickOnce();
    // Stops the program if it runs; a last tick collects its output.
    void stopProgram();

    // kNoBoard (with the workbench's refusal) when the board is not
    // detected, else kDone.
    int linkResult();
    // Whether the workbench refused an operation (not detected, or must
    // stop first) since `noticesBefore` notices were shown.
    bool refusedSince(std::size_t noticesBefore) const;

    const std::string& name() const { return portName; }
    static std::int64_t nowMs();

    InputPolicy inputPolicy = InputPolicy::FromStdin;
    std::string inputRefusal;   // why input is refused, for the message
    std::deque<std::string> answers;   // FromList: the answers left

    std::unique_ptr<TerminalScreens> screens;
    std::unique_ptr<Workbench> wb;

private:
    // The status poll of every fifth tick, with the input request handled.
    WaitEnd pollStatus(std::int64_t deadlineMs);
    WaitEnd answerInputRequest(std::int64_t deadlineMs);
    bool sendAnswer(const std::string& answer);

    // Says so when the port's device is gone (an adapter pulled out); true
    // then.
    bool reportLostDevice();

    std::string portName;
    Terminal& terminal;
    int ticksToStatus = 0;
    bool lostReported = false;
};

}  // namespace travin::cli
