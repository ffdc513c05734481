#include "plot/PlotRecorder.h"

namespace travin {

void PlotRecorder::consoleBytesReceived(std::string_view bytes) {
    // One time for the whole chunk: its bytes came within the same tick.
    const std::int64_t now = clock.nowMs();
    parser.feed(bytes, [&](const std::vector<PlotValue>& values) { samples.add(values, now); });
}

void PlotRecorder::clear() {
    parser.reset();
    samples.clear();
}

}  // namespace travin
