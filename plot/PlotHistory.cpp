#include "plot/PlotHistory.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace travin {

namespace {

constexpr double kGap = std::numeric_limits<double>::quiet_NaN();

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
    trim();
    ++changes;
}

void PlotHistory::add(const std::vector<PlotValue>& values, std::int64_t arrivalMs) {
    if (arrivalsMs.empty() && firstNumber == 1) startMs = arrivalMs;
    const std::size_t kept = arrivalsMs.size();
    arrivalsMs.push_back(arrivalMs);
    for (PlotSeries& s : seriesList) s.values.push_back(kGap);
    for (const PlotValue& v : values) {
        auto it = std::find_if(seriesList.begin(), seriesList.end(),
                               [&](const PlotSeries& s) { return s.name == v.series; });
        if (it == seriesList.end()) {
            if (seriesList.size() >= kMaxSeries) continue;
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
    arrivalsMs.clear();
    firstNumber = 1;
    startMs = 0;
    ++changes;
}

void PlotHistory::trim() {
    while (arrivalsMs.size() > windowSize) {
        arrivalsMs.pop_front();
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

std::vector<PlotPoint> PlotHistory::points(std::size_t index, PlotAxis axis, std::size_t columns) const {
    const std::deque<double>& values = series(index).values;
    const std::size_t count = values.size();
    std::vector<PlotPoint> out;
    if (count == 0) return out;
    columns = std::max<std::size_t>(columns, 1);
    // Few enough samples: every one, each gap as one NaN point.
    if (count <= 2 * columns) {
        out.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            if (std::isnan(values[i]) && !out.empty() && std::isnan(out.back().y)) continue;
            out.push_back({xOf(i, axis), values[i]});
        }
        return out;
    }
    out.reserve(2 * columns);
    for (std::size_t c = 0; c < columns; ++c) {
        const std::size_t from = count * c / columns;
        const std::size_t to = count * (c + 1) / columns;
        // Walked with an iterator: indexing a deque divides at every step,
        // and a full window is walked for every series at every drawing.
        std::size_t low = to, high = to;
        double lowValue = 0, highValue = 0;
        auto it = values.begin() + static_cast<std::ptrdiff_t>(from);
        for (std::size_t i = from; i < to; ++i, ++it) {
            const double v = *it;
            if (std::isnan(v)) continue;
            if (low == to || v < lowValue) low = i, lowValue = v;
            if (high == to || v > highValue) high = i, highValue = v;
        }
        if (low == to) {
            if (out.empty() || !std::isnan(out.back().y)) out.push_back({xOf(from, axis), kGap});
            continue;
        }
        const std::size_t first = std::min(low, high), second = std::max(low, high);
        out.push_back({xOf(first, axis), values[first]});
        if (second != first) out.push_back({xOf(second, axis), values[second]});
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
