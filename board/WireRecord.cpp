#include "board/WireRecord.h"

#include "board/Frame.h"

#include <algorithm>
#include <cstdio>

namespace vboard {

std::vector<std::uint8_t> Exchange::replyData() const {
    if (reply.size() < 3 || !(reply[0] & StatusBit::Data)) return {};
    std::size_t m = reply[1];
    std::size_t available = reply.size() - 2;
    if (available > m) available = m;  // the last byte is the checksum
    return {reply.begin() + 2, reply.begin() + 2 + static_cast<std::ptrdiff_t>(available)};
}

namespace {
template <typename Entries>
void keepLatest(Entries& entries, std::size_t most) {
    while (entries.size() > most) entries.pop_front();
}
}  // namespace

void WireRecord::setLimits(RecordLimits limits) {
    std::lock_guard lock(mutex_);
    limits_.entries = std::max<std::size_t>(1, limits.entries);
    limits_.consoleBytes = std::max<std::size_t>(1, limits.consoleBytes);
    keepLatest(exchanges_, limits_.entries);
    keepLatest(syncs_, limits_.entries);
    keepLatest(dropped_, limits_.entries);
    trimConsole();
}

void WireRecord::addExchange(Exchange e) {
    {
        std::lock_guard lock(mutex_);
        exchanges_.push_back(std::move(e));
        keepLatest(exchanges_, limits_.entries);
        ++exchangeCount_;
    }
    changed_.notify_all();
}

void WireRecord::addSync(SyncEvent s) {
    {
        std::lock_guard lock(mutex_);
        syncs_.push_back(s);
        keepLatest(syncs_, limits_.entries);
        ++syncCount_;
    }
    changed_.notify_all();
}

void WireRecord::addDroppedFrame(DroppedFrame f) {
    {
        std::lock_guard lock(mutex_);
        dropped_.push_back(std::move(f));
        keepLatest(dropped_, limits_.entries);
    }
    changed_.notify_all();
}

void WireRecord::addNoise(std::size_t count) {
    { std::lock_guard lock(mutex_); noise_ += count; }
    changed_.notify_all();
}

void WireRecord::addConsole(const std::uint8_t* data, std::size_t size) {
    {
        std::lock_guard lock(mutex_);
        console_.append(reinterpret_cast<const char*>(data), size);
        consoleCount_ += size;
        trimConsole();
    }
    changed_.notify_all();
}

void WireRecord::trimConsole() {
    if (console_.size() > 2 * limits_.consoleBytes) console_.erase(0, console_.size() - limits_.consoleBytes);
}

std::vector<Exchange> WireRecord::exchanges() const {
    std::lock_guard lock(mutex_);
    return {exchanges_.begin(), exchanges_.end()};
}
std::vector<SyncEvent> WireRecord::syncs() const {
    std::lock_guard lock(mutex_);
    return {syncs_.begin(), syncs_.end()};
}
std::vector<DroppedFrame> WireRecord::droppedFrames() const {
    std::lock_guard lock(mutex_);
    return {dropped_.begin(), dropped_.end()};
}
std::size_t WireRecord::noiseBytes() const { std::lock_guard lock(mutex_); return noise_; }
std::string WireRecord::consoleSent() const {
    std::lock_guard lock(mutex_);
    const std::size_t keep = std::min(console_.size(), limits_.consoleBytes);
    return console_.substr(console_.size() - keep);
}
std::size_t WireRecord::exchangeCount() const { std::lock_guard lock(mutex_); return exchangeCount_; }
std::size_t WireRecord::consoleCount() const { std::lock_guard lock(mutex_); return consoleCount_; }

void WireRecord::clear() {
    std::lock_guard lock(mutex_);
    exchanges_.clear();
    syncs_.clear();
    dropped_.clear();
    noise_ = 0;
    console_.clear();
    exchangeCount_ = syncCount_ = consoleCount_ = 0;
}

bool WireRecord::waitForExchanges(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return exchangeCount_ >= count; });
}

bool WireRecord::waitForSyncs(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return syncCount_ >= count; });
}

bool WireRecord::waitForConsole(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return consoleCount_ >= count; });
}

namespace {
void appendHex(std::string& out, const std::vector<std::uint8_t>& bytes) {
    char buf[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
        if (i) out += ' ';
        out += buf;
    }
    if (bytes.empty()) out += "-";
}
}  // namespace

std::string formatExchange(const Exchange& e) {
    std::string out(commandName(e.code));
    if (out == "Unknown") {
        // Appended piece by piece: GCC 12 warns (-Wrestrict, wrongly) about
        // a literal joined to a temporary string.
        out += '(';
        out += std::to_string(e.code);
        out += ')';
    }
    out += ' ';
    appendHex(out, e.payload);
    if (!e.checksumOk) out += " [bad checksum]";
    if (!e.replied) return out + " | no reply";
    char buf[32];
    std::snprintf(buf, sizeof buf, " | status %02X | reply ", e.status);
    out += buf;
    appendHex(out, e.reply);
    return out;
}

}  // namespace vboard
