// One framed exchange with the board and the link failure path.
//
//   SendCommand      timer off, ExchangeCommand, timer on (always on at the end)
//   ExchangeCommand  sync 0xAA offered alone until echoed (0xAB: busy, wait
//                    100 ms, budget restarted, offer again; any other byte is
//                    console output), then code, length, payload, checksum;
//                    reads the reply, checks it, stores its data and updates
//                    the target flags. Callers read the outcome from
//                    state.detected afterwards; it returns nothing.
//   ReadReplyByte    one byte within the exchange's time (below); waits in
//                    the driver (SioWaitReadable), never spins. A failed
//                    byte-count query is "siotest failed"; a time-out while
//                    detected is "timeout".
//   ReadReplyBytes   the same for what is waiting, at least one byte and at
//                    most `most`; 0 when the exchange ended. Only used where
//                    no byte can follow that belongs to the reply.
//
//   LinkFailure      port closed, not detected, reopen requested, light
//                    grey, input request cleared, download needed, then the
//                    two notice boxes.
//   StoreReplyData   keeps the data of a good reply of codes 9, 11, 13, 15,
//                    20; never reads past the `length` bytes that came.
//   ShowRunning      light green.
//   ShowStopped      light grey, variables refreshed, listing colours reset,
//                    breakpoints painted, executing line marked.
//
// exchangeDepth() counts exchanges under way (an exchange can nest one
// through ShowStopped); the monitor does not tick while it is non-zero.
//
// The exchange's time. Every byte that arrives shows the board is alive
// (a program that prints holds its output ahead of the echo, up to a few
// KiB, seconds at 19200 bit/s), so a wait ends when the board has been
// quiet for the quiet budget (5000 ms while detected, 250 ms before) or
// when the whole exchange has taken kWholeExchangeMs, whichever comes
// first. A busy answer starts the exchange's time again (the board asked
// for it), but busy answers in a row end the exchange through LinkFailure
// ("board stayed busy") after kBusyLimitMs. After a failure, and before
// every detection probe, the input is emptied (SioPurge), so bytes a
// board sends late are never taken for the next echo, reply or console
// output.
//
// Cancelling. `cancelRequested`, when set, is asked between short sleeps
// of every wait (busy, echo, reply). Once it says yes, a busy answer, or
// kCancelGraceMs without a byte from the board, ends the exchange through
// LinkFailure ("interrupted"), so the caller finds the board not detected
// as after any failure. A board that answers or prints is let finish the
// exchange under way, so a client interrupted by Ctrl+C can still stop
// what it started. The command-line client sets it from its interrupt
// flag; the window leaves it empty (its waits are bounded and it has no
// Ctrl+C).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include "link/LinkParts.h"

namespace travin {


class CommandLink {
public:
    explicit CommandLink(LinkParts& parts) : wb(parts) {}

    void SendCommand(std::uint8_t code, const std::uint8_t* payload, int length);
    void ExchangeCommand(std::uint8_t code, const std::uint8_t* payload, int length);
    // The times one exchange is measured by, in the clock's milliseconds.
    struct ExchangeTime {
        std::int64_t began = 0;      // the exchange's first moment
        std::int64_t start = 0;      // began, or the last busy answer
        std::int64_t heard = 0;      // start, or the last byte that arrived
        std::int64_t busySince = -1; // first busy answer of a run, -1 for none
    };
    bool ReadReplyByte(ExchangeTime& time, std::uint8_t& byte);
    int ReadReplyBytes(ExchangeTime& time, std::uint8_t* bytes, int most);
    void LinkFailure(const std::string& reason);
    void StoreReplyData(std::uint8_t code, const std::uint8_t* data, int length);
    void ShowRunning();
    void ShowStopped();

    // Convenience forms with a text payload ("Stop Com") or none.
    void SendCommand(std::uint8_t code, std::string_view payload = {});
    void ExchangeCommand(std::uint8_t code, std::string_view payload = {});

    // Asked during every wait; see "Cancelling" above. Empty: never.
    std::function<bool()> cancelRequested;

    int exchangeDepth() const { return depth; }
    // Exchanges that ended in a well-formed reply, detected or not.
    int answeredExchanges() const { return answered; }
    // Whether the last well-formed reply carried the board's refusal (status
    // bit 0): the board did not do what the command asked, e.g. could not
    // store a page. The link does not fail for it; the operation that needs
    // the command done looks.
    bool lastReplyRefused() const { return (lastStatus & kRefusedBit) != 0; }

    static constexpr std::uint8_t kSync = 0xAA;
    static constexpr std::uint8_t kBusy = 0xAB;
    static constexpr int kDetectedBudgetMs = 5000;
    static constexpr int kSearchBudgetMs = 250;
    static constexpr int kBusyWaitMs = 100;
    static constexpr int kWholeExchangeMs = 5000;
    static constexpr int kBusyLimitMs = 10000;
    static constexpr int kCancelGraceMs = 500;
    // The longest sleep between two looks at cancelRequested.
    static constexpr int kCancelSliceMs = 100;
    // Output queued ahead of an echo gathers this long between reads: about
    // ten bytes at 19200 bit/s, and the echo comes at most this much later.
    static constexpr int kGatherMs = 5;
    static constexpr int kMaxPayload = 255;
    static constexpr std::uint8_t kRefusedBit = 0x01;

private:
    void updateStatusFlags(std::uint8_t status);
    // True (after LinkFailure) when the caller asked to end the wait.
    bool cancelled(const ExchangeTime& time, bool busy);
    void write(const std::uint8_t* bytes, int count);

    LinkParts& wb;
    int depth = 0;
    int answered = 0;
    std::uint8_t lastStatus = 0;
};

}  // namespace travin
