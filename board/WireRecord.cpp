#include "board/WireRecord.h"

#include "board/Frame.h"

#include <cstdio>

namespace vboard {

std::vector<std::uint8_t> Exchange::replyData() const {
    if (reply.size() < 3 || !(reply[0] & StatusBit::Data)) return {};
    std::size_t m = reply[1];
    std::size_t available = reply.size() - 2;
    if (available > m) available = m;  // the last byte is the checksum
    return {reply.begin() + 2, reply.begin() + 2 + static_cast<std::ptrdiff_t>(available)};
}

void WireRecord::addExchange(Exchange e) {
    { std::lock_guard lock(mutex_); exchanges_.push_back(std::move(e)); }
    changed_.notify_all();
}

void WireRecord::addSync(SyncEvent s) {
    { std::lock_guard lock(mutex_); syncs_.push_back(s); }
    changed_.notify_all();
}

void WireRecord::addDroppedFrame(DroppedFrame f) {
    { std::lock_guard lock(mutex_); dropped_.push_back(std::move(f)); }
    changed_.notify_all();
}

void WireRecord::addNoise(std::size_t count) {
    { std::lock_guard lock(mutex_); noise_ += count; }
    changed_.notify_all();
}

void WireRecord::addConsole(const std::uint8_t* data, std::size_t size) {
    { std::lock_guard lock(mutex_); console_.append(reinterpret_cast<const char*>(data), size); }
    changed_.notify_all();
}

std::vector<Exchange> WireRecord::exchanges() const { std::lock_guard lock(mutex_); return exchanges_; }
std::vector<SyncEvent> WireRecord::syncs() const { std::lock_guard lock(mutex_); return syncs_; }
std::vector<DroppedFrame> WireRecord::droppedFrames() const { std::lock_guard lock(mutex_); return dropped_; }
std::size_t WireRecord::noiseBytes() const { std::lock_guard lock(mutex_); return noise_; }
std::string WireRecord::consoleSent() const { std::lock_guard lock(mutex_); return console_; }

void WireRecord::clear() {
    std::lock_guard lock(mutex_);
    exchanges_.clear();
    syncs_.clear();
    dropped_.clear();
    noise_ = 0;
    console_.clear();
}

bool WireRecord::waitForExchanges(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return exchanges_.size() >= count; });
}

bool WireRecord::waitForSyncs(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return syncs_.size() >= count; });
}

bool WireRecord::waitForConsole(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return console_.size() >= count; });
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
