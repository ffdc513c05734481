// What the board saw and said on the wire, for tests and the trace.
//
// Index:
//   Exchange        one command exchange, decoded
//   SyncEvent       one sync byte received and how it was answered
//   DroppedFrame    a frame that stopped arriving and was dropped
//   WireRecord      thread-safe store of all three, plus noise bytes and the
//                   console bytes sent; waitFor...() block on a condition
//                   variable until a count is reached or a deadline passes
//   formatExchange  the one-line trace text of an exchange
//
// Times are milliseconds on the board's steady clock, counted from the
// board object's construction (VirtualBoard::nowMs()).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vboard {

struct Exchange {
    std::uint8_t code = 0;
    std::vector<std::uint8_t> payload;   // the N payload bytes as received
    bool checksumOk = true;              // the command's checksum matched
    bool replied = true;                 // false when a stall fault swallowed it
    std::uint8_t status = 0;             // the status byte sent (first reply byte)
    std::vector<std::uint8_t> reply;     // every reply byte as sent, status first
    std::uint32_t baud = 0;              // the board's rate during the exchange
    std::uint64_t syncMs = 0;            // the sync that was echoed
    std::uint64_t frameMs = 0;           // the checksum byte arrived
    std::uint64_t replyMs = 0;           // the last reply byte was written
    // The reply data (bytes 2 .. 2+M-1) when the reply carries data.
    std::vector<std::uint8_t> replyData() const;
};

struct SyncEvent {
    std::uint64_t ms = 0;
    std::uint8_t answer = 0;  // 0xAA echo, 0xAB busy, 0 not answered (stall)
};

struct DroppedFrame {
    std::uint64_t syncMs = 0;           // when its sync was echoed
    std::uint64_t droppedMs = 0;        // when the board gave up on it
    std::vector<std::uint8_t> bytes;    // what had arrived after the echo
};

class WireRecord {
public:
    void addExchange(Exchange e);
    void addSync(SyncEvent s);
    void addDroppedFrame(DroppedFrame f);
    void addNoise(std::size_t count);
    void addConsole(const std::uint8_t* data, std::size_t size);

    std::vector<Exchange> exchanges() const;
    std::vector<SyncEvent> syncs() const;
    std::vector<DroppedFrame> droppedFrames() const;
    std::size_t noiseBytes() const;     // bytes dropped as line noise
    std::string consoleSent() const;    // console bytes written to the line
    void clear();

    // Block until at least `count` exchanges (syncs, console bytes) are on
    // record, or until `timeout` passes; true when the count was reached.
    bool waitForExchanges(std::size_t count, std::chrono::milliseconds timeout) const;
    bool waitForSyncs(std::size_t count, std::chrono::milliseconds timeout) const;
    bool waitForConsole(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Exchange> exchanges_;
    std::vector<SyncEvent> syncs_;
    std::vector<DroppedFrame> dropped_;
    std::size_t noise_ = 0;
    std::string console_;
};

// "GetStatus 53 74 61 74 | status 20 | reply 20 20" (payload and reply in
// hex; "bad checksum" and "no reply" marked).
std::string formatExchange(const Exchange& e);

}  // namespace vboard
