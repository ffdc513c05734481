// The background monitor, one call of BackgroundProcessTimer per tick of the
// 100 ms timer: listing edits, the port tick (open the selected port, or
// switch from another, or follow a COM name that now names another
// device), detection of the board, console bytes, the status
// poll and the answer to an input request. Also ChangeBaudRate.
//
// Ticks never overlap and never run inside an exchange: a tick that fires
// while another tick runs, or while an exchange is under way (a modal box's
// nested event loop can fire the timer), returns at once and does nothing.
// Whoever is under way switches the timer on again when it ends.
//
// Each tick ends by handing the console's lines to the pane (Console::flush)
// and switching the timer on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include "link/LinkParts.h"

namespace travin {


class Monitor {
public:
    explicit Monitor(LinkParts& parts) : wb(parts) {}

    void BackgroundProcessTimer();
    // Switches the board, then the port, to `baud`; true when the board is
    // still detected afterwards.
    bool ChangeBaudRate(int baud);
    // Detection on the open port that leaves a running program running: a
    // status request where the probe sends a stop, then the version. True
    // when the board answered; it then counts as detected.
    bool DetectWithoutStopping();

    // Ticks that returned at once because a tick or an exchange was under way.
    int skippedTicks() const { return skipped; }

    static constexpr int kPortPeriod = 20;
    static constexpr int kProbePeriod = 5;
    static constexpr int kStatusPeriod = 5;
    static constexpr int kNormalBaud = 19200;
    // Console bytes one tick reads at most: a second of output at 115200
    // bit/s, far more than a paced line brings in 100 ms.
    static constexpr int kConsoleBytesPerTick = 16384;

    // The listing's modified mark taken into the unsaved and download flags
    // (an edit clears the breakpoints), as each tick does first; also for
    // whoever must not wait for the next tick.
    void noticeListingEdits();

private:
    void tick();
    // False when the tick ends here.
    bool portTick();
    // The status bar's line on why the last open failed.
    std::string portProblemText() const;
    void showPortProblem(const std::string& text);
    // False when the open port no longer is what its COM name names.
    bool followPortName();
    bool detect();
    bool readConsoleBytes();
    void statusPoll();

    LinkParts& wb;
    bool ticking = false;
    int skipped = 0;
    std::string shownPortProblem;
};

}  // namespace travin
