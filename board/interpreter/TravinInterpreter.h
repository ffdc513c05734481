// The Travin interpreter: runs the stored program line by line for the board.
//
//   TravinInterpreter(rig)   an interpreter over a simulated module network
//   modules()                the network, for the rig's values (inputs, A/D,
//                            timers, link errors) and for tests
//   the Executor interface   load, reset, prepare, position, executeLine, ACI
//
// Contract details beyond the Executor interface:
// - Statement lines are the lines that hold a statement; blank lines,
//   comment lines and label lines ("name:") are passed over, so position()
//   never rests on them (a breakpoint there is never reached).
// - prepare() reports the program's first problem as one console line
//   "Error in line N: <problem>\r\n" (N counts from 1) and leaves the
//   position on that line. Runtime errors look the same. ACI errors read
//   "ACI error: <problem>\r\n".
// - After the program ended (end, or its last line ran), position() stays on
//   that line and atEnd() is true; the next prepare() starts again from the
//   first statement with the gosub and loop state cleared.
// - setPosition() moves to the statement line at or after the position and
//   clears the gosub and loop state (a fresh start from there).
// - provideInput() completes the input line: the variable takes the answer
//   and position() moves to the next statement.
// - reset() also stops every motor at once, as a program reset does on the
//   board; modules keep their positions.
#pragma once

#include "board/Executor.h"
#include "board/interpreter/Modules.h"
#include "lang/Program.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vboard {

// The language is the workbench's shared library; the board runs what it parses.
using travin::lang::Builtin;
using travin::lang::BuiltinTarget;
using travin::lang::Expr;
using travin::lang::kMaxLineLength;
using travin::lang::Line;
using travin::lang::ParsedLine;
using travin::lang::PrintItem;
using travin::lang::Program;
using travin::lang::Stmt;

class TravinInterpreter : public Executor {
public:
    explicit TravinInterpreter(const Rig& rig = defaultRig());

    ModuleNetwork& modules() { return modules_; }
    const ModuleNetwork& modules() const { return modules_; }

    void load(std::string_view program) override;
    void reset() override;
    bool prepare(ExecutorHost& host) override;
    std::uint16_t position() const override;
    void setPosition(std::uint16_t position) override;
    bool atEnd() const override;
    std::int32_t variable(int index) const override;
    void setVariable(int index, std::int32_t value) override;
    LineOutcome executeLine(ExecutorHost& host) override;
    std::string inputPrompt() const override;
    void provideInput(std::string_view answer) override;
    void abandonLine() override;
    std::uint64_t blockedUntilMs() const override;
    void executeAci(std::string_view line, ExecutorHost& host) override;

    // The deepest gosub nesting a program may reach.
    static constexpr std::size_t kMaxGosubDepth = 64;

private:
    enum class Flow { Next, Jump, Block, Input, End };
    struct Result {
        Flow flow = Flow::Next;
        std::size_t target = 0;
    };
    enum class Pending { None, Delay, WaitMove, Input };

    std::size_t firstStatementFrom(std::size_t index) const;
    void clearRunState();
    Result execute(const Stmt& s, std::size_t line, ExecutorHost& host);
    std::int32_t evaluate(const Expr& e, ExecutorHost& host);
    // A built-in call; for waitmove, *stillMoving tells whether to wait.
    std::int32_t callBuiltin(const Expr& call, ExecutorHost& host, bool* stillMoving = nullptr);
    Module& module(const Builtin& b, std::int32_t address, std::uint64_t nowMs);
    void print(const Stmt& s, ExecutorHost& host);
    void fail(ExecutorHost& host, std::size_t line, const std::string& message);

    ModuleNetwork modules_;
    Program program_;
    std::array<std::int32_t, 26> vars_{};
    std::size_t pos_ = 0;          // index into program_.lines; lines.size() is the end
    bool ended_ = false;
    std::vector<std::size_t> gosubStack_;
    struct ForState {
        std::int32_t limit;
        std::int32_t step;
    };
    std::map<std::size_t, ForState> forStates_;  // by the for line
    Pending pending_ = Pending::None;
    std::uint64_t deadline_ = 0;  // a delay's end; for waitmove, the earliest end of the move
    std::string prompt_;
    int inputVar_ = 0;
    std::uint64_t lastNowMs_ = 0;
};

}  // namespace vboard
