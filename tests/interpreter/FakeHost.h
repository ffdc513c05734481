// A board stand-in for driving the interpreter directly: console capture,
// characters waiting to be read, the stored values, and a clock that moves
// only when a test moves it.
#pragma once

#include "board/interpreter/TravinInterpreter.h"

#include <array>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

namespace vboard::test {

class FakeHost : public ExecutorHost {
public:
    std::string console;
    std::deque<std::uint8_t> characters;
    std::array<std::int32_t, 250> stored{};
    std::uint64_t now = 1000;

    void consoleWrite(std::string_view bytes) override { console += bytes; }
    std::optional<std::uint8_t> takeCharacter() override {
        if (characters.empty()) return std::nullopt;
        const std::uint8_t c = characters.front();
        characters.pop_front();
        return c;
    }
    std::int32_t storedValue(int index) override { return stored.at(static_cast<std::size_t>(index)); }
    void setStoredValue(int index, std::int32_t value) override {
        stored.at(static_cast<std::size_t>(index)) = value;
    }
    std::uint64_t nowMs() override { return now; }
};

// Lines joined as the board stores them, each ended by CR LF.
inline std::string program(std::initializer_list<std::string_view> lines) {
    std::string out;
    for (std::string_view l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

// The byte offset at which line `index` (0-based) of a program starts.
inline std::uint16_t lineStart(const std::string& text, int index) {
    std::size_t pos = 0;
    for (int i = 0; i < index; ++i) pos = text.find("\r\n", pos) + 2;
    return static_cast<std::uint16_t>(pos);
}

// Runs as the board does on Run: prepare, then lines until the program ends,
// fails, or asks for input with no answer left. A blocked line waits
// `tickMs` on the fake clock before it is tried again. Gives up after
// maxLines calls so that a fault cannot hang the test.
struct RunResult {
    LineOutcome last = LineOutcome::Executed;
    bool prepared = false;
    int calls = 0;
};

inline RunResult run(TravinInterpreter& interp, FakeHost& host, std::deque<std::string> answers = {},
                     std::uint64_t tickMs = 10, int maxLines = 200000) {
    RunResult r;
    r.prepared = interp.prepare(host);
    if (!r.prepared) {
        r.last = LineOutcome::Failed;
        return r;
    }
    while (r.calls < maxLines) {
        ++r.calls;
        r.last = interp.executeLine(host);
        if (r.last == LineOutcome::Blocked) {
            host.now += tickMs;
        } else if (r.last == LineOutcome::NeedsInput) {
            if (answers.empty()) return r;
            interp.provideInput(answers.front());
            answers.pop_front();
        } else if (r.last != LineOutcome::Executed) {
            return r;
        }
    }
    return r;
}

}  // namespace vboard::test
