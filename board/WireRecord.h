// What the board saw and said on the wire, for tests and the trace.
//
// Index:
//   Exchange        one command exchange, decoded
//   SyncEvent       one sync byte received and how it was answered
//   DroppedFrame    a frame that stopped arriving and was dropped
//   WireRecord      thread-safe store of all three, plus noise bytes and the
//                   console bytes sent; waitFor...() block on a condition
//                   variable until a count is reached or a deadline passes.
//                   It keeps only the latest entries and console bytes
//                   (setLimits), so a board left printing for hours holds
//                   no more than that; the counts cover everything since
//                   the last clear().
//   formatExchange  the one-line trace text of an exchange
//
// Times are milliseconds on the board's steady clock, counted from the
// board object's construction (VirtualBoard::nowMs()).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
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

// What a record keeps at most: the latest entries of each kind (exchanges,
// syncs, dropped frames) and the latest console bytes.
struct RecordLimits {
    std::size_t entries = 4096;
    std::size_t consoleBytes = 256 * 1024;
};

class WireRecord {
public:
    void setLimits(RecordLimits limits);

    void addExchange(Exchange e);
    void addSync(SyncEvent s);
    void addDroppedFrame(DroppedFrame f);
    void addNoise(std::size_t count);
    void addConsole(const std::uint8_t* data, std::size_t size);

    // The latest entries, oldest first.
    std::vector<Exchange> exchanges() const;
    std::vector<SyncEvent> syncs() const;
    std::vector<DroppedFrame> droppedFrames() const;
    std::size_t noiseBytes() const;     // bytes dropped as line noise
    std::string consoleSent() const;    // the latest console bytes written to the line
    // Everything since the last clear(), kept or not.
    std::size_t exchangeCount() const;
    std::size_t consoleCount() const;
    void clear();

    // Block until at least `count` exchanges (syncs, console bytes) have
    // been recorded since the last clear(), or until `timeout` passes; true
    // when the count was reached.
    bool waitForExchanges(std::size_t count, std::chrono::milliseconds timeout) const;
    bool waitForSyncs(std::size_t count, std::chrono::milliseconds timeout) const;
    bool waitForConsole(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    void trimConsole();

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    RecordLimits limits_;
    std::deque<Exchange> exchanges_;
    std::deque<SyncEvent> syncs_;
    std::deque<DroppedFrame> dropped_;
    std::size_t noise_ = 0;
    // Grows to twice the limit before its front goes, so that appending
    // stays cheap; consoleSent() gives the latest limit's worth.
    std::string console_;
    std::size_t exchangeCount_ = 0, syncCount_ = 0, consoleCount_ = 0;
};

// "GetStatus 53 74 61 74 | status 20 | reply 20 20" (payload and reply in
// hex; "bad checksum" and "no reply" marked).
std::string formatExchange(const Exchange& e);

}  // namespace vboard
