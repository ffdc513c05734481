// Running the stored program: run, step, breakpoints, stop, reset, console
// output between exchanges, and the power-on start.
#include "BoardFixture.h"

#include "board/Eeprom.h"

namespace boardtest {
namespace {

// ' comment / print "one" / (blank) / print "two" / indented comment / print "three"
const char* kProgram = "' comment\nprint \"one\"\n\nprint \"two\"\n  ' indented comment\nprint \"three\"\n";
constexpr unsigned kOne = 11, kTwo = 26, kThree = 61;

class RunTest : public BoardTest {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        store(kProgram);
    }
    std::uint8_t status() {
        auto r = client_.exchange(8, bytesOf("Stat"));
        EXPECT_TRUE(r.ok) << r.failure;
        return r.status;
    }
    unsigned position() {
        auto r = client_.exchange(9, bytesOf("get "));
        EXPECT_EQ(r.data.size(), 106u);
        return r.data.size() == 106 ? u16At(r.data, 104) : 0xFFFFFFFF;
    }
    void waitStopped() {
        for (int i = 0; i < 200 && board_->running(); ++i) std::this_thread::sleep_for(Ms(5));
        ASSERT_FALSE(board_->running());
    }
    std::string console(Ms quiet = Ms(100)) {
        auto b = client_.drain(quiet);
        return std::string(b.begin(), b.end());
    }
    void setBreakpoints(unsigned a, unsigned b = 0xFFFF, unsigned c = 0xFFFF) {
        Bytes p = u16(a), q = u16(b), r = u16(c);
        p.insert(p.end(), q.begin(), q.end());
        p.insert(p.end(), r.begin(), r.end());
        ASSERT_TRUE(client_.exchange(4, p).ok);
    }
};

TEST_F(RunTest, RunRepliesRunningEvenWhenTheProgramEndsAtOnce) {
    ASSERT_TRUE(client_.exchange(14).ok);  // no program at all
    auto r = client_.exchange(2, bytesOf("Run Comm"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.raw, (Bytes{0x20, 0x20}));
    waitStopped();
    EXPECT_EQ(status(), 0x00);
}

TEST_F(RunTest, RunPrintsEveryLineAndEndsOnTheLastOne) {
    ASSERT_EQ(client_.exchange(2, bytesOf("Run Comm")).status, 0x20);
    EXPECT_EQ(console(), "one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(status(), 0x00);
    EXPECT_EQ(position(), kThree);
    // Run after the end starts again from the top.
    ASSERT_EQ(client_.exchange(2, bytesOf("Run Comm")).status, 0x20);
    EXPECT_EQ(console(), "one\r\ntwo\r\nthree\r\n");
}

TEST_F(RunTest, StepExecutesOneStatementLinePassingOverBlankAndCommentLines) {
    const struct { const char* out; unsigned pos; } steps[] = {
        {"one\r\n", kTwo}, {"two\r\n", kThree}, {"three\r\n", kThree}, {"one\r\n", kTwo}};
    EXPECT_EQ(position(), kOne);
    for (const auto& s : steps) {
        auto r = client_.exchange(6, bytesOf("Step Com"));
        EXPECT_EQ(r.raw, (Bytes{0x20, 0x20}));
        EXPECT_EQ(console(), s.out);
        EXPECT_EQ(status(), 0x00);
        EXPECT_EQ(position(), s.pos);
    }
}

TEST_F(RunTest, RunStopsBeforeABreakpointLineAndContinuesFromIt) {
    setBreakpoints(0xFFFF, kTwo);
    ASSERT_EQ(client_.exchange(2, bytesOf("Run Comm")).status, 0x20);
    EXPECT_EQ(console(), "one\r\n");
    EXPECT_EQ(status(), 0x00);
    EXPECT_EQ(position(), kTwo);
    ASSERT_EQ(client_.exchange(2, bytesOf("Run Comm")).status, 0x20);
    EXPECT_EQ(console(), "two\r\nthree\r\n");
}

TEST_F(RunTest, ABreakpointOnTheFirstStatementHoldsTheRunFromTheStart) {
    setBreakpoints(kOne, kThree);
    ASSERT_TRUE(client_.exchange(7, bytesOf("Reset Co")).ok);
    ASSERT_EQ(client_.exchange(2, bytesOf("Run Comm")).status, 0x20);
    EXPECT_EQ(console(), "");
    EXPECT_EQ(status(), 0x00);
    EXPECT_EQ(position(), kOne);
    // The next Run goes on past the breakpoint it stopped at.
    ASSERT_TRUE(client_.exchange(2, bytesOf("Run Comm")).ok);
    EXPECT_EQ(console(), "one\r\ntwo\r\n");
    EXPECT_EQ(position(), kThree);
    // A step from a breakpoint line executes it.
    ASSERT_TRUE(client_.exchange(6, bytesOf("Step Com")).ok);
    EXPECT_EQ(console(), "three\r\n");
}

TEST_F(RunTest, StopHaltsAtOnceAndRunContinuesWithTheNextLine) {
    std::string source;
    for (int i = 0; i < 2000; ++i) source += "print \"" + std::to_string(1000 + i) + "\"\n";
    store(source);
    options_.linesPerSecond = 200;
    startBoard();
    ASSERT_TRUE(client_.exchange(2, bytesOf("Run Comm")).ok);
    std::this_thread::sleep_for(Ms(100));
    auto r = client_.exchange(3, bytesOf("Stop Com"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.status, 0x00);
    EXPECT_FALSE(board_->running());
    std::string out = std::string(r.beforeEcho.begin(), r.beforeEcho.end()) + console();
    const unsigned pos = position();
    const unsigned printed = static_cast<unsigned>(out.size() / 6);
    EXPECT_GT(printed, 5u);
    EXPECT_LT(printed, 100u);
    EXPECT_EQ(pos, printed * 14);  // each line "print "NNNN"" is 14 bytes with CR LF
    EXPECT_TRUE(console(Ms(100)).empty());  // nothing more after the stop
    ASSERT_TRUE(client_.exchange(6, bytesOf("Step Com")).ok);
    EXPECT_EQ(console(), std::to_string(1000 + printed) + "\r\n");
}

// A program asleep in a long delay still answers at once, and Stop ends it.
TEST_F(RunTest, StopCutsALongDelayShort) {
    store("delay 60000\nprint \"late\"\n");
    ASSERT_EQ(client_.exchange(2, bytesOf("Run Comm")).status, 0x20);
    std::this_thread::sleep_for(Ms(100));
    const auto t0 = std::chrono::steady_clock::now();
    auto r = client_.exchange(3, bytesOf("Stop Com"));
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.status, 0x00);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, Ms(1500));
    EXPECT_FALSE(board_->running());
    EXPECT_EQ(console(), "");
}

TEST_F(RunTest, ResetSetsThePositionToZeroAndClearsEveryVariable) {
    store("print \"a\"\nprint \"b\"\n");
    ASSERT_TRUE(client_.exchange(10, Bytes{7, 9, 0, 0, 0}).ok);
    ASSERT_TRUE(client_.exchange(6, bytesOf("Step Com")).ok);
    console();
    EXPECT_EQ(position(), 11u);
    ASSERT_EQ(client_.exchange(7, bytesOf("Reset Co")).raw, (Bytes{0x00, 0x00}));
    auto r = client_.exchange(9, bytesOf("get "));
    EXPECT_EQ(r.data, Bytes(106, 0));
}

TEST_F(RunTest, ConsoleOutputNeverLandsInsideAReply) {
    std::string source, expected;
    for (int i = 0; i < 300; ++i) {
        source += "print \"line " + std::to_string(i) + "\"\n";
        expected += "line " + std::to_string(i) + "\r\n";
    }
    store(source);
    options_.linesPerSecond = 3000;
    startBoard();
    std::string seen;
    auto r = client_.exchange(2, bytesOf("Run Comm"));
    ASSERT_TRUE(r.ok);
    for (int i = 0; i < 40; ++i) {
        auto v = client_.exchange(9, bytesOf("get "));
        ASSERT_TRUE(v.ok) << v.failure << " in exchange " << i;
        ASSERT_EQ(v.data.size(), 106u);
        seen.append(v.beforeEcho.begin(), v.beforeEcho.end());
        auto between = client_.drain(Ms(2));
        seen.append(between.begin(), between.end());
    }
    seen += console(Ms(200));
    EXPECT_EQ(seen, expected);
}

TEST_F(RunTest, SendCharacterFeedsTheInputQueueAndResetEmptiesIt) {
    ASSERT_TRUE(client_.exchange(18, Bytes{'k'}).ok);
    EXPECT_EQ(board_->pendingCharacters(), 1u);
    ASSERT_TRUE(client_.exchange(7, {}).ok);
    EXPECT_EQ(board_->pendingCharacters(), 0u);
}

class PowerOnTest : public BoardTest {
protected:
    void SetUp() override {
        options_ = quickOptions(dir_);
        vboard::EepromImage image(options_.eepromPath);
        ASSERT_TRUE(image.storeSource("print \"hello\"\n"));
        image.save();
        options_.powerOnRun = true;
        options_.startupMs = 150;
    }
};

TEST_F(PowerOnTest, TheStoredProgramRunsAfterTheStartUpTime) {
    startBoard();
    const auto t0 = board_->nowMs();
    EXPECT_TRUE(client_.drain(Ms(100)).empty());
    auto out = client_.drain(Ms(300));
    EXPECT_EQ(std::string(out.begin(), out.end()), "hello\r\n");
    EXPECT_GE(board_->nowMs() - t0, 150u);
}

TEST_F(PowerOnTest, ACommandBeforeTheStartUpTimeKeepsTheProgramStopped) {
    startBoard();
    ASSERT_TRUE(client_.exchange(3, bytesOf("Stop Com")).ok);
    EXPECT_TRUE(client_.drain(Ms(400)).empty());
    EXPECT_FALSE(board_->running());
}

TEST_F(PowerOnTest, TheImagesStartUpTimeIsInSeconds) {
    options_.startupMs = -1;
    {
        vboard::EepromImage image(options_.eepromPath);
        image.loadOrCreate();
        image.startupBlock()[0] = 1;
        image.save();
    }
    startBoard();
    EXPECT_TRUE(client_.drain(Ms(700)).empty());
    auto out = client_.drain(Ms(700));
    EXPECT_EQ(std::string(out.begin(), out.end()), "hello\r\n");
}

}  // namespace
}  // namespace boardtest
