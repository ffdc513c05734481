// Programs with the console output and variables they must leave, grouped by
// feature of the language.
#include "FakeHost.h"

#include <gtest/gtest.h>

#include <map>

namespace vboard::test {
namespace {

struct ProgramCase {
    const char* name;
    std::string text;
    std::string console;
    std::map<char, std::int32_t> vars;
    std::deque<std::string> answers = {};
};

void PrintTo(const ProgramCase& c, std::ostream* os) { *os << c.name; }

class ProgramRuns : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramRuns, GivesOutputAndVariables) {
    const ProgramCase& c = GetParam();
    TravinInterpreter interp;
    FakeHost host;
    interp.load(c.text);
    const RunResult r = run(interp, host, c.answers);
    EXPECT_EQ(r.last, LineOutcome::Ended) << host.console;
    EXPECT_EQ(host.console, c.console);
    for (const auto& [letter, value] : c.vars) EXPECT_EQ(interp.variable(letter - 'A'), value) << letter;
}

// ---------------------------------------------------------------- expressions
INSTANTIATE_TEST_SUITE_P(Expressions, ProgramRuns, ::testing::Values(
    ProgramCase{"Precedence", program({"A = 2 + 3 * 4", "B = (2 + 3) * 4", "C = 10 - 4 - 3",
                                       "D = -2 * -3", "E = 17 mod 5 + 1", "F = 7 / 2 * 2"}),
                "", {{'A', 14}, {'B', 20}, {'C', 3}, {'D', 6}, {'E', 3}, {'F', 6}}},
    ProgramCase{"DivisionTruncatesTowardZero", program({"A = -7 / 2", "B = -7 mod 2", "C = 7 mod -2"}),
                "", {{'A', -3}, {'B', -1}, {'C', 1}}},
    ProgramCase{"ComparisonsGiveOneOrZero",
                program({"A = 3 < 4", "B = 3 > 4", "C = 4 <= 4", "D = 5 >= 6", "E = 2 = 2", "F = 2 <> 2",
                         "G = 1 + 1 = 2"}),
                "", {{'A', 1}, {'B', 0}, {'C', 1}, {'D', 0}, {'E', 1}, {'F', 0}, {'G', 1}}},
    ProgramCase{"AndOrNotAreBitwise",
                program({"A = 12 and 10", "B = 12 or 3", "C = not 0", "D = 1 < 2 and 3 < 4",
                         "E = 1 or 2 and 0", "F = not -1"}),
                "", {{'A', 8}, {'B', 15}, {'C', -1}, {'D', 1}, {'E', 1}, {'F', 0}}},
    ProgramCase{"HexadecimalAndLimits",
                program({"A = 0xFF", "B = 0xffffffff", "C = -2147483648", "D = 0x7FFFFFFF", "E = 0X10"}),
                "", {{'A', 255}, {'B', -1}, {'C', INT32_MIN}, {'D', INT32_MAX}, {'E', 16}}},
    ProgramCase{"ArithmeticWrapsAround",
                program({"A = 2147483647 + 1", "B = -2147483648 - 1", "C = 65536 * 65536 + 7",
                         "D = -2147483648 / -1", "E = -(-2147483648)"}),
                "", {{'A', INT32_MIN}, {'B', INT32_MAX}, {'C', 7}, {'D', INT32_MIN}, {'E', INT32_MIN}}},
    ProgramCase{"CaseDoesNotMatter", program({"a = 5", "PRINT A + a", "If A = 5 THEN", "b = 1", "EndIf"}),
                "10\r\n", {{'A', 5}, {'B', 1}}}
), [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- print and input
INSTANTIATE_TEST_SUITE_P(Output, ProgramRuns, ::testing::Values(
    ProgramCase{"ItemsSideBySide", program({"A = 7", "print \"A is \", A, \" and -A is \", -A"}),
                "A is 7 and -A is -7\r\n", {}},
    ProgramCase{"TrailingSemicolonKeepsLineOpen", program({"print \"x\";", "print \"y\";", "print", "print 1; 2"}),
                "xy\r\n12\r\n", {}},
    ProgramCase{"QuotesAndCommentsInText", program({"print \"say \"\"hi\"\" 'now'\" ' comment"}),
                "say \"hi\" 'now'\r\n", {}},
    ProgramCase{"Latin1BytesSurvive", program({"print \"\xE9t\xE9 \xFF\""}), "\xE9t\xE9 \xFF\r\n", {}},
    ProgramCase{"InputReadsSignedDecimal",
                program({"input \"Number\", N", "input M", "input \"x\", K", "input \"y\", J",
                         "print N + M, \" \", K, \" \", J"}),
                "42 -2147483648 0\r\n", {{'N', 40}, {'M', 2}, {'K', INT32_MIN}},
                {"  40abc", "+2", "-99999999999", "none"}}
), [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- control flow
INSTANTIATE_TEST_SUITE_P(Control, ProgramRuns, ::testing::Values(
    ProgramCase{"IfElseEndif",
                program({"for I = 1 to 3", "if I = 2 then", "print \"two\"", "else", "print I", "endif", "next"}),
                "1\r\ntwo\r\n3\r\n", {}},
    ProgramCase{"NestedIf",
                program({"A = 1", "B = 0", "if A then", "if B then", "print \"no\"", "else", "print \"inner\"",
                         "endif", "else", "print \"outer\"", "endif"}),
                "inner\r\n", {}},
    ProgramCase{"While", program({"I = 0", "while I < 5", "I = I + 2", "wend", "print I"}), "6\r\n", {}},
    ProgramCase{"WhileFalseSkipsBody", program({"while 0", "print \"never\"", "wend", "print \"after\""}),
                "after\r\n", {}},
    ProgramCase{"ForStepAndNesting",
                program({"S = 0", "for I = 10 to 1 step -3", "for J = 1 to 2", "S = S + I * J", "next J",
                         "next I", "print S"}),
                "66\r\n", {{'I', -2}, {'J', 3}}},
    ProgramCase{"ForNotEntered", program({"for I = 5 to 1", "print \"never\"", "next", "print I"}), "5\r\n", {}},
    ProgramCase{"ForUpToLargestValueEnds",
                program({"N = 0", "for I = 2147483646 to 2147483647", "N = N + 1", "next", "print N"}),
                "2\r\n", {}},
    ProgramCase{"GotoAndLabels",
                program({"I = 0", "top:", "I = I + 1", "if I < 3 then", "goto top", "endif", "goto done",
                         "print \"skipped\"", "Done:", "print I"}),
                "3\r\n", {}},
    ProgramCase{"GosubReturnNested",
                program({"gosub outer", "print \"back\"", "end", "outer:", "print \"outer\"", "gosub inner",
                         "return", "inner:", "print \"inner\"", "return"}),
                "outer\r\ninner\r\nback\r\n", {}},
    ProgramCase{"EndStopsEarly", program({"print 1", "end", "print 2"}), "1\r\n", {}},
    ProgramCase{"BlankCommentAndLabelLines",
                program({"", "' a comment", "   ", "start:   ' label with comment", "print \"ok\"", ""}),
                "ok\r\n", {}}
), [](const auto& info) { return std::string(info.param.name); });

TEST(Program, StopsAtFirstZeroByte) {
    TravinInterpreter interp;
    FakeHost host;
    std::string text = program({"print 1"});
    text += '\0';
    text += "garbage that is not Travin\r\n";
    interp.load(text);
    EXPECT_EQ(run(interp, host).last, LineOutcome::Ended);
    EXPECT_EQ(host.console, "1\r\n");
}

TEST(Program, LoadKeepsVariablesResetClearsThem) {
    TravinInterpreter interp;
    FakeHost host;
    interp.load(program({"A = A + 1"}));
    run(interp, host);
    interp.load(program({"B = A * 10"}));
    run(interp, host);
    EXPECT_EQ(interp.variable(1), 10);
    interp.reset();
    for (int i = 0; i < 26; ++i) EXPECT_EQ(interp.variable(i), 0);
}

TEST(Program, RunAgainAfterEndStartsOver) {
    TravinInterpreter interp;
    FakeHost host;
    interp.load(program({"A = A + 1", "print A"}));
    run(interp, host);
    EXPECT_TRUE(interp.atEnd());
    run(interp, host);
    EXPECT_EQ(host.console, "1\r\n2\r\n");
}

TEST(Program, DelayWaitsOnTheClock) {
    TravinInterpreter interp;
    FakeHost host;
    interp.load(program({"delay 250", "print \"done\""}));
    ASSERT_TRUE(interp.prepare(host));
    EXPECT_EQ(interp.executeLine(host), LineOutcome::Blocked);
    host.now += 249;
    EXPECT_EQ(interp.executeLine(host), LineOutcome::Blocked);
    EXPECT_EQ(interp.position(), 0);
    host.now += 1;
    EXPECT_EQ(interp.executeLine(host), LineOutcome::Executed);
    EXPECT_EQ(interp.executeLine(host), LineOutcome::Ended);
    EXPECT_EQ(host.console, "done\r\n");
}

TEST(Program, AbandonedDelayStartsAgain) {
    TravinInterpreter interp;
    FakeHost host;
    interp.load(program({"delay 100"}));
    ASSERT_TRUE(interp.prepare(host));
    EXPECT_EQ(interp.executeLine(host), LineOutcome::Blocked);
    host.now += 90;
    interp.abandonLine();
    EXPECT_EQ(interp.executeLine(host), LineOutcome::Blocked);
    host.now += 90;
    EXPECT_EQ(interp.executeLine(host), LineOutcome::Blocked) << "a fresh delay of 100 ms";
    host.now += 10;
    EXPECT_EQ(interp.executeLine(host), LineOutcome::Ended);
}

TEST(Program, InputWaitsWithPromptUntilAnswered) {
    TravinInterpreter interp;
    FakeHost host;
    const std::string text = program({"input \"How many\", H", "print H * 2"});
    interp.load(text);
    ASSERT_TRUE(interp.prepare(host));
    EXPECT_EQ(interp.executeLine(host), LineOutcome::NeedsInput);
    EXPECT_EQ(interp.inputPrompt(), "How many");
    EXPECT_EQ(interp.executeLine(host), LineOutcome::NeedsInput) << "still waiting";
    EXPECT_EQ(interp.position(), 0);
    interp.provideInput("21");
    EXPECT_EQ(interp.position(), lineStart(text, 1));
    EXPECT_EQ(interp.executeLine(host), LineOutcome::Ended);
    EXPECT_EQ(host.console, "42\r\n");
}

TEST(Program, GetcharTakesCharactersInOrder) {
    TravinInterpreter interp;
    FakeHost host;
    host.characters = {'h', 'i'};
    interp.load(program({"A = getchar()", "B = getchar", "C = getchar()"}));
    run(interp, host);
    EXPECT_EQ(interp.variable(0), 'h');
    EXPECT_EQ(interp.variable(1), 'i');
    EXPECT_EQ(interp.variable(2), -1);
}

TEST(Program, StoreAndRetrieveUseTheHost) {
    TravinInterpreter interp;
    FakeHost host;
    host.stored[7] = 1234;
    interp.load(program({"A = retrieve(7)", "store(249, -5)", "store(0, A + 1)"}));
    EXPECT_EQ(run(interp, host).last, LineOutcome::Ended);
    EXPECT_EQ(interp.variable(0), 1234);
    EXPECT_EQ(host.stored[249], -5);
    EXPECT_EQ(host.stored[0], 1235);
}

TEST(Program, PeekPokeAndTestbit) {
    TravinInterpreter interp;
    FakeHost host;
    interp.load(program({"poke(4095, 200)", "A = peek(4095)", "B = peek(0)", "C = testbit(5, 1)",
                         "D = testbit(5, 2)", "E = testbit(0x80000000, 32)"}));
    EXPECT_EQ(run(interp, host).last, LineOutcome::Ended) << host.console;
    EXPECT_EQ(interp.variable(0), 200);
    EXPECT_EQ(interp.variable(1), 0);
    EXPECT_EQ(interp.variable(2), 1);
    EXPECT_EQ(interp.variable(3), 0);
    EXPECT_EQ(interp.variable(4), 1);
}

}  // namespace
}  // namespace vboard::test
