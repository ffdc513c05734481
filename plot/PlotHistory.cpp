#include "plot/PlotHistory.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace travin {

namespace {

constexpr double kGap = std::numeric_limits<double>::quiet_NaN();
constexpr std::uint8_t kNewRun = 1;
constexpr std::uint8_t kAfterPause = 2;
// A pause: this many usual intervals, and at least this long.
constexpr double kPauseFactor = 4;
constexpr double kLeastPauseMs = 300;

void appendNumber(std::string& out, double value) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error == std::errc()) out.append(buffer, end);
}

// A name with a comma, a quote or a line break goes in quotes, its quotes
// doubled, so a spreadsheet reads it as one cell.
void appendCell(std::string& out, const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

PlotHistory::PlotHistory(std::size_t window) : windowSize(std::clamp(window, kMinWindow, kMaxWindow)) {}

void PlotHistory::setWindow(std::size_t samples) {
    windowSize = std::clamp(samples, kMinWindow, kMaxWindow);
    columnCaches.clear();
    trim();
    ++changes;
}

void PlotHistory::add(const std::vector<PlotValue>& values, std::int64_t arrivalMs, bool newRun) {
    if (arrivalsMs.empty() && firstNumber == 1) startMs = arrivalMs;
    const std::size_t kept = arrivalsMs.size();
    std::uint8_t mark = newRun ? kNewRun : 0;
    if (!arrivalsMs.empty()) {
        const auto interval = static_cast<double>(arrivalMs - arrivalsMs.back());
        if (periodMs > 0 && interval > std::max(kPauseFactor * periodMs, kLeastPauseMs)) {
            mark |= kAfterPause;
            // After a pause the program may print at another rate.
            periodMs = 0;
        } else if (newRun) {
            periodMs = 0;
        } else {
            periodMs = periodMs > 0 ? periodMs + (interval - periodMs) / 8 : std::max(interval, 1.0);
        }
    }
    arrivalsMs.push_back(arrivalMs);
    marks.push_back(mark);
    for (PlotSeries& s : seriesList) s.values.push_back(kGap);
    for (const PlotValue& v : values) {
        auto it = std::find_if(seriesList.begin(), seriesList.end(),
                               [&](const PlotSeries& s) { return s.name == v.series; });
        if (it == seriesList.end()) {
            if (seriesList.size() >= kMaxSeries) {
                ++dropped;
                continue;
            }
            PlotSeries fresh;
            fresh.name = v.series;
            fresh.colourIndex = static_cast<int>(seriesList.size());
            fresh.values.assign(kept + 1, kGap);
            seriesList.push_back(std::move(fresh));
            it = seriesList.end() - 1;
        }
        // A name given twice in one line: the later value stands.
        it->values.back() = v.value;
    }
    trim();
    ++changes;
}

void PlotHistory::clear() {
    seriesList.clear();
    columnCaches.clear();
    arrivalsMs.clear();
    marks.clear();
    periodMs = 0;
    dropped = 0;
    firstNumber = 1;
    startMs = 0;
    ++changes;
}

void PlotHistory::trim() {
    while (arrivalsMs.size() > windowSize) {
        arrivalsMs.pop_front();
        marks.pop_front();
        for (PlotSeries& s : seriesList) s.values.pop_front();
        ++firstNumber;
    }
}

double PlotHistory::arrivalSeconds(std::size_t index) const {
    return static_cast<double>(arrivalsMs.at(index) - startMs) / 1000.0;
}

double PlotHistory::xOf(std::size_t index, PlotAxis axis) const {
    if (axis == PlotAxis::ArrivalSeconds) return arrivalSeconds(index);
    return static_cast<double>(firstNumber + index);
}

bool PlotHistory::breaksBefore(std::size_t index, PlotAxis axis) const {
    const std::uint8_t mark = marks.at(index);
    return index > 0 && (mark & (axis == PlotAxis::ArrivalSeconds ? kNewRun | kAfterPause : kNewRun)) != 0;
}

std::vector<PlotPoint> PlotHistory::points(std::size_t index, PlotAxis axis, std::size_t columns) const {
    const std::deque<double>& values = series(index).values;
    const std::size_t count = values.size();
    std::vector<PlotPoint> out;
    if (count == 0) return out;
    columns = std::max<std::size_t>(columns, 1);
    auto gapAt = [&](double x) {
        if (!out.empty() && !std::isnan(out.back().y)) out.push_back({x, kGap});
    };
    // Few enough samples: every one, each gap as one NaN point.
    if (count <= 2 * columns) {
        out.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            if (breaksBefore(i, axis)) gapAt(xOf(i, axis));
            if (std::isnan(values[i]) && !out.empty() && std::isnan(out.back().y)) continue;
            out.push_back({xOf(i, axis), values[i]});
        }
        return out;
    }
    out.reserve(2 * columns + 8);
    const std::uint8_t breaking = axis == PlotAxis::ArrivalSeconds ? kNewRun | kAfterPause : kNewRun;
    // The lowest and highest value of samples [from, to) in the order they
    // came, in parts between breaks.
    auto walk = [&](std::size_t from, std::size_t to) {
        std::size_t low = to, high = to, partStart = from;
        double lowValue = 0, highValue = 0;
        auto emit = [&](std::size_t start) {
            if (low == to) {
                gapAt(xOf(start, axis));
                return;
            }
            const std::size_t first = std::min(low, high), second = std::max(low, high);
            out.push_back({xOf(first, axis), values[first]});
            if (second != first) out.push_back({xOf(second, axis), values[second]});
        };
        // Walked with iterators: indexing a deque divides at every step.
        auto it = values.begin() + static_cast<std::ptrdiff_t>(from);
        auto mark = marks.begin() + static_cast<std::ptrdiff_t>(from);
        for (std::size_t i = from; i < to; ++i, ++it, ++mark) {
            if ((*mark & breaking) && i > 0) {
                if (i > partStart) emit(partStart);
                gapAt(xOf(i, axis));
                low = high = to;
                partStart = i;
            }
            const double v = *it;
            if (std::isnan(v)) continue;
            if (low == to || v < lowValue) low = i, lowValue = v;
            if (high == to || v > highValue) high = i, highValue = v;
        }
        emit(partStart);
    };
    // Columns of a fixed length by sample number; full ones come from the
    // cache, the cut first and the growing last are walked.
    if (columnCaches.size() < seriesList.size()) columnCaches.resize(seriesList.size());
    ColumnCache& cache = columnCaches[index];
    // A power of two at least count / columns long: the columns stay put
    // while the history fills, until it has doubled.
    std::uint64_t length = 1;
    while (length * columns < count) length *= 2;
    if (cache.length != length) cache = ColumnCache{length, 0, {}};
    const std::uint64_t lastNumber = firstNumber + count - 1;
    const std::uint64_t firstColumn = (firstNumber - 1) / length, lastColumn = (lastNumber - 1) / length;
    while (!cache.summaries.empty() && cache.first < firstColumn) {
        cache.summaries.pop_front();
        ++cache.first;
    }
    // Summaries start at the first full column: the oldest is often cut by
    // the trim, and summaries[c - first] must be column c's.
    if (cache.summaries.empty()) cache.first = (firstNumber - 1) % length == 0 ? firstColumn : firstColumn + 1;
    for (std::uint64_t c = firstColumn; c <= lastColumn; ++c) {
        const std::uint64_t fromNumber = std::max(c * length + 1, firstNumber);
        const std::uint64_t toNumber = std::min((c + 1) * length, lastNumber);
        const auto from = static_cast<std::size_t>(fromNumber - firstNumber);
        const auto to = static_cast<std::size_t>(toNumber - firstNumber + 1);
        const bool whole = fromNumber == c * length + 1 && toNumber == (c + 1) * length;
        if (!whole || c < cache.first || c - cache.first > cache.summaries.size()) {
            walk(from, to);
            continue;
        }
        if (c - cache.first == cache.summaries.size()) cache.summaries.push_back(summarise(values, from, to));
        const ColumnSummary& summary = cache.summaries[static_cast<std::size_t>(c - cache.first)];
        if (summary.marks & breaking) {
            walk(from, to);
            continue;
        }
        if (from > 0 && (marks[from] & breaking)) gapAt(xOf(from, axis));
        if (summary.lowNumber == 0) {
            gapAt(xOf(from, axis));
            continue;
        }
        const auto low = static_cast<std::size_t>(summary.lowNumber - firstNumber);
        const auto high = static_cast<std::size_t>(summary.highNumber - firstNumber);
        const std::size_t first = std::min(low, high), second = std::max(low, high);
        // The oldest column loses samples to the trim; the others keep theirs.
        const bool settled = c > firstColumn;
        out.push_back({xOf(first, axis), values[first], settled});
        if (second != first) out.push_back({xOf(second, axis), values[second], settled});
    }
    return out;
}

