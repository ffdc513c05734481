// One framed exchange with the board and the link failure path.
//
//   SendCommand      timer off, ExchangeCommand, timer on (always on at the end)
//   ExchangeCommand  sync 0xAA offered alone until echoed (0xAB: busy, wait
//                    100 ms, budget restarted, offer again; any other byte is
//                    console output), then code, length, payload, checksum;
//                    reads the reply, checks it, stores its data and updates
//                    the target flags. Callers read the outcome from
//                    state.detected afterwards; it returns nothing.
//   ReadReplyByte    one byte within the exchange's budget (5000 ms while
//                    detected, 250 ms before), measured from `start`; waits
//                    in the driver (SioWaitReadable), never spins. A failed byte-count
//                    query is "siotest failed"; a time-out while detected is
//                    "timeout".
//   ReadReplyBytes   the same for what is waiting, at least one byte and at
//                    most `most`; 0 when the exchange ended. Only used where
//                    no byte can follow that belongs to the reply.
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
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include "link/LinkParts.h"

namespace travin {


class CommandLink {
public:
    explicit CommandLink(LinkParts& parts) : wb(parts) {}

    void SendCommand(std::uint8_t code, const std::uint8_t* payload, int length);
    void ExchangeCommand(std::uint8_t code, const std::uint8_t* payload, int length);
    bool ReadReplyByte(std::int64_t start, std::uint8_t& byte);
    int ReadReplyBytes(std::int64_t start, std::uint8_t* bytes, int most);
    void LinkFailure(const std::string& reason);
    void StoreReplyData(std::uint8_t code, const std::uint8_t* data, int length);
    void ShowRunning();
    void ShowStopped();

    // Convenience forms with a text payload ("Stop Com") or none.
    void SendCommand(std::uint8_t code, std::string_view payload = {});
    void ExchangeCommand(std::uint8_t code, std::string_view payload = {});

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
    // Output queued ahead of an echo gathers this long between reads: about
    // ten bytes at 19200 bit/s, and the echo comes at most this much later.
    static constexpr int kGatherMs = 5;
    static constexpr int kMaxPayload = 255;
    static constexpr std::uint8_t kRefusedBit = 0x01;

private:
    void updateStatusFlags(std::uint8_t status);
    void write(const std::uint8_t* bytes, int count);

    LinkParts& wb;
    int depth = 0;
    int answered = 0;
    std::uint8_t lastStatus = 0;
};

}  // namespace travin
