// What the user sent, shown in the console, and the status bar's notes on
// the connection and the last stop, against the in-process virtual board.
#include <gtest/gtest.h>

#include "tests/debugger/BoardBench.h"

#include "link/Console.h"
#include "link/ConsoleEcho.h"
#include "workbench/CommandHistory.h"
#include "workbench/StatusNotes.h"

namespace travin {
namespace {

using testing::BoardBench;

class SessionNotes : public BoardBench {
protected:
    void SetUp() override {
        BoardBench::SetUp();
        state().echoSentText = true;
    }
    void runToStop(const std::vector<std::string>& program) {
        listing().setLines(program);
        state().downloadNeeded = true;
        wb().execution.DebuggerRunExecute();
        ASSERT_TRUE(tickUntilStopped());
        ticks(3);
    }
};

TEST_F(SessionNotes, TheAnswerToAnInputRequestAppearsAsTheUsersText) {
    notices().inputAnswers = {std::string("42")};
    runToStop({"input \"Age\", A", "print \"got \", A", "end"});
    ASSERT_EQ(notices().inputs.size(), 1u);
    const std::string text = consoleText();
    const auto echo = text.find(" > 42\r\n");
    ASSERT_NE(echo, std::string::npos) << text;
    EXPECT_LT(echo, text.find("got 42")) << text;
    EXPECT_EQ(wb().notes.stopNote(), "Program ended");
}

TEST_F(SessionNotes, AnAciLineAppearsBeforeTheBoardsAnswer) {
    fake->main.aci = "A = 5";
    wb().input.ACIEditKeyPress('\r');
    ticks(3);
    EXPECT_NE(consoleText().find(" > A = 5\r\n"), std::string::npos) << consoleText();
    EXPECT_EQ(board->variables()[0], 5);
    // A terminal shows what was typed already: no echo there.
    forget();
    state().echoSentText = false;
    wb().input.ACIEditKeyPress('\r');
    ticks(3);
    EXPECT_EQ(consoleText().find(">"), std::string::npos) << consoleText();
}

struct StopCase {
    const char* name;
    std::vector<std::string> program;
    int breakpointLine;   // 0-based, -1 none
    const char* note;
};

class StopNoteTest : public SessionNotes, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopNoteTest, SaysWhyTheProgramStopped) {
    const StopCase& c = GetParam();
    listing().setLines(c.program);
    if (c.breakpointLine >= 0) {
        listing().setSelection(listing().lineStart(c.breakpointLine), 0);
        wb().breakpoints.DebuggerSetBreakpointExecute();
    }
    EXPECT_EQ(wb().notes.connection(), "COM1: connected to Travin VB 1.0");
    state().downloadNeeded = true;
    wb().execution.DebuggerRunExecute();
    ASSERT_TRUE(tickUntilStopped());
    ticks(3);
    EXPECT_EQ(wb().notes.stopNote(), c.note) << consoleText();
}

INSTANTIATE_TEST_SUITE_P(
    Notes, StopNoteTest,
    ::testing::Values(
        StopCase{"Breakpoint", {"print 1", "print 2", "print 3", "end"}, 2, "Stopped at line 3 (breakpoint)"},
        StopCase{"End", {"print 1", "end"}, -1, "Program ended"},
        StopCase{"EndWithAComment", {"print 1", "  END ' done"}, -1, "Program ended"},
        StopCase{"Error", {"print 1", "A = 1 / 0", "end"}, -1, "Stopped on an error at line 2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SessionNotes, AnErrorReadOnceIsNotReadAgainAtTheNextStop) {
    runToStop({"print 1", "A = 1 / 0", "end"});
    ASSERT_EQ(wb().notes.stopNote(), "Stopped on an error at line 2") << consoleText();
    // Fixed, and run again: the old message is still in the console.
    listing().setLines({"print 1", "A = 1", "end"});
    state().downloadNeeded = true;
    wb().execution.DebuggerRunExecute();
    ASSERT_TRUE(tickUntilStopped());
    ticks(3);
    EXPECT_EQ(wb().notes.stopNote(), "Program ended") << consoleText();
}

TEST_F(SessionNotes, ALostBoardSaysNoBoard) {
    EXPECT_EQ(wb().notes.connection(), "COM1: connected to Travin VB 1.0");
    wb().serial.SioClose(state().portHandle);
    state().portHandle = kInvalidHandle;
    state().detected = false;
    EXPECT_EQ(wb().notes.connection(), "COM1: no board");
}

// --- The pieces on their own ----------------------------------------------------

TEST(ConsoleEcho, GoesOnALineOfItsOwn) {
    struct Case {
        const char* before;   // written by the board first
        const char* sent;
        std::vector<std::string> lines;   // the console keeps each line's CR
    };
    const Case cases[] = {
        {"", "A = 5", {" > A = 5\r", " "}},
        {"Age? ", "42", {" Age? \r", " > 42\r", " "}},
        {"done\r\n", "X", {" done\r", " > X\r", " "}},
    };
    for (const Case& c : cases) {
        testing::FakeBench bench("/tmp/");
        Console& console = bench.wb->console;
        console.DebuggerClearWindowExecute();
        for (const char* p = c.before; *p; ++p) console.ConsoleWriteChar(static_cast<std::uint8_t>(*p));
        echoUserText(console, c.sent);
        EXPECT_EQ(std::vector<std::string>(console.lines().begin(), console.lines().end()), c.lines) << c.sent;
    }
}

TEST(CommandHistory, UpAndDownWalkTheLastCommandsAndGiveBackTheDraft) {
    CommandHistory history(3);
    for (const char* c : {"A = 1", "B = 2", "B = 2", "C = 3", "D = 4"}) history.add(c);
    EXPECT_EQ(history.commands(), (std::vector<std::string>{"B = 2", "C = 3", "D = 4"}));
    std::string line;
    const std::pair<char, const char*> walk[] = {{'u', "D = 4"}, {'u', "C = 3"}, {'u', "B = 2"}, {'u', "B = 2"},
                                                 {'d', "C = 3"}, {'d', "D = 4"}, {'d', "typing"}, {'d', "typing"}};
    line = "typing";
    for (const auto& [key, want] : walk) {
        if (key == 'u') history.older(line == "typing" ? "typing" : line, line);
        else history.newer(line);
        EXPECT_EQ(line, want);
    }
    EXPECT_FALSE(history.newer(line));
}

}  // namespace
}  // namespace travin
