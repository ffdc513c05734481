// Single steps as the board makes them: one prepare and one line per step.
// The positions the workbench would mark must be real statement lines, in
// execution order, through loops and subroutine calls.
#include "FakeHost.h"

#include <gtest/gtest.h>

namespace vboard::test {
namespace {

// Steps until the program ends and answers the 0-based line of every
// position it stood on before each step.
std::vector<int> stepLines(const std::string& text, int maxSteps = 100) {
    TravinInterpreter interp;
    FakeHost host;
    interp.load(text);
    std::vector<int> lines;
    for (int i = 0; i < maxSteps; ++i) {
        int line = 0;
        while (line < 1000 && lineStart(text, line + 1) <= interp.position() &&
               lineStart(text, line + 1) < text.size())
            ++line;
        lines.push_back(line);
        EXPECT_TRUE(interp.prepare(host));
        const LineOutcome o = interp.executeLine(host);
        if (o == LineOutcome::Ended) break;
        EXPECT_EQ(o, LineOutcome::Executed);
    }
    return lines;
}

struct StepCase {
    const char* name;
    std::string text;
    std::vector<int> lines;
};

void PrintTo(const StepCase& c, std::ostream* os) { *os << c.name; }

class Stepping : public ::testing::TestWithParam<StepCase> {};

TEST_P(Stepping, VisitsStatementLinesInOrder) { EXPECT_EQ(stepLines(GetParam().text), GetParam().lines); }

INSTANTIATE_TEST_SUITE_P(Flow, Stepping, ::testing::Values(
    StepCase{"PassesOverBlankCommentAndLabelLines",
             program({"' header", "", "A = 1", "start:", "   ' note", "B = 2"}), {2, 5}},
    StepCase{"ForLoopReturnsToBodyFromNext",
             program({"for I = 1 to 2", "A = A + I", "next", "print A"}), {0, 1, 2, 1, 2, 3}},
    StepCase{"WhileLoopReturnsToWhile",
             program({"I = 0", "while I < 2", "I = I + 1", "wend", "end"}), {0, 1, 2, 3, 1, 2, 3, 1, 4}},
    StepCase{"IfFalseGoesPastElse",
             program({"if 0 then", "A = 1", "else", "A = 2", "endif", "B = 1"}), {0, 3, 4, 5}},
    StepCase{"ThenPartLeavesThroughElse",
             program({"if 1 then", "A = 1", "else", "A = 2", "endif", "B = 1"}), {0, 1, 2, 5}},
    StepCase{"GosubEntersAndReturnsBehindTheCall",
             program({"gosub sub", "A = 1", "end", "sub:", "B = 1", "return"}), {0, 4, 5, 1, 2}},
    StepCase{"GotoToLabelLandsOnNextStatement",
             program({"goto there", "A = 1", "there:", "' comment", "B = 1"}), {0, 4}}
), [](const auto& info) { return std::string(info.param.name); });

TEST(Positions, EndedProgramStaysOnTheEndingLine) {
    TravinInterpreter interp;
    FakeHost host;
    const std::string text = program({"A = 1", "end", "B = 1"});
    interp.load(text);
    EXPECT_EQ(run(interp, host).last, LineOutcome::Ended);
    EXPECT_EQ(interp.position(), lineStart(text, 1));
    EXPECT_TRUE(interp.atEnd());
}

TEST(Positions, FallingOffTheEndStaysOnTheLastStatement) {
    TravinInterpreter interp;
    FakeHost host;
    const std::string text = program({"A = 1", "B = 2", "' trailing comment", ""});
    interp.load(text);
    EXPECT_EQ(run(interp, host).last, LineOutcome::Ended);
    EXPECT_EQ(interp.position(), lineStart(text, 1));
}

TEST(Positions, SetPositionMovesToTheStatementAtOrAfter) {
    TravinInterpreter interp;
    const std::string text = program({"A = 1", "' comment", "label:", "B = 2"});
    interp.load(text);
    interp.setPosition(lineStart(text, 1));
    EXPECT_EQ(interp.position(), lineStart(text, 3));
    interp.setPosition(static_cast<std::uint16_t>(lineStart(text, 0) + 2));  // inside line 0
    EXPECT_EQ(interp.position(), 0);
    interp.setPosition(static_cast<std::uint16_t>(text.size()));
    EXPECT_TRUE(interp.atEnd());
}

TEST(Positions, EmptyProgramEndsAtOnce) {
    TravinInterpreter interp;
    FakeHost host;
    interp.load("' only a comment\r\n\r\n");
    EXPECT_TRUE(interp.atEnd());
    EXPECT_TRUE(interp.prepare(host));
    EXPECT_EQ(interp.executeLine(host), LineOutcome::Ended);
}

TEST(Positions, GosubStateSurvivesStopAndRunFromHere) {
    // Stop inside a subroutine (the board just stops calling), then Run again:
    // the return must still go back behind the call.
    TravinInterpreter interp;
    FakeHost host;
    interp.load(program({"gosub sub", "print \"back\"", "end", "sub:", "print \"in\"", "return"}));
    ASSERT_TRUE(interp.prepare(host));
    EXPECT_EQ(interp.executeLine(host), LineOutcome::Executed);
    EXPECT_EQ(interp.executeLine(host), LineOutcome::Executed);
    EXPECT_EQ(run(interp, host).last, LineOutcome::Ended);
    EXPECT_EQ(host.console, "in\r\nback\r\n");
}

TEST(Positions, ResetReturnsToTheFirstStatement) {
    TravinInterpreter interp;
    FakeHost host;
    const std::string text = program({"", "A = 1", "B = 2"});
    interp.load(text);
    ASSERT_TRUE(interp.prepare(host));
    interp.executeLine(host);
    EXPECT_EQ(interp.position(), lineStart(text, 2));
    interp.reset();
    EXPECT_EQ(interp.position(), lineStart(text, 1));
}

}  // namespace
}  // namespace vboard::test
