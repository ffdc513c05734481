// Programs and the problems the language library finds in them, each with
// its line and column; the board's interpreter refuses each program with the
// first of them, in its own words, and runs every example without one.
#include "board/interpreter/TravinInterpreter.h"
#include "lang/Program.h"
#include "DiagnosticsCases.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace travin::lang::test {
namespace {

class Diagnostics : public ::testing::TestWithParam<DiagnosticsCase> {};

TEST_P(Diagnostics, EveryProblemAtItsLineAndColumn) {
    const DiagnosticsCase& c = GetParam();
    EXPECT_EQ(checkProgram(c.text), c.expected);
}

// The board's host, reduced to what prepare() uses.
class ConsoleHost : public vboard::ExecutorHost {
public:
    std::string console;
    void consoleWrite(std::string_view bytes) override { console += bytes; }
    std::optional<std::uint8_t> takeCharacter() override { return std::nullopt; }
    std::int32_t storedValue(int) override { return 0; }
    void setStoredValue(int, std::int32_t) override {}
    std::uint64_t nowMs() override { return 0; }
};

TEST_P(Diagnostics, TheBoardRefusesWithTheFirst) {
    const DiagnosticsCase& c = GetParam();
    vboard::TravinInterpreter interp;
    ConsoleHost host;
    interp.load(c.text);
    const bool started = interp.prepare(host);
    if (c.expected.empty()) {
        EXPECT_TRUE(started);
        EXPECT_EQ(host.console, "");
    } else {
        EXPECT_FALSE(started);
        EXPECT_EQ(host.console, "Error in line " + std::to_string(c.expected.front().line) + ": " +
                                    c.expected.front().message + "\r\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, Diagnostics, ::testing::ValuesIn(diagnosticsCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Diagnostics, TheExamplesHaveNone) {
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TRAVIN_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".tn") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        EXPECT_EQ(checkProgram(bytes.str()), std::vector<Diagnostic>{}) << entry.path();
        ++seen;
    }
    EXPECT_GE(seen, 5);
}

}  // namespace
}  // namespace travin::lang::test
