// Run control with a scripted executor: the rules for lines that block, ask
// for input, fail, or fill the console buffer, which the interim executor
// never does.
#include "BoardFixture.h"

#include "board/RunControl.h"

namespace boardtest {
namespace {

// Statement lines at positions 0, 10, 20, ...; each line's script letter:
// 'e' executes, 'b' blocks twice then executes, 'i' asks for input, 'f' fails,
// 'x' ends the program, 'p' prints 5000 bytes.
class ScriptedExecutor : public vboard::Executor {
public:
    explicit ScriptedExecutor(std::string script) : script_(std::move(script)) {}
    void load(std::string_view) override { line_ = 0; }
    void reset() override { line_ = 0; vars_ = {}; }
    bool prepare(vboard::ExecutorHost&) override { ++prepares; return prepareOk; }
    std::uint16_t position() const override { return static_cast<std::uint16_t>(10 * line_); }
    void setPosition(std::uint16_t p) override { line_ = (p + 9) / 10; }
    bool atEnd() const override { return line_ >= script_.size(); }
    std::int32_t variable(int i) const override { return vars_[static_cast<std::size_t>(i)]; }
    void setVariable(int i, std::int32_t v) override { vars_[static_cast<std::size_t>(i)] = v; }
    vboard::LineOutcome executeLine(vboard::ExecutorHost& host) override {
        using O = vboard::LineOutcome;
        calls.push_back(position());
        switch (script_[line_]) {
        case 'b':
            if (++blocked_ <= 2) return O::Blocked;
            blocked_ = 0;
            break;
        case 'i': return O::NeedsInput;
        case 'f': return O::Failed;
        case 'x': return O::Ended;
        case 'p': host.consoleWrite(std::string(5000, '.')); break;
        default: break;
        }
        if (line_ + 1 >= script_.size()) return O::Ended;
        ++line_;
        return O::Executed;
    }
    std::string inputPrompt() const override { return "Value?"; }
    void provideInput(std::string_view a) override {
        answers.emplace_back(a);
        if (line_ + 1 < script_.size()) ++line_;
    }
    void abandonLine() override { ++abandons; blocked_ = 0; }
    void executeAci(std::string_view, vboard::ExecutorHost&) override {}

