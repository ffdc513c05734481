// The plot's history: series by name, gaps, the window of the last N
// samples, the reduction for drawing and the CSV export.
#include <gtest/gtest.h>

#include <cmath>

#include "core/SystemClock.h"
#include "plot/PlotHistory.h"
#include "plot/PlotRecorder.h"

namespace travin {
namespace {

std::vector<double> valuesOf(const PlotHistory& h, std::size_t series) {
    return {h.series(series).values.begin(), h.series(series).values.end()};
}

// NaN never equals itself, so gaps are compared as a marker.
std::vector<double> withGapsAs(std::vector<double> v, double marker) {
    for (double& x : v) {
        if (std::isnan(x)) x = marker;
    }
    return v;
}

TEST(PlotHistory, SeriesKeepNameAndColourAndAMissingValueIsAGap) {
    PlotHistory h;
    h.add({{"pos", 1}, {"vel", 2}}, 1000);
    h.add({{"vel", 3}}, 1100);
    h.add({{"extra", 9}, {"pos", 4}}, 1200);
    ASSERT_EQ(h.seriesCount(), 3u);
    EXPECT_EQ(h.series(0).name, "pos");
    EXPECT_EQ(h.series(1).name, "vel");
    EXPECT_EQ(h.series(2).name, "extra");
    EXPECT_EQ(h.series(2).colourIndex, 2);
    EXPECT_EQ(withGapsAs(valuesOf(h, 0), -1), (std::vector<double>{1, -1, 4}));
    EXPECT_EQ(withGapsAs(valuesOf(h, 1), -1), (std::vector<double>{2, 3, -1}));
    EXPECT_EQ(withGapsAs(valuesOf(h, 2), -1), (std::vector<double>{-1, -1, 9}));
    EXPECT_DOUBLE_EQ(h.arrivalSeconds(2), 0.2);
}

TEST(PlotHistory, KeepsAtLeastSixteenSeriesAndDropsOnlyTheSurplus) {
    PlotHistory h;
    std::vector<PlotValue> line;
    for (int i = 1; i <= 40; ++i) line.push_back({std::to_string(i), static_cast<double>(i)});
    h.add(line, 0);
    EXPECT_EQ(h.seriesCount(), PlotHistory::kMaxSeries);
    EXPECT_GE(PlotHistory::kMaxSeries, 16u);
    EXPECT_EQ(h.series(PlotHistory::kMaxSeries - 1).values.back(), static_cast<double>(PlotHistory::kMaxSeries));
}

struct WindowRow {
    std::size_t asked;
    std::size_t kept;
};
class PlotWindow : public ::testing::TestWithParam<WindowRow> {};

TEST_P(PlotWindow, KeepsTheNewestSamplesAndTheirNumbers) {
    PlotHistory h;
    h.setWindow(GetParam().asked);
    EXPECT_EQ(h.window(), GetParam().kept);
    const std::size_t added = GetParam().kept + 7;
    for (std::size_t i = 1; i <= added; ++i) h.add({{"1", static_cast<double>(i)}}, static_cast<std::int64_t>(i));
    EXPECT_EQ(h.size(), GetParam().kept);
    EXPECT_EQ(h.firstSampleNumber(), 8u);
    EXPECT_EQ(h.series(0).values.front(), 8.0);
    EXPECT_EQ(h.series(0).values.back(), static_cast<double>(added));
}

INSTANTIATE_TEST_SUITE_P(Lengths, PlotWindow, ::testing::Values(
    WindowRow{0, 50}, WindowRow{50, 50}, WindowRow{51, 51}, WindowRow{100000, 100000}, WindowRow{250000, 100000}));

TEST(PlotHistory, AShorterWindowTrimsAtOnceAndClearStartsAgain) {
    PlotHistory h(200);
    for (int i = 1; i <= 150; ++i) h.add({{"a", static_cast<double>(i)}}, i);
    h.setWindow(60);
    EXPECT_EQ(h.size(), 60u);
    EXPECT_EQ(h.firstSampleNumber(), 91u);
    const std::uint64_t before = h.revision();
    h.clear();
    EXPECT_NE(h.revision(), before);
    EXPECT_TRUE(h.empty());
    EXPECT_EQ(h.seriesCount(), 0u);
    h.add({{"b", 5}}, 9000);
    EXPECT_EQ(h.firstSampleNumber(), 1u);
    EXPECT_EQ(h.series(0).name, "b");
    EXPECT_EQ(h.arrivalSeconds(0), 0.0);
}

TEST(PlotHistory, CsvHasAHeaderOfNamesAndEmptyCellsForGaps) {
    PlotHistory h;
    h.add({{"pos", 120}, {"speed", -4.5}}, 5000);
    h.add({{"speed", 1e-7}}, 5250);
    h.add({{"say \"hi\",x", 3}}, 6000);
    EXPECT_EQ(h.csv(),
              "sample,time,pos,speed,\"say \"\"hi\"\",x\"\r\n"
              "1,0.000,120,-4.5,\r\n"
              "2,0.250,,1e-07,\r\n"
              "3,1.000,,,3\r\n");
}

TEST(PlotHistory, CsvAfterTrimmingNumbersTheKeptSamples) {
    PlotHistory h(50);
    for (int i = 1; i <= 52; ++i) h.add({{"v", static_cast<double>(i)}}, 0);
    const std::string csv = h.csv();
    EXPECT_EQ(csv.substr(0, csv.find("\r\n", csv.find("\r\n") + 2) + 2), "sample,time,v\r\n3,0.000,3\r\n");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 51);
}

TEST(PlotHistory, PointsKeepEachColumnsPeaksAndBreakAtGaps) {
    PlotHistory h(1000);
    // 400 samples: a spike of 100 at sample 150 and of -100 at 151, a gap
    // from 300 to 349.
    for (int i = 1; i <= 400; ++i) {
        std::vector<PlotValue> line;
        if (i < 300 || i >= 350) line.push_back({"v", i == 150 ? 100.0 : i == 151 ? -100.0 : 0.0});
        line.push_back({"other", 1});
        h.add(line, i);
    }
    const std::vector<PlotPoint> points = h.points(0, PlotAxis::SampleNumber, 40);
    EXPECT_LE(points.size(), 80u);
    double high = -1e9, low = 1e9;
    int gaps = 0;
    for (const PlotPoint& p : points) {
        if (std::isnan(p.y)) {
            ++gaps;
            EXPECT_GE(p.x, 299);
            EXPECT_LT(p.x, 350);
            continue;
        }
        high = std::max(high, p.y);
        low = std::min(low, p.y);
    }
    EXPECT_EQ(high, 100);
    EXPECT_EQ(low, -100);
    EXPECT_EQ(gaps, 1);
    for (std::size_t i = 1; i < points.size(); ++i) EXPECT_LT(points[i - 1].x, points[i].x);

    // Few samples come back one for one, x in seconds when asked.
    PlotHistory few;
    few.add({{"v", 1}}, 1000);
    few.add({{"w", 1}}, 1500);
    few.add({{"v", 2}}, 2000);
    const std::vector<PlotPoint> all = few.points(0, PlotAxis::ArrivalSeconds, 40);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].x, 0.0);
    EXPECT_TRUE(std::isnan(all[1].y));
    EXPECT_EQ(all[2].x, 1.0);
    EXPECT_EQ(all[2].y, 2.0);
}

