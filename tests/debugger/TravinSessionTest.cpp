// Real Travin programs through the workbench, end to end: the workbench's
// core over fake screens, the virtual board with its interpreter behind a
// real pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/CommandTable.h"
#include "tests/debugger/BoardBench.h"

namespace travin::testing {
namespace {

class TravinSession : public BoardBench {
protected:
    // Ticks until `done` holds or the time is up; returns whether it held.
    template <typename Done>
    bool tickUntil(Done done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            wb().monitor.BackgroundProcessTimer();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
};

TEST_F(TravinSession, AnInputRequestIsAnsweredThroughTheUserInputBox) {
    listing().setLines({"' ask for a number and double it", "input \"Value\", A", "print \"Twice: \", A * 2"});
    notices().inputAnswers.push_back(std::string("21"));
    wb().execution.DebuggerRunExecute();
    ASSERT_TRUE(state().detected);
    ASSERT_TRUE(tickUntilStopped());

    ASSERT_EQ(notices().inputs.size(), 1u);
    EXPECT_EQ(notices().inputs[0].caption, "User Input");
    EXPECT_NE(notices().inputs[0].prompt.find("Value"), std::string::npos) << notices().inputs[0].prompt;
    EXPECT_EQ(notices().inputs[0].initial, "0");

    const auto answers = exchangesOf(command::SendInput);
    ASSERT_EQ(answers.size(), 1u);
    const std::vector<std::uint8_t> expected{'2', '1', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(answers[0].payload, expected);

    EXPECT_NE(consoleText().find("Twice: 42"), std::string::npos) << consoleText();
    EXPECT_EQ(state().variableValues[0], 21);
    EXPECT_EQ(fake->main.variableRows.at(0), "A: 21");
    EXPECT_FALSE(state().inputRequested);
}

TEST_F(TravinSession, ARuntimeErrorStopsTheProgramWithItsLineMarked) {
    listing().setLines({"A = 1", "B = A / 0", "print \"never\""});
    wb().execution.DebuggerRunExecute();
    ASSERT_TRUE(tickUntilStopped());
    EXPECT_NE(consoleText().find("Error in line 2"), std::string::npos) << consoleText();
    EXPECT_EQ(consoleText().find("never"), std::string::npos);
    EXPECT_EQ(state().executingPosition, listing().lineStart(1));
    EXPECT_EQ(listing().lineColour(1), kBlue);
    EXPECT_EQ(listing().lineColour(0), listing().defaultColour);
}

TEST_F(TravinSession, ABreakpointInALoopStopsOnEveryPass) {
    listing().setLines({"S = 0", "for I = 1 to 3", "  S = S + I", "next I", "print \"sum \", S"});
    listing().setSelection(listing().lineStart(2), 0);
    wb().breakpoints.DebuggerSetBreakpointExecute();
    for (int pass = 1; pass <= 3; ++pass) {
        wb().execution.DebuggerRunExecute();
        ASSERT_TRUE(tickUntilStopped()) << "pass " << pass;
        EXPECT_EQ(state().executingPosition, listing().lineStart(2)) << "pass " << pass;
        EXPECT_EQ(listing().lineColour(2), kMagenta) << "pass " << pass;
        EXPECT_EQ(state().variableValues['I' - 'A'], pass);
        EXPECT_EQ(state().variableValues['S' - 'A'], pass * (pass - 1) / 2);
    }
    wb().execution.DebuggerRunExecute();
    ASSERT_TRUE(tickUntilStopped());
    EXPECT_NE(consoleText().find("sum 6"), std::string::npos) << consoleText();
}

TEST_F(TravinSession, AnAciLinePrintsWhileTheProgramIsStopped) {
    fake->main.aci = "print 6 * 7";
    wb().input.SendACIExecute();
    ASSERT_TRUE(state().detected);
    ASSERT_TRUE(tickUntil([&] { return consoleText().find("42") != std::string::npos; }))
        << consoleText();
    const auto sent = exchangesOf(command::SendAci);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(std::string(sent[0].payload.begin(), sent[0].payload.end()), "print 6 * 7");
}

}  // namespace
}  // namespace travin::testing
