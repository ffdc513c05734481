// A breakpoint on a program's first statement, set in the workbench: Reset
// then Run stops before that line runs, and the next Run goes on.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "BoardBench.h"

namespace travin {
namespace {

using testing::BoardBench;

std::vector<std::string> exampleLines(const char* name) {
    std::ifstream in(std::string(TRAVIN_EXAMPLES_DIR) + "/" + name, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

TEST_F(BoardBench, ABreakpointOnTheFirstStatementOfLoopStopsResetThenRun) {
    const auto lines = exampleLines("loop.tn");
    int first = -1;
    for (int i = 0; i < static_cast<int>(lines.size()) && first < 0; ++i)
        if (lines[static_cast<std::size_t>(i)] == "S = 0") first = i;
    ASSERT_GE(first, 0) << "loop.tn has no line S = 0";
    listing().setLines(lines);
    listing().setSelection(listing().lineStart(first), 0);
    wb().breakpoints.DebuggerSetBreakpointExecute();
    ASSERT_EQ(state().breakpoints[0], first);
    state().downloadNeeded = true;
    wb().download.DebuggerDownloadExecute();
    ASSERT_FALSE(state().downloadNeeded);
    board->setVariable('S' - 'A', 99);

    wb().execution.DebuggerResetExecute();
    board->setVariable('S' - 'A', 99);  // a run of "S = 0" would clear it
    wb().execution.DebuggerRunExecute();
    ASSERT_TRUE(tickUntilStopped());
    EXPECT_EQ(board->position(), listing().lineStart(first));
    EXPECT_EQ(board->variables()['S' - 'A'], 99) << "the line ran";
    EXPECT_EQ(state().executingPosition, listing().lineStart(first));
    ticks(2);
    EXPECT_EQ(consoleText().find("I = "), std::string::npos) << consoleText();

    // Run goes on past the breakpoint it stopped at, to the end.
    wb().execution.DebuggerRunExecute();
    ASSERT_TRUE(tickUntilStopped());
    ticks(2);
    EXPECT_NE(consoleText().find("The sum of 1 to 10 is 55"), std::string::npos) << consoleText();
    EXPECT_EQ(board->variables()['S' - 'A'], 55);
}

}  // namespace
}  // namespace travin
