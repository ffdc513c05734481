// The interpreter inside the board's run control: the board's run, step,
// breakpoint and input rules over real Travin programs, and stored values
// kept in the EEPROM image across a restart of the board.
#include "board/Eeprom.h"
#include "board/RunControl.h"
#include "board/interpreter/TravinInterpreter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vboard::test {
namespace {

class BoardRun : public ::testing::Test {
protected:
    void SetUp() override {
        char dirTemplate[] = "/tmp/travin-interp-XXXXXX";
        ASSERT_NE(mkdtemp(dirTemplate), nullptr);
        dir_ = dirTemplate;
        image_ = std::make_unique<EepromImage>(dir_ + "/eeprom.img");
        image_->loadOrCreate();
        restart();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // A board power cycle: the image read again from its file, a new interpreter.
    void restart() {
        control_.reset();
        image_ = std::make_unique<EepromImage>(dir_ + "/eeprom.img");
        image_->loadOrCreate();
        control_ = std::make_unique<RunControl>(*image_, [this] { return now_; },
                                                std::make_unique<TravinInterpreter>());
    }
    void store(std::string_view source) {
        ASSERT_TRUE(image_->storeSource(source));
        control_->programChanged();
    }
    // Advances until the program stops or waits for input; waits on the clock
    // when the board asks for it.
    void settle() {
        for (int i = 0; i < 10000; ++i) {
            const int r = control_->advance(100);
            if (r < 0) return;
            now_ += r > 0 ? static_cast<std::uint64_t>(r) : 0;
        }
        FAIL() << "the program did not stop";
    }
    std::string takeConsole() {
        std::string out;
        out.swap(control_->console());
        return out;
    }

    std::string dir_;
    std::uint64_t now_ = 5000;
    std::unique_ptr<EepromImage> image_;
    std::unique_ptr<RunControl> control_;
};

std::string example(const char* file) {
    std::ifstream in(std::string(TRAVIN_EXAMPLES_DIR) + "/" + file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    // As the workbench downloads it: LF line ends, the board adds CR LF.
    std::string text = s.str(), out;
    for (char c : text)
        if (c != '\r') out += c;
    return out;
}

TEST_F(BoardRun, StoredValueSurvivesARestart) {
    store("A = 21\nstore(17, A * 2)\n");
    control_->run();
    settle();
    EXPECT_TRUE(control_->ended());
    restart();
    store("B = retrieve(17)\nprint B\n");
    control_->run();
    settle();
    EXPECT_EQ(takeConsole(), "42\r\n");
    EXPECT_EQ(control_->variable(1), 42);
}

TEST_F(BoardRun, InputRequestCarriesThePromptAndTheAnswerCompletesTheLine) {
    store(example("hello.tn"));
    control_->run();
    settle();
    EXPECT_TRUE(control_->waitingInput());
    EXPECT_EQ(control_->statusBits(), 0x30);  // running, waiting for input
    EXPECT_EQ(control_->inputPrompt(), "How old are you");
    control_->provideInput("7");
    settle();
    EXPECT_TRUE(control_->ended());
    EXPECT_EQ(takeConsole(), "Hello from Travin!\r\nIn ten years you will be 17.\r\n");
}

TEST_F(BoardRun, BreakpointInALoopStopsOnEveryPass) {
    const std::string source = example("loop.tn");
    store(source);
    // The position of "  S = S + I" as stored, each line ended by CR LF.
    std::uint16_t at = 0;
    std::istringstream lines(source);
    for (std::string line; std::getline(lines, line);) {
        if (line == "  S = S + I") break;
        at = static_cast<std::uint16_t>(at + line.size() + 2);
    }
    control_->setBreakpoints({at, kNoBreakpoint, kNoBreakpoint});
    for (int pass = 1; pass <= 3; ++pass) {
        control_->run();
        settle();
        EXPECT_FALSE(control_->running());
        EXPECT_EQ(control_->position(), at);
        EXPECT_EQ(control_->variable('I' - 'A'), pass);
        EXPECT_EQ(control_->variable('S' - 'A'), (pass - 1) * pass / 2);
    }
}

// A breakpoint stops the program before its line, the first statement too:
// Reset then Run stops at once on "S = 0" of loop.tn without running it,
// and the next Run goes on from there to the end.
TEST_F(BoardRun, BreakpointOnTheFirstStatementHoldsAfterAReset) {
    const std::string source = example("loop.tn");
    store(source);
    // Stored with CR LF: one more byte for each line before it.
    const std::size_t at = source.find("S = 0");
    const auto first = static_cast<std::uint16_t>(at + std::count(source.begin(), source.begin() + static_cast<long>(at), '\n'));
    control_->reset();
    ASSERT_EQ(control_->position(), first);
    control_->setBreakpoints({first, kNoBreakpoint, kNoBreakpoint});
    control_->setVariable('S' - 'A', 99);  // a run of "S = 0" would show
    control_->run();
    settle();
    EXPECT_FALSE(control_->running());
    EXPECT_FALSE(control_->ended());
    EXPECT_EQ(control_->position(), first);
    EXPECT_EQ(control_->variable('S' - 'A'), 99);
    EXPECT_EQ(takeConsole(), "");

    control_->run();
    settle();
    EXPECT_TRUE(control_->ended());
    EXPECT_EQ(control_->variable('S' - 'A'), 55);

    // After the end a Run starts over from the top: the breakpoint holds again.
    control_->run();
    settle();
    EXPECT_FALSE(control_->ended());
    EXPECT_EQ(control_->position(), first);
    // A step executes its line whatever the table says.
    control_->step();
    settle();
    EXPECT_EQ(control_->variable('S' - 'A'), 0);
    EXPECT_GT(control_->position(), first);
}

// A blocked line asks the board to sleep until it can go on, not to look
// again every millisecond: a delay for its whole length, a move for a good
// part of what is left of it.
TEST_F(BoardRun, ABlockedLineSleepsUntilItsDeadline) {
    store("delay 5000\nsvtraj(1, 151, 4000, 100000, 1000, 0)\nwaitmove(1)\nprint getpos(1)\n");
    control_->run();
    EXPECT_EQ(control_->advance(10), 5000);
    now_ += 4000;
    EXPECT_EQ(control_->advance(10), 1000) << "the rest of the delay";
    now_ += 1000;
    int wakes = 0;
    std::uint64_t moveStart = now_;
    for (int r = control_->advance(10); r > 0; r = control_->advance(10)) {
        ++wakes;
        now_ += static_cast<std::uint64_t>(r);
    }
    EXPECT_FALSE(control_->running());
    EXPECT_EQ(takeConsole(), "4000\r\n");
    EXPECT_GT(now_ - moveStart, 100u) << "the move takes time";
    EXPECT_LT(wakes, 40) << "woken " << wakes << " times for a move of " << now_ - moveStart << " ms";
}

TEST_F(BoardRun, StepWaitsOutADelayOnTheBoardsClock) {
    store("delay 300\nprint \"after\"\n");
    control_->step();
    EXPECT_GT(control_->advance(10), 0) << "blocked: the board waits";
    EXPECT_TRUE(control_->running());
    now_ += 300;
    settle();
    EXPECT_FALSE(control_->running());
    EXPECT_EQ(control_->position(), 11);  // stopped on the print line
    EXPECT_EQ(takeConsole(), "");
}

TEST_F(BoardRun, ErrorStopsTheRunOnItsLineAndAciWorksAfterwards) {
    store("A = 1\nB = A / 0\n");
    control_->run();
    settle();
    EXPECT_TRUE(control_->ended());
    EXPECT_EQ(control_->position(), 7);
    EXPECT_EQ(takeConsole(), "Error in line 2: division by zero\r\n");
    control_->executeAci("print A + getpos(1)");
    EXPECT_EQ(takeConsole(), "1\r\n");
}

}  // namespace
}  // namespace vboard::test