    std::vector<unsigned> calls;
    std::vector<std::string> answers;
    int prepares = 0, abandons = 0;
    bool prepareOk = true;

private:
    std::string script_;
    std::size_t line_ = 0;
    int blocked_ = 0;
    std::array<std::int32_t, 26> vars_{};
};

class RunControlTest : public ::testing::Test {
protected:
    void make(const std::string& script) {
        auto e = std::make_unique<ScriptedExecutor>(script);
        exec_ = e.get();
        run_ = std::make_unique<vboard::RunControl>(image_, [] { return std::uint64_t{0}; }, std::move(e));
    }
    // Advances until the program stops or waits.
    void settle() {
        for (int i = 0; i < 100 && run_->advance(10) >= 0; ++i) {}
    }
    TempDir dir_;
    vboard::EepromImage image_{dir_.file("e")};
    ScriptedExecutor* exec_ = nullptr;
    std::unique_ptr<vboard::RunControl> run_;
};

TEST_F(RunControlTest, ABlockedLineIsContinuedWithoutABreakpointCheck) {
    make("ebe");
    run_->setBreakpoints({10, 0xFFFF, 0xFFFF});
    run_->run();
    run_->advance(10);
    EXPECT_FALSE(run_->running());  // stopped before line 10
    run_->run();
    EXPECT_EQ(run_->advance(10), 1);  // blocked: call again in a moment
    EXPECT_TRUE(run_->running());
    settle();
    EXPECT_EQ(exec_->calls, (std::vector<unsigned>{0, 10, 10, 10, 20}));
    EXPECT_EQ(run_->position(), 20u);
    EXPECT_TRUE(run_->ended());
}

TEST_F(RunControlTest, StopAbandonsABlockedLineAndTheNextRunStartsItAgain) {
    make("be");
    run_->run();
    run_->advance(10);
    run_->stop();
    EXPECT_EQ(exec_->abandons, 1);
    EXPECT_EQ(run_->position(), 0u);
    run_->run();
    settle();
    EXPECT_EQ(exec_->prepares, 2);
    EXPECT_EQ(exec_->calls, (std::vector<unsigned>{0, 0, 0, 0, 10}));
}

TEST_F(RunControlTest, AnInputLineWaitsAndTheAnswerCompletesIt) {
    make("eie");
    run_->run();
    settle();
    EXPECT_TRUE(run_->running());
    EXPECT_TRUE(run_->waitingInput());
    EXPECT_EQ(run_->statusBits(), 0x30);
    EXPECT_EQ(run_->inputPrompt(), "Value?");
    EXPECT_EQ(run_->advance(10), -1);  // nothing runs while it waits
    run_->provideInput("12");
    EXPECT_FALSE(run_->waitingInput());
    settle();
    EXPECT_EQ(exec_->answers, (std::vector<std::string>{"12"}));
    EXPECT_EQ(exec_->calls, (std::vector<unsigned>{0, 10, 20}));  // line 10 not executed again
    EXPECT_FALSE(run_->running());
}

TEST_F(RunControlTest, AStepOnAnInputLineEndsWithTheAnswer) {
    make("iee");
    run_->step();
    settle();
    EXPECT_TRUE(run_->waitingInput());
    run_->provideInput("1");
    EXPECT_FALSE(run_->running());
    EXPECT_EQ(run_->position(), 10u);
    run_->provideInput("ignored");  // not waiting any more
    EXPECT_EQ(exec_->answers.size(), 1u);
}

TEST_F(RunControlTest, StopWhileWaitingForInputClearsTheWaitAndKeepsTheLine) {
    make("ie");
    run_->run();
    settle();
    run_->stop();
    EXPECT_EQ(run_->statusBits(), 0x00);
    EXPECT_EQ(exec_->abandons, 1);
    EXPECT_EQ(run_->position(), 0u);
    EXPECT_EQ(run_->inputPrompt(), "");
}

TEST_F(RunControlTest, AFailedPrepareStopsBeforeAnyLine) {
    make("ee");
    exec_->prepareOk = false;
    run_->run();
    EXPECT_TRUE(run_->running());  // the reply still says running
    settle();
    EXPECT_FALSE(run_->running());
    EXPECT_TRUE(exec_->calls.empty());
}

TEST_F(RunControlTest, AFailedLineEndsTheRunOnThatLineAndTheNextRunStartsOver) {
    make("efe");
    run_->run();
    settle();
    EXPECT_FALSE(run_->running());
    EXPECT_EQ(run_->position(), 10u);
    run_->run();
    settle();
    EXPECT_EQ(exec_->calls, (std::vector<unsigned>{0, 10, 0, 10}));
}

TEST_F(RunControlTest, AFullConsoleBufferHoldsTheProgram) {
    make("pppe");
    run_->run();
    EXPECT_GT(run_->advance(10), 0);
    EXPECT_EQ(exec_->calls.size(), 1u);
    EXPECT_GT(run_->advance(10), 0);
    EXPECT_EQ(exec_->calls.size(), 1u);  // held until the board has sent it
    run_->console().clear();
    run_->advance(1);
    EXPECT_EQ(exec_->calls.size(), 2u);
}

TEST_F(RunControlTest, ABreakpointOnTheFirstLineHoldsForARunFromTheStartOnly) {
    make("eee");
    run_->setBreakpoints({0, 0xFFFF, 0xFFFF});
    run_->reset();
    run_->run();
    settle();
    EXPECT_FALSE(run_->running());
    EXPECT_TRUE(exec_->calls.empty()) << "stopped before the first line";
    run_->run();  // resumes: goes on past the breakpoint it stopped at
    settle();
    EXPECT_TRUE(run_->ended());
    EXPECT_EQ(exec_->calls, (std::vector<unsigned>{0, 10, 20}));
    run_->run();  // after the end it starts over, and the breakpoint holds
    settle();
    EXPECT_EQ(exec_->calls.size(), 3u);
    run_->step();  // a step executes its line
    settle();
    EXPECT_EQ(exec_->calls.size(), 4u);
    run_->stop();
}

TEST_F(RunControlTest, ARunResumingAfterAStopPassesOverTheBreakpointOfItsLine) {
    make("bee");
    run_->setBreakpoints({0, 0xFFFF, 0xFFFF});
    run_->step();  // the blocked first line, then stopped inside it
    run_->advance(10);
    run_->stop();
    run_->run();
    settle();
    EXPECT_TRUE(run_->ended());
}

TEST_F(RunControlTest, RunWhileRunningChangesNothing) {
    make("bee");
    run_->run();
    run_->advance(10);
    run_->run();
    run_->step();
    EXPECT_EQ(exec_->prepares, 1);
    settle();
    EXPECT_EQ(exec_->calls.back(), 20u);  // the step did not turn the run into a step
}

}  // namespace
}  // namespace boardtest
