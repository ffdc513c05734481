// The plot's history: series by name, gaps, the window of the last N
// samples, the reduction for drawing and the CSV export.
#include <gtest/gtest.h>

#include <cmath>

#include "plot/PlotHistory.h"

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

}  // namespace
}  // namespace travin
