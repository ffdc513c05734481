// Reading a selected text as a call: recognition, argument splitting, the
// fit against the entry's parameter count, and the extent of the call.
#include "assistant/FuncAssistState.h"
#include "core/SingleByteText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace travin;

namespace {

struct ParseCase {
    const char* label;
    std::string text;
    bool fits;
    int index;
    std::vector<std::string> args;   // checked when the call fits
    std::size_t callLength;          // std::string::npos: the whole text
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.label; }

constexpr std::size_t kWhole = std::string::npos;

class ParseCallTextTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCallTextTable, RecognisesSplitsAndFits)
{
    const ParseCase& c = GetParam();
    FuncAssistState state;
    int index = 99;
    std::size_t length = 0;
    EXPECT_EQ(ParseCallText(state, c.text, index, &length), c.fits);
    EXPECT_EQ(index, c.index);
    EXPECT_EQ(length, c.callLength == kWhole ? c.text.size() : c.callLength);
    if (c.fits) {
        for (std::size_t i = 0; i < c.args.size(); ++i)
            EXPECT_EQ(state.CallArgs[i], c.args[i]) << "argument " << i;
    }
}

const std::string kTwelve = "svgain(1,2,3,4,5,6,7,8,9,10,11,12)";

INSTANTIATE_TEST_SUITE_P(
    Selections, ParseCallTextTable,
    ::testing::Values(
        ParseCase{"upper case with blanks around and inside",
                  "  SVTRAJ(1, 151, 0,100000 ,1000,0) \t", true, 24,
                  {"1", "151", "0", "100000", "1000", "0"}, kWhole},
        ParseCase{"comma inside nested parentheses does not split",
                  "store(10, getpos(2))", true, 12, {"10", "getpos(2)"}, kWhole},
        ParseCase{"blank before the parenthesis", "getpos (1)", true, 15, {"1"}, kWhole},
        ParseCase{"tab before the parenthesis", "getpos\t(1)", true, 15, {"1"}, kWhole},
        ParseCase{"bare name has an empty last argument", "getpos", false, 15, {}, kWhole},
        ParseCase{"unbalanced parentheses", "getpos(1", false, 15, {}, kWhole},
        ParseCase{"too few arguments, Orlen entry", "stopmot(1)", false, 21, {}, kWhole},
        ParseCase{"shared name is the Orlen entry", "homing(2,3)", true, 19, {"2", "3"}, kWhole},
        ParseCase{"not beginning with a name", "A = getpos(1)", false, -1, {}, kWhole},
        ParseCase{"empty selection", "", false, -1, {}, kWhole},
        ParseCase{"blanks only", " \t ", false, -1, {}, kWhole},
        ParseCase{"empty argument between commas", "poke(,1)", false, 10, {}, kWhole},
        ParseCase{"twelve arguments to svgain", kTwelve, false, 23, {}, kWhole},
        ParseCase{"eleven arguments to svgain", "svgain(1,2,3,4,5,6,7,8,9,10,11)", true, 23,
                  {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}, kWhole},
        ParseCase{"arguments arrive lower-cased", "GETPOS(Ab)", true, 15, {"ab"}, kWhole},
        ParseCase{"multi-line selection keeps CR LF as blanks", "poke(1,\r\n  2)", true, 10,
                  {"1", "2"}, kWhole},
        // Trailing text after the closing parenthesis is not part of it.
        ParseCase{"trailing text after the call", "getpos(1) + 5", true, 15, {"1"}, 9},
        ParseCase{"trailing text after leading blanks", "  getpos(1) + 5", true, 15, {"1"}, 11},
        ParseCase{"extra closing parenthesis is trailing", "store(1,2))", true, 12, {"1", "2"}, 10},
        ParseCase{"trailing text after an unfitting call", "stopmot(1) + 5", false, 21, {}, 10},
        ParseCase{"trailing text after an empty argument", "poke(1,,2) ' c", false, 10, {}, 10},
        ParseCase{"trailing text after a thirteenth argument",
                  "svgain(1,2,3,4,5,6,7,8,9,10,11,12,13) + 5", false, 23, {}, 37},
        // Empty parentheses fit an entry without parameters; the bare name
        // still does not.
        ParseCase{"empty parentheses, no parameters", "getchar()", true, 0, {}, kWhole},
        ParseCase{"blank inside empty parentheses", "nmreset( )", true, 9, {}, kWhole},
        ParseCase{"bare name without parameters", "getnminit", false, 2, {}, kWhole},
        ParseCase{"argument to an entry without parameters", "getchar(5)", false, 0, {}, kWhole},
        ParseCase{"empty parentheses, one parameter", "getpos()", false, 15, {}, kWhole}));

TEST(StoreCallArg, TrimsAndRefusesBlankOrOutOfRange)
{
    FuncAssistState state;
    EXPECT_TRUE(StoreCallArg(state, 0, " \t x + 1\r\n"));
    EXPECT_EQ(state.CallArgs[0], "x + 1");
    EXPECT_TRUE(StoreCallArg(state, 10, "z"));
    EXPECT_EQ(state.CallArgs[10], "z");

    EXPECT_FALSE(StoreCallArg(state, 0, " \t "));
    EXPECT_EQ(state.CallArgs[0], "x + 1") << "a refused store leaves the slot";
    EXPECT_FALSE(StoreCallArg(state, 11, "1"));
    EXPECT_FALSE(StoreCallArg(state, -1, "1"));
}

TEST(ParseCallText, FailedParseMayLeaveEarlierSlotsButReportsTheEntry)
{
    FuncAssistState state;
    state.CallArgs[1] = "old";
    int index = -1;
    EXPECT_FALSE(ParseCallText(state, "svtraj(7,", index));
    EXPECT_EQ(index, 24);
    EXPECT_EQ(state.CallArgs[0], "7");
    EXPECT_EQ(state.CallArgs[1], "old");
}

TEST(LowerSingleByte, LowersAsciiAndLatin1CapitalsOnly)
{
    EXPECT_EQ(lowerSingleByte("GetPOS\xC4\xD7\xDE\xDF"), std::string("getpos\xE4\xD7\xFE\xDF"));
}

}  // namespace
