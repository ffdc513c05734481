// The interim executor: which lines are statements, what print writes.
#include "board/ExecutorFactory.h"
#include "board/SimpleExecutor.h"

#include <gtest/gtest.h>

namespace {

struct FakeHost : vboard::ExecutorHost {
    std::string out;
    void consoleWrite(std::string_view b) override { out.append(b); }
    std::optional<std::uint8_t> takeCharacter() override { return std::nullopt; }
    std::int32_t storedValue(int) override { return 0; }
    void setStoredValue(int, std::int32_t) override {}
    std::uint64_t nowMs() override { return 0; }
};

struct Case {
    const char* name;
    const char* program;
    std::vector<unsigned> positions;  // of the statement lines, in order
    const char* output;               // of running every line
};

class SimpleExecutorTest : public ::testing::TestWithParam<Case> {};

TEST_P(SimpleExecutorTest, PositionsAndOutput) {
    const Case& c = GetParam();
    vboard::SimpleExecutor e;
    FakeHost host;
    e.load(c.program);
    std::vector<unsigned> seen;
    vboard::LineOutcome last = vboard::LineOutcome::Executed;
    for (int guard = 0; guard < 100 && last == vboard::LineOutcome::Executed; ++guard) {
        if (e.atEnd()) break;
        seen.push_back(e.position());
        last = e.executeLine(host);
    }
    EXPECT_EQ(seen, c.positions);
    EXPECT_EQ(host.out, c.output);
    if (!c.positions.empty()) {
        EXPECT_EQ(last, vboard::LineOutcome::Ended);
        EXPECT_EQ(e.position(), c.positions.back());  // the line that ended it
    } else {
        EXPECT_TRUE(e.atEnd());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Programs, SimpleExecutorTest,
    ::testing::Values(
        Case{"Empty", "", {}, ""},
        Case{"OnlyComments", "' a\r\n\r\n   ' b\r\n", {}, ""},
        Case{"Print", "print \"hi\"\r\n", {0}, "hi\r\n"},
        Case{"PrintAnyCaseAndBlanks", "  PRINT   \"A b\"\r\n\tPrint \"\"\r\n", {0, 17}, "A b\r\n\r\n"},
        Case{"OtherLinesDoNothing", "a = 1\r\nprint x\r\nprintx \"no\"\r\nprint \"yes\r\n",
             {0, 7, 16, 29}, ""},
        Case{"CommentsAndBlanksPassedOver", "' c\r\nprint \"1\"\r\n\r\n' d\r\nprint \"2\"\r\n", {5, 23},
             "1\r\n2\r\n"},
        Case{"Latin1Text", "print \"\xE9\xFF\"\r\n", {0}, "\xE9\xFF\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimpleExecutorRules, ResetKeepsTheProgramAndClearsVariables) {
    vboard::SimpleExecutor e;
    FakeHost host;
    e.load("x\r\ny\r\n");
    e.setVariable(3, 42);
    e.executeLine(host);
    EXPECT_EQ(e.position(), 3u);
    e.load("x\r\ny\r\nz\r\n");
    EXPECT_EQ(e.variable(3), 42);  // load keeps the variables
    EXPECT_EQ(e.position(), 0u);
    e.executeLine(host);
    e.reset();
    EXPECT_EQ(e.position(), 0u);
    EXPECT_EQ(e.variable(3), 0);
    e.setPosition(4);
    EXPECT_EQ(e.position(), 6u);  // the next statement line at or after 4
}

TEST(SimpleExecutorRules, TheFactoryMakesAnExecutorWithoutAProgram) {
    auto e = vboard::makeExecutor();
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->atEnd());
}

}  // namespace