// The window keeps a picture of the settled points and draws it anew when
// they differ from the last drawing's: they must stay the same from one
// sample to the next, so the picture is redrawn only as a column fills or
// is trimmed away, never at every sample.
TEST(PlotHistory, SettledPointsStayTheSameFromSampleToSample) {
    PlotHistory h(2000);
    auto value = [](int i) { return std::sin(i / 30.0) * 100 + (i % 7); };
    int n = 0;
    for (; n < 3000; ++n) h.add({{"v", value(n)}}, n, n == 1500);  // full, trimming, a new run inside
    auto settledOf = [](const std::vector<PlotPoint>& points) {
        std::vector<std::pair<double, double>> kept;
        for (const PlotPoint& p : points)
            if (p.settled) kept.push_back({p.x, p.y});
        return kept;
    };
    std::vector<std::pair<double, double>> before = settledOf(h.points(0, PlotAxis::SampleNumber, 200));
    ASSERT_GT(before.size(), 100u) << "most of a full history is settled";
    int changes = 0;
    for (int k = 0; k < 256; ++k, ++n) {
        h.add({{"v", value(n)}}, n);
        const std::vector<PlotPoint> points = h.points(0, PlotAxis::SampleNumber, 200);
        // Nothing of the oldest column, which the next sample trims.
        const double oldestColumnEnd = static_cast<double>((h.firstSampleNumber() - 1) / 16 * 16 + 16);
        for (const PlotPoint& p : points) {
            if (!std::isnan(p.y)) {
                EXPECT_LE(std::fabs(p.y), 107) << "no sample has this value";
            }
            if (p.settled) {
                EXPECT_GT(p.x, oldestColumnEnd) << "sample " << n;
                EXPECT_FALSE(std::isnan(p.y));
            }
        }
        std::vector<std::pair<double, double>> now = settledOf(points);
        if (now != before) ++changes;
        before = std::move(now);
    }
    // Columns of 16 samples (2000 / 200 rounded up to a power of two): 256
    // samples fill 16 and trim 16, at most one change for each.
    EXPECT_LE(changes, 32);
    EXPECT_GE(changes, 16) << "new full columns are settled too";
}

