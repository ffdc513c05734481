// Find Next through the core: the two-pass wrap-around search, the options,
// and what the selection becomes.
#include <gtest/gtest.h>

#include "workbench/FindPrint.h"
#include "tests/support/FakeScreens.h"

namespace {

using travin::findInRange;
using travin::testing::FakeBench;

struct RangeCase {
    const char* name;
    std::string text, pattern;
    int start, length;
    bool matchCase, wholeWord;
    int want;
};

class FindInRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(FindInRange, AnswersTheFirstHitInsideTheRange) {
    const auto& c = GetParam();
    EXPECT_EQ(findInRange(c.text, c.pattern, c.start, c.length, c.matchCase, c.wholeWord), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FindInRange,
    ::testing::Values(
        RangeCase{"Plain", "10 A=1", "A", 0, 6, false, false, 3},
        RangeCase{"CaseBlind", "print Abc", "aBC", 0, 9, false, false, 6},
        RangeCase{"CaseMatters", "abc ABC", "ABC", 0, 7, true, false, 4},
        RangeCase{"Latin1CaseBlind", "x\xC9t\xE9", "\xE9T\xC9", 0, 4, false, false, 1},
        RangeCase{"WholeWordSkipsInsideWords", "AB A", "A", 0, 4, false, true, 3},
        RangeCase{"WholeWordAtLineBreaks", "AB\r\nA\r\n", "A", 0, 7, false, true, 4},
        RangeCase{"WholeWordUnderscoreIsWordChar", "A_ A", "A", 0, 4, false, true, 3},
        RangeCase{"WholeWordNoneLeft", "AB BA", "A", 0, 5, false, true, -1},
        RangeCase{"HitMustEndInsideRange", "xxAB", "AB", 0, 3, false, false, -1},
        RangeCase{"StartsAtRangeStart", "AAAA", "AA", 1, 3, false, false, 1},
        RangeCase{"EmptyRange", "AAAA", "A", 0, 0, false, false, -1},
        RangeCase{"EmptyPattern", "AAAA", "", 0, 4, false, false, -1},
        RangeCase{"RangePastEnd", "AB", "B", 1, 50, false, false, 1}),
    [](const auto& info) { return std::string(info.param.name); });

class FindNextTest : public ::testing::Test {
protected:
    FindNextTest() : bench("/nonexistent/") {}
    void find(const std::string& text, bool matchCase = false, bool wholeWord = false) {
        bench.desktop.find = {text, matchCase, wholeWord};
        bench.wb->find.FindDialog1Find();
    }
    FakeBench bench;
};

TEST_F(FindNextTest, AAInAAAAFindsZeroThenTwoThenWrapsToZero) {
    bench.listing.text = {"AAAA"};
    find("AA");
    EXPECT_EQ(bench.listing.selStart, 0);
    EXPECT_EQ(bench.listing.selLength, 2);
    find("AA");
    EXPECT_EQ(bench.listing.selStart, 2);
    EXPECT_EQ(bench.listing.selLength, 2);
    find("AA");
    EXPECT_EQ(bench.listing.selStart, 0);
    EXPECT_TRUE(bench.desktop.messages.empty());
}

TEST_F(FindNextTest, AHitBeforeTheCaretIsFoundOnTheSecondPass) {
    bench.listing.text = {"GOTO 10", "PRINT X", "END"};
    bench.listing.setSelection(18, 0);   // the caret on the last line
    find("print");
    EXPECT_EQ(bench.listing.selStart, 9);
    // The hit keeps the search text's length, whatever the listing's case.
    EXPECT_EQ(bench.listing.selLength, 5);
    EXPECT_GT(bench.listing.scrollCount, 0);
    // The find dialog keeps the keys.
    EXPECT_EQ(bench.listing.focusCount, 0);
    // The only hit, again and again.
    find("print");
    EXPECT_EQ(bench.listing.selStart, 9);
}

TEST_F(FindNextTest, PositionsCountLineBreaksAsTwo) {
    bench.listing.text = {"A", "B", "C"};
    find("C");
    EXPECT_EQ(bench.listing.selStart, 6);
}

TEST_F(FindNextTest, WholeWordDoesNotStopInsideALongerWord) {
    bench.listing.text = {"AB=1", "A=2"};
    find("A", false, true);
    EXPECT_EQ(bench.listing.selStart, 6);
    find("A");
    EXPECT_EQ(bench.listing.selStart, 0);
}

TEST_F(FindNextTest, MatchCaseSkipsOtherCase) {
    bench.listing.text = {"end", "END"};
    find("END", true);
    EXPECT_EQ(bench.listing.selStart, 5);
}

TEST_F(FindNextTest, NotFoundShowsTheMessageAndKeepsTheSelection) {
    bench.listing.text = {"10 A=1"};
    bench.listing.setSelection(3, 2);
    find("Q");
    ASSERT_EQ(bench.desktop.messages, std::vector<std::string>{"Seach string 'Q' not found"});
    EXPECT_EQ(bench.listing.selStart, 3);
    EXPECT_EQ(bench.listing.selLength, 2);

    bench.listing.text.clear();
    bench.listing.setSelection(0, 0);
    find("A");
    EXPECT_EQ(bench.desktop.messages.back(), "Seach string 'A' not found");
}

TEST_F(FindNextTest, FindAndPrintWorkWhileTheProgramRuns) {
    bench.wb->state.detected = true;
    bench.wb->state.running = true;
    bench.listing.text = {"X"};
    find("X");
    EXPECT_EQ(bench.listing.selLength, 1);
    bench.wb->find.EditFind1Execute();
    bench.wb->find.PrintMenuClick();
    EXPECT_EQ(bench.desktop.findShown, 1);
    EXPECT_EQ(bench.desktop.printed, 1);
    EXPECT_TRUE(bench.notices.notices.empty());
}

}  // namespace
