// The board's program executor: what runs the stored Travin program.
//
// The board owns the protocol, the EEPROM image, the run/step/breakpoint
// rules and the clock; an Executor owns the meaning of program lines. The
// board calls it from its own thread only, one call at a time.
//
// Positions are byte offsets into the stored program (lines ended by CR LF),
// and a line's position is the offset of its first byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vboard {

// What an executor may ask of the board while a line executes.
class ExecutorHost {
public:
    virtual ~ExecutorHost() = default;
    // Queue bytes of program output for the workbench's console.
    virtual void consoleWrite(std::string_view bytes) = 0;
    // The oldest character received with SendCharacter, if any.
    virtual std::optional<std::uint8_t> takeCharacter() = 0;
    // The 250 stored 32-bit values of the EEPROM image (index 0..249).
    virtual std::int32_t storedValue(int index) = 0;
    virtual void setStoredValue(int index, std::int32_t value) = 0;
    // Milliseconds on the board's clock (monotonic).
    virtual std::uint64_t nowMs() = 0;
};

enum class LineOutcome {
    Executed,     // the line ran; position() is the next line to execute
    Blocked,      // the line is waiting (delay, waitmove); call again later, position unchanged
    NeedsInput,   // the line waits for an answer: see inputPrompt()/provideInput()
    Ended,        // the program ended; position() is the line that ended it
    Failed,       // an error was written to the console; position() is the offending line
};

class Executor {
public:
    virtual ~Executor() = default;

    // Take a new program (the bytes up to the first zero of the program area).
    // Keeps the variables; sets the position to 0.
    virtual void load(std::string_view program) = 0;
    // Halt, position 0, every variable 0, pending input dropped.
    virtual void reset() = 0;
    // Called when Run or Step starts a program from its current position;
    // a checking executor reports program errors here (returns false with
    // the error on the console and the position on the offending line).
    virtual bool prepare(ExecutorHost& host) = 0;

    // Start position of the next line to execute. Blank and comment lines
    // are passed over, so this is always a statement line (or the end).
    virtual std::uint16_t position() const = 0;
    virtual void setPosition(std::uint16_t position) = 0;
    // True when position() is past the last statement line.
    virtual bool atEnd() const = 0;

    virtual std::int32_t variable(int index) const = 0;   // 0 = A .. 25 = Z
    virtual void setVariable(int index, std::int32_t value) = 0;

    // Execute the line at position() (or continue a Blocked one).
    virtual LineOutcome executeLine(ExecutorHost& host) = 0;

    // While the last outcome was NeedsInput: the prompt, and the answer
    // (decimal text from the workbench) that completes the line.
    virtual std::string inputPrompt() const = 0;
    virtual void provideInput(std::string_view answer) = 0;

    // While the last outcome was Blocked: the board time before which the
    // line surely stays blocked, so the board sleeps until then (a command
    // wakes it sooner); 0 when unknown, and the board asks again soon.
    virtual std::uint64_t blockedUntilMs() const { return 0; }

    // Abandon a Blocked or NeedsInput line (Stop): the line runs again from
    // its start on the next Run or Step.
    virtual void abandonLine() = 0;

    // One ACI command line, executed at once while the program is stopped.
    virtual void executeAci(std::string_view line, ExecutorHost& host) = 0;
};

}  // namespace vboard