// Where the drawn line breaks: before a new run on both axes, before a
// pause on the time axis only.
struct BreakRow {
    const char* name;
    std::vector<std::int64_t> arrivals;
    std::size_t newRunAt;  // 0: none
    std::vector<std::size_t> timeBreaks, sampleBreaks;
};
void PrintTo(const BreakRow& r, std::ostream* os) { *os << r.name; }

class PlotBreaks : public ::testing::TestWithParam<BreakRow> {};

TEST_P(PlotBreaks, BeforeNewRunsAndPauses) {
    PlotHistory h;
    const BreakRow& row = GetParam();
    for (std::size_t i = 0; i < row.arrivals.size(); ++i)
        h.add({{"v", static_cast<double>(i)}}, row.arrivals[i], row.newRunAt != 0 && i == row.newRunAt);
    std::vector<std::size_t> time, sample;
    for (std::size_t i = 0; i < h.size(); ++i) {
        if (h.breaksBefore(i, PlotAxis::ArrivalSeconds)) time.push_back(i);
        if (h.breaksBefore(i, PlotAxis::SampleNumber)) sample.push_back(i);
    }
    EXPECT_EQ(time, row.timeBreaks);
    EXPECT_EQ(sample, row.sampleBreaks);
    // The drawn points carry a gap exactly there.
    const std::vector<PlotPoint> points = h.points(0, PlotAxis::ArrivalSeconds, 1000);
    EXPECT_EQ(static_cast<std::size_t>(std::count_if(points.begin(), points.end(),
                                                     [](const PlotPoint& p) { return std::isnan(p.y); })),
              row.timeBreaks.size());
}

INSTANTIATE_TEST_SUITE_P(Table, PlotBreaks, ::testing::Values(
    BreakRow{"steady", {0, 50, 100, 150, 200, 250}, 0, {}, {}},
    BreakRow{"jitter_is_no_pause", {0, 50, 130, 150, 260, 300}, 0, {}, {}},
    BreakRow{"a_50_s_idle", {0, 50, 100, 150, 50150, 50200, 50250}, 0, {4}, {}},
    BreakRow{"short_pause_under_the_least", {0, 10, 20, 30, 250, 260}, 0, {}, {}},
    BreakRow{"pause_of_four_periods_and_more", {0, 100, 200, 300, 900, 1000}, 0, {4}, {}},
    BreakRow{"new_run_without_a_pause", {0, 50, 100, 150, 200}, 3, {3}, {3}},
    BreakRow{"the_rate_after_a_pause_is_learnt_anew", {0, 10, 20, 30, 5000, 6000, 7000, 8000}, 0, {4}, {}}
), [](const auto& info) { return std::string(info.param.name); });

TEST(PlotHistory, BreaksSurviveTheReductionToColumns) {
    PlotHistory h(100000);
    for (int i = 0; i < 20000; ++i) h.add({{"v", static_cast<double>(i % 7)}}, i < 10000 ? i * 10 : 200000 + i * 10);
    const std::vector<PlotPoint> points = h.points(0, PlotAxis::ArrivalSeconds, 100);
    EXPECT_LE(points.size(), 210u);
    const auto gap = std::find_if(points.begin(), points.end(), [](const PlotPoint& p) { return std::isnan(p.y); });
    ASSERT_NE(gap, points.end());
    EXPECT_EQ(std::count_if(points.begin(), points.end(), [](const PlotPoint& p) { return std::isnan(p.y); }), 1);
    EXPECT_LT((gap - 1)->x, 100.0);
    EXPECT_GT((gap + 1)->x, 300.0);
    // On the sample axis the same history is one line.
    const std::vector<PlotPoint> bySample = h.points(0, PlotAxis::SampleNumber, 100);
    EXPECT_TRUE(std::none_of(bySample.begin(), bySample.end(), [](const PlotPoint& p) { return std::isnan(p.y); }));
}

