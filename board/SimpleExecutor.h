// The interim executor: one line per step, in order, with no effect except
// that a line `print "text"` writes the text and CR LF to the console.
//
// Blank lines and lines whose first non-blank character is ' are passed
// over (they are never a position()). Variables are only stored; input,
// ACI and stored values are not used. Running off the last statement line
// ends the program on that line: its executeLine() returns Ended with
// position() still on it.
#pragma once

#include "board/Executor.h"

#include <array>
#include <vector>

namespace vboard {

class SimpleExecutor : public Executor {
public:
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
    void executeAci(std::string_view line, ExecutorHost& host) override;

private:
    struct Line {
        std::uint16_t start;
        std::string text;
    };
    std::vector<Line> statements_;   // statement lines only, in order
    std::size_t next_ = 0;           // index into statements_
    std::uint16_t endPosition_ = 0;  // offset just past the program
    std::array<std::int32_t, 26> variables_{};
};

}  // namespace vboard
