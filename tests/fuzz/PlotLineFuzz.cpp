// Fuzz target: the board's console bytes read by the plot. Besides not
// crashing: every value is finite, every name is a piece of the input, a
// line's samples are the same whether the bytes come at once or split, the
// history never holds more series than it allows, and every point drawn
// while samples come and go is a value its series holds.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "plot/PlotHistory.h"
#include "plot/PlotLineParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    using Samples = std::vector<std::vector<travin::PlotValue>>;
    Samples whole, split;
    travin::PlotLineParser once, inPieces;
    travin::PlotHistory history(50);
    std::int64_t ms = 0;
    // Drawn now and then while samples come and the oldest are trimmed, as
    // the window draws: every point is a value the series holds.
    auto drawAndCheck = [&] {
        for (std::size_t s = 0; s < history.seriesCount(); ++s) {
            const auto& values = history.series(s).values;
            for (const travin::PlotPoint& p : history.points(s, travin::PlotAxis::SampleNumber, 10)) {
                if (std::isnan(p.y)) continue;
                bool held = false;
                for (double v : values) held = held || v == p.y;
                if (!held) std::abort();
            }
        }
    };
    once.feed(bytes, [&](const std::vector<travin::PlotValue>& values) {
        whole.push_back(values);
        ms += 7;
        history.add(values, ms, ms % 91 == 0);
        if (whole.size() % 13 == 0) drawAndCheck();
    });
    drawAndCheck();
    // The same bytes in pieces of a length the input chooses.
    const std::size_t piece = size ? 1 + data[0] % 13 : 1;
    for (std::size_t at = 0; at < size; at += piece)
        inPieces.feed(bytes.substr(at, piece), [&](const std::vector<travin::PlotValue>& v) { split.push_back(v); });
    if (whole != split) std::abort();
    for (const auto& values : whole) {
        for (const auto& v : values) {
            if (!std::isfinite(v.value) || v.series.empty()) std::abort();
            const bool numbered = v.series.find_first_not_of("0123456789") == std::string::npos;
            if (!numbered && bytes.find(v.series) == std::string_view::npos) std::abort();
        }
    }
    if (history.seriesCount() > travin::PlotHistory::kMaxSeries) std::abort();
    if (history.seriesCount() >= 2) (void)history.xyPoints(0, 1, 50);
    for (std::size_t s = 0; s < history.seriesCount(); ++s) {
        (void)history.points(s, travin::PlotAxis::ArrivalSeconds, 10);
        (void)history.points(s, travin::PlotAxis::SampleNumber, 10);
    }
    return 0;
}