TEST(PlotHistory, XyPairsTheSamplesThatHoldBothInOrderAndBreaksAtANewRun) {
    PlotHistory h;
    h.add({{"pos", 0}, {"vel", 5}}, 0);
    h.add({{"pos", 10}}, 50);             // no vel: no point
    h.add({{"pos", 20}, {"vel", 7}}, 100);
    h.add({{"vel", 9}, {"pos", 30}}, 150);
    h.add({{"pos", 0}, {"vel", 1}}, 200, true);
    const std::vector<PlotPoint> xy = h.xyPoints(0, 1, 1000);
    ASSERT_EQ(xy.size(), 5u);
    EXPECT_EQ(xy[0].x, 0.0);
    EXPECT_EQ(xy[0].y, 5.0);
    EXPECT_EQ(xy[1].x, 20.0);
    EXPECT_EQ(xy[2].x, 30.0);
    EXPECT_EQ(xy[2].y, 9.0);
    EXPECT_TRUE(std::isnan(xy[3].y));
    EXPECT_EQ(xy[4].x, 0.0);
    EXPECT_EQ(xy[4].y, 1.0);

    // A long trace is thinned to one point per grid cell, its ends kept.
    PlotHistory many(100000);
    for (int i = 0; i < 100000; ++i) {
        const double t = i / 1000.0;
        many.add({{"x", std::sin(t)}, {"y", std::cos(t)}}, i);
    }
    const std::vector<PlotPoint> circle = many.xyPoints(0, 1, 200);
    EXPECT_LT(circle.size(), 20000u);
    EXPECT_GT(circle.size(), 400u);
    EXPECT_DOUBLE_EQ(circle.back().x, std::sin(99.999));
}

TEST(PlotHistory, NamesBeyondTheSeriesLimitAreCounted) {
    PlotHistory h;
    for (int i = 0; i < 40; ++i) h.add({{"s" + std::to_string(i), 1.0}}, i);
    EXPECT_EQ(h.seriesCount(), PlotHistory::kMaxSeries);
    EXPECT_EQ(h.droppedValues(), 40 - PlotHistory::kMaxSeries);
    h.clear();
    EXPECT_EQ(h.droppedValues(), 0u);
}

// The lines of one hand-over get times spread over the interval since the
// hand-over before, by where their LF stands; after a quiet spell at most a
// quarter second (or what the bytes take at the line rate).
struct SpreadRow {
    const char* name;
    std::int64_t previousAt, at;
    std::string bytes;
    std::vector<double> seconds;  // the samples' arrival, from the first one handed over at 1000 ms
};
void PrintTo(const SpreadRow& r, std::ostream* os) { *os << r.name; }

class PlotSpread : public ::testing::TestWithParam<SpreadRow> {};

TEST_P(PlotSpread, LinesOfOneHandOverAreSpreadNotStacked) {
    SystemClock clock;
    PlotRecorder recorder(clock);
    const SpreadRow& row = GetParam();
    recorder.bytesReceivedAt("0\n", 1000);
    recorder.bytesReceivedAt("no number\n", row.previousAt);
    recorder.bytesReceivedAt(row.bytes, row.at);
    const PlotHistory& h = recorder.history();
    ASSERT_EQ(h.size(), row.seconds.size() + 1);
    for (std::size_t i = 0; i < row.seconds.size(); ++i)
        EXPECT_NEAR(h.arrivalSeconds(i + 1), row.seconds[i], 0.0015) << "sample " << i + 1;
}

INSTANTIATE_TEST_SUITE_P(Table, PlotSpread, ::testing::Values(
    // Two 5-byte lines in 100 ms: at 50 and 100 ms.
    SpreadRow{"a_tick_of_lines", 1100, 1200, "a=1\na=2\n", {0.150, 0.200}},
    SpreadRow{"by_bytes_not_by_lines", 1100, 1200, "a=1\nlong=12345\n", {0.127, 0.200}},
    // After 50 s of silence: spread over 250 ms, not 50 s.
    SpreadRow{"after_a_quiet_spell", 1100, 51100, "a=1\na=2\n", {49.975, 50.100}},
    // A stalled monitor that brings 2 s of bytes spreads them over 2 s.
    SpreadRow{"a_stall_brings_a_backlog", 1100, 3100, "7 " + std::string(3836, 'x') + "\n1\n", {2.099, 2.100}}
), [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace travin
