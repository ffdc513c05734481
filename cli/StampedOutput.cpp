#include "cli/StampedOutput.h"

#include "cli/TerminalDevice.h"

namespace travin::cli {

bool StampedOutput::start(bool stampOutput, const std::string& logPath, std::string& problem) {
    stamps = stampOutput;
    if (logPath.empty()) return true;
    if (!log.startFile(logPath)) {
        problem = log.problem();
        return false;
    }
    // Said once, on stderr, and the output goes on without the log. The
    // terminal's lock is held here, so the message goes to the device.
    log.onStopped = [](const std::string& why) {
        (void)device::writeAll(device::Stream::Messages, "travin-cli: " + why + "\n");
    };
    log.onBehind = log.onStopped;
    return true;
}

std::string StampedOutput::filter(std::string_view bytes) {
    const std::int64_t now = wallClockMs();
    log.consoleBytesReceivedAt(bytes, now);
    if (!stamps) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + kStampWidth * 4);
    stamper.stamp(bytes, now, out);
    return out;
}

}  // namespace travin::cli
