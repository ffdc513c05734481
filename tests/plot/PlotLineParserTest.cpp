// What the plot reads as samples from the console text a program prints.
#include <gtest/gtest.h>

#include <cmath>

#include "plot/PlotLineParser.h"

namespace travin {
namespace {

struct LineRow {
    const char* name;
    std::string line;
    std::vector<PlotValue> values;
};
void PrintTo(const LineRow& r, std::ostream* os) { *os << r.name; }

class PlotLine : public ::testing::TestWithParam<LineRow> {};

TEST_P(PlotLine, Values) { EXPECT_EQ(parsePlotLine(GetParam().line), GetParam().values); }

INSTANTIATE_TEST_SUITE_P(Table, PlotLine, ::testing::Values(
    LineRow{"spaces", "1 2 3", {{"1", 1}, {"2", 2}, {"3", 3}}},
    LineRow{"tabs_and_commas", "4\t5,6 ,\t, 7", {{"1", 4}, {"2", 5}, {"3", 6}, {"4", 7}}},
    LineRow{"labels", "pos:120 speed:-4", {{"pos", 120}, {"speed", -4}}},
    LineRow{"label_then_space", "pos: 120, speed:  -4", {{"pos", 120}, {"speed", -4}}},
    LineRow{"words_do_not_move_places", "I is 4  sum is 10", {{"1", 4}, {"2", 10}}},
    // What print "x=", A and its kind print.
    LineRow{"equals_pairs", "x=5 y=-2", {{"x", 5}, {"y", -2}}},
    LineRow{"equals_with_blanks", "x = 1, y =2 ;z= 3", {{"x", 1}, {"y", 2}, {"z", 3}}},
    LineRow{"colon_with_blank", "temp: 25", {{"temp", 25}}},
    LineRow{"name_after_words", "motor speed = 12.5", {{"speed", 12.5}}},
    LineRow{"semicolons_separate", "1;2; 3", {{"1", 1}, {"2", 2}, {"3", 3}}},
    LineRow{"exponent_named", "v=-1.5e3", {{"v", -1500}}},
    LineRow{"time_of_day_is_no_sample", "12:30:45 pos=5 12:30", {{"pos", 5}}},
    LineRow{"time_does_not_take_the_next_number", "at 12:30:45 7", {{"1", 7}}},
    LineRow{"unit_takes_the_number", "25C 3.3V temp: 21.5C 50%", {{"1", 25}, {"2", 3.3}, {"temp", 21.5}, {"3", 50}}},
    LineRow{"degree_sign_unit", "t=21\xB0", {{"t", 21}}},
    LineRow{"a_number_names_nothing", "5 = 6 7:", {{"1", 5}, {"2", 6}}},
    LineRow{"marker_without_a_number", "x = y = 3", {{"y", 3}}},
    LineRow{"version_text_is_no_number", "Travin Detected - Version 1.2.3", {}},
    LineRow{"labels_leave_places_to_the_rest", "7 t:1 8", {{"1", 7}, {"t", 1}, {"2", 8}}},
    LineRow{"negative_decimal", "-3.25 .5 -0.0 +2", {{"1", -3.25}, {"2", 0.5}, {"3", -0.0}, {"4", 2}}},
    LineRow{"exponents", "1e3 -2.5E-2 6.02e+23", {{"1", 1000}, {"2", -0.025}, {"3", 6.02e23}}},
    LineRow{"junk_skips_only_itself", "12 3x4 - -- 1..2 0x10 ++1 56", {{"1", 12}, {"2", 56}}},
    LineRow{"no_infinities_or_nans", "inf nan -INF 5", {{"1", 5}}},
    LineRow{"label_with_junk_value", "pos:abc speed:9", {{"speed", 9}}},
    LineRow{"label_then_word", "pos: x 3", {{"1", 3}}},
    LineRow{"cr_is_ignored", "1\r2\r", {{"1", 1}, {"2", 2}}},
    LineRow{"text_only", "Travin Detected - Version", {}},
    LineRow{"empty", "", {}},
    LineRow{"only_separators", " \t,, ", {}}
), [](const auto& info) { return std::string(info.param.name); });

struct FeedRow {
    const char* name;
    std::vector<std::string> feeds;
    std::vector<std::vector<PlotValue>> samples;
};
void PrintTo(const FeedRow& r, std::ostream* os) { *os << r.name; }

class PlotFeed : public ::testing::TestWithParam<FeedRow> {};

TEST_P(PlotFeed, Samples) {
    PlotLineParser parser;
    std::vector<std::vector<PlotValue>> got;
    for (const std::string& bytes : GetParam().feeds) {
        parser.feed(bytes, [&](const std::vector<PlotValue>& v) { got.push_back(v); });
    }
    EXPECT_EQ(got, GetParam().samples);
}

INSTANTIATE_TEST_SUITE_P(Table, PlotFeed, ::testing::Values(
    FeedRow{"crlf_lines", {"1 2\r\n3 4\r\n"}, {{{"1", 1}, {"2", 2}}, {{"1", 3}, {"2", 4}}}},
    FeedRow{"unfinished_line_waits", {"1 2\r\n3 4"}, {{{"1", 1}, {"2", 2}}}},
    FeedRow{"line_split_across_feeds", {"pos:1", "2 vel:-", "3.5e1\r", "\n"}, {{{"pos", 12}, {"vel", -35}}}},
    FeedRow{"empty_and_text_lines_skipped", {"\n\r\nhello\n\n5\n"}, {{{"1", 5}}}},
    FeedRow{"many_lines_in_one_feed", {"1\n2\n3\n"}, {{{"1", 1}}, {{"1", 2}}, {{"1", 3}}}},
    FeedRow{"cr_alone_ends_no_line", {"1\r2\r3\n"}, {{{"1", 1}, {"2", 2}, {"3", 3}}}}
), [](const auto& info) { return std::string(info.param.name); });

TEST(PlotFeed, ALineLongerThanTheLimitIsDroppedUpToItsLineFeed) {
    PlotLineParser parser;
    std::vector<std::vector<PlotValue>> got;
    auto sink = [&](const std::vector<PlotValue>& v) { got.push_back(v); };
    const std::string longLine(PlotLineParser::kMaxLineLength + 10, '7');
    parser.feed(longLine, sink);
    parser.feed(" 8\n9\n", sink);
    EXPECT_EQ(got, (std::vector<std::vector<PlotValue>>{{{"1", 9}}}));
}

TEST(PlotFeed, ResetMidLineSkipsTheRestOfThatLine) {
    PlotLineParser parser;
    std::vector<std::vector<PlotValue>> got;
    auto sink = [&](const std::vector<PlotValue>& v) { got.push_back(v); };
    parser.feed("pos:12", sink);
    parser.reset();
    parser.feed("34 vel:5\npos:6\n", sink);
    EXPECT_EQ(got, (std::vector<std::vector<PlotValue>>{{{"pos", 6}}}));
}

}  // namespace
}  // namespace travin