PlotHistory::ColumnSummary PlotHistory::summarise(const std::deque<double>& values, std::size_t from,
                                                  std::size_t to) const {
    ColumnSummary summary;
    double low = 0, high = 0;
    auto it = values.begin() + static_cast<std::ptrdiff_t>(from);
    auto mark = marks.begin() + static_cast<std::ptrdiff_t>(from);
    for (std::size_t i = from; i < to; ++i, ++it, ++mark) {
        if (i > from) summary.marks |= *mark;
        const double v = *it;
        if (std::isnan(v)) continue;
        const std::uint64_t number = firstNumber + i;
        if (summary.lowNumber == 0 || v < low) summary.lowNumber = number, low = v;
        if (summary.highNumber == 0 || v > high) summary.highNumber = number, high = v;
    }
    return summary;
}

std::vector<PlotPoint> PlotHistory::xyPoints(std::size_t xSeries, std::size_t ySeries, std::size_t cells) const {
    const std::deque<double>& xs = series(xSeries).values;
    const std::deque<double>& ys = series(ySeries).values;
    std::vector<PlotPoint> out;
    double xLow = INFINITY, xHigh = -INFINITY, yLow = INFINITY, yHigh = -INFINITY;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        if (std::isnan(xs[i]) || std::isnan(ys[i])) continue;
        xLow = std::min(xLow, xs[i]), xHigh = std::max(xHigh, xs[i]);
        yLow = std::min(yLow, ys[i]), yHigh = std::max(yHigh, ys[i]);
    }
    if (xLow > xHigh) return out;
    cells = std::max<std::size_t>(cells, 1);
    const double xCell = xHigh > xLow ? (xHigh - xLow) / static_cast<double>(cells) : 1;
    const double yCell = yHigh > yLow ? (yHigh - yLow) / static_cast<double>(cells) : 1;
    double lastX = 0, lastY = 0;
    bool broken = true;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        if (breaksBefore(i, PlotAxis::ArrivalSeconds) && !broken) {
            out.push_back({out.back().x, kGap});
            broken = true;
        }
        if (std::isnan(xs[i]) || std::isnan(ys[i])) continue;
        const double cx = std::floor((xs[i] - xLow) / xCell), cy = std::floor((ys[i] - yLow) / yCell);
        // The same cell as the point before: nothing new to draw, unless it
        // ends the history (the newest point is always drawn).
        if (!broken && cx == lastX && cy == lastY && i + 1 < xs.size()) continue;
        out.push_back({xs[i], ys[i]});
        lastX = cx, lastY = cy;
        broken = false;
    }
    return out;
}

std::string PlotHistory::csv() const {
    std::string out = "sample,time";
    for (const PlotSeries& s : seriesList) {
        out += ',';
        appendCell(out, s.name);
    }
    out += "\r\n";
    char time[32];
    for (std::size_t i = 0; i < size(); ++i) {
        out += std::to_string(firstNumber + i);
        out += ',';
        const auto [end, error] =
            std::to_chars(time, time + sizeof time, arrivalSeconds(i), std::chars_format::fixed, 3);
        if (error == std::errc()) out.append(time, end);
        for (const PlotSeries& s : seriesList) {
            out += ',';
            if (!std::isnan(s.values[i])) appendNumber(out, s.values[i]);
        }
        out += "\r\n";
    }
    return out;
}

}  // namespace travin
