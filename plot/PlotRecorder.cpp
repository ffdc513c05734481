#include "plot/PlotRecorder.h"

#include <algorithm>
#include <cmath>

namespace travin {

void PlotRecorder::consoleBytesReceived(std::string_view bytes) { bytesReceivedAt(bytes, clock.nowMs()); }

void PlotRecorder::bytesReceivedAt(std::string_view bytes, std::int64_t now) {
    const auto size = static_cast<double>(bytes.size());
    const auto atLineRate = static_cast<std::int64_t>(std::ceil(size * 1000 / kLineRateBytesPerSecond));
    std::int64_t span = std::max(atLineRate, kQuietSpreadMs);
    if (handedOver) span = std::min(span, std::max<std::int64_t>(0, now - lastHandOverMs));
    else span = atLineRate;
    parser.feedPlaced(bytes, [&](const std::vector<PlotValue>& values, std::size_t lineFeedAt) {
        const double share = (static_cast<double>(lineFeedAt) + 1) / size;
        const auto at = now - span + static_cast<std::int64_t>(std::llround(static_cast<double>(span) * share));
        samples.add(values, at, runStarts);
        runStarts = false;
    });
    lastHandOverMs = now;
    handedOver = true;
}

void PlotRecorder::clear() {
    parser.reset();
    samples.clear();
}

}  // namespace travin
