// The samples the plot keeps: the last N lines' numbers, by series.
//
//   add(values, ms)      one sample: the values of one line, at its arrival
//   setWindow(n)         keeps only the newest n samples (50 to 100 000)
//   series(i)            name, colour index and values (NaN where a line
//                        did not carry the series)
//   points(...)          a series reduced for drawing
//   csv()                the history as comma-separated text
//
// A series is made by the first sample that names it and keeps its name and
// colour index (the order of its first appearance, names of one line in
// their order) until clear(). Once kMaxSeries series exist, values naming
// another are not kept, and counted (droppedValues) so the window can say
// so. Sample numbers count from 1 after clear() and go on while old samples
// are trimmed, so a sample keeps its number.
//
// The line breaks before a sample that starts a new run (both axes) and,
// on the time axis, before one that follows a pause: more than four times
// the usual interval between samples and at least 0.3 s.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "plot/PlotLineParser.h"

namespace travin {

struct PlotSeries {
    std::string name;
    int colourIndex = 0;
    std::deque<double> values;  // one per kept sample; NaN is a gap
};

struct PlotPoint {
    double x = 0;
    double y = 0;  // NaN: a gap, the line breaks here
    // The point stands for a column of samples that no new sample or trim
    // can change any more: a view may keep what it drew of it.
    bool settled = false;
};

enum class PlotAxis { SampleNumber, ArrivalSeconds };

class PlotHistory {
public:
    static constexpr std::size_t kMinWindow = 50;
    static constexpr std::size_t kMaxWindow = 100000;
    static constexpr std::size_t kDefaultWindow = 1000;
    // Values naming a series beyond this many are dropped.
    static constexpr std::size_t kMaxSeries = 32;

    explicit PlotHistory(std::size_t window = kDefaultWindow);

    // The window is held between kMinWindow and kMaxWindow; a smaller one
    // drops the oldest samples at once.
    void setWindow(std::size_t samples);
    std::size_t window() const { return windowSize; }

    // `arrivalMs` is any clock's milliseconds; times are kept relative to
    // the first sample since clear().
    // `newRun`: the first sample of a new run of the program.
    void add(const std::vector<PlotValue>& values, std::int64_t arrivalMs, bool newRun = false);
    // Drops every sample and series; numbering starts again at 1.
    void clear();

    std::size_t size() const { return arrivalsMs.size(); }
    bool empty() const { return arrivalsMs.empty(); }
    // The number of the oldest kept sample (1 after clear()).
    std::uint64_t firstSampleNumber() const { return firstNumber; }
    // Seconds from the first sample since clear() to sample `index` (0 is
    // the oldest kept).
    double arrivalSeconds(std::size_t index) const;

    std::size_t seriesCount() const { return seriesList.size(); }
    const PlotSeries& series(std::size_t index) const { return seriesList.at(index); }

    // Series `index` over the kept samples, x by `axis`, reduced to at most
    // about 2 * `columns` points: each column of samples gives its lowest
    // and highest value in the order they came, so peaks survive. A column
    // with no value gives one NaN point. The columns are fixed runs of
    // sample numbers (a power of two long, at least size() / columns), so a
    // column once full is summed up once and kept: a drawing then costs the
    // columns, not the samples. Points of full columns other than the
    // oldest kept one are marked settled: while the column length stays,
    // later calls give them again, the same.
    std::vector<PlotPoint> points(std::size_t index, PlotAxis axis, std::size_t columns) const;

    // Series `ySeries` against series `xSeries`, one point per sample that
    // holds both, in the order they came; the line breaks at a new run and
    // at a pause. A point that falls in the same cell of a `cells` x `cells`
    // grid over the whole range as the point before it is left out.
    std::vector<PlotPoint> xyPoints(std::size_t xSeries, std::size_t ySeries, std::size_t cells) const;

    // Whether the line breaks before sample `index` (0 is the oldest kept).
    bool breaksBefore(std::size_t index, PlotAxis axis) const;

    // Values not kept because they named a series beyond kMaxSeries, since
    // clear().
    std::uint64_t droppedValues() const { return dropped; }

    // Header "sample,time,<series names>", then one row per sample: its
    // number, its arrival in seconds, and each series' value (empty for a
    // gap). Rows end in CR LF.
    std::string csv() const;

    // Changes with every sample, trim and clear: a view redraws only when it
    // moved.
    std::uint64_t revision() const { return changes; }

private:
    // The lowest and highest value of one full column, by sample number.
    struct ColumnSummary {
        std::uint64_t lowNumber = 0, highNumber = 0;  // 0: no value in it
        std::uint8_t marks = 0;                        // of its samples after the first
    };
    struct ColumnCache {
        std::uint64_t length = 0;   // samples a column holds
        std::uint64_t first = 0;    // the column of summaries.front()
        std::deque<ColumnSummary> summaries;
    };
    ColumnSummary summarise(const std::deque<double>& values, std::size_t from, std::size_t to) const;
    void trim();
    double xOf(std::size_t index, PlotAxis axis) const;

    std::size_t windowSize;
    std::vector<PlotSeries> seriesList;
    std::deque<std::int64_t> arrivalsMs;
    // Per sample: kNewRun, kAfterPause.
    std::deque<std::uint8_t> marks;
    // The usual interval between samples; 0 while unknown.
    double periodMs = 0;
    std::uint64_t dropped = 0;
    std::int64_t startMs = 0;
    std::uint64_t firstNumber = 1;
    std::uint64_t changes = 0;
    // One per series, filled as drawings ask.
    mutable std::vector<ColumnCache> columnCaches;
};

}  // namespace travin
