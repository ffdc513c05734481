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

// A constant argument that a built-in refuses is a warning at the argument:
// the board takes the line, and stops there with the same words when it
// runs it. Computed arguments and arguments in range are not warned about.
TEST(Diagnostics, ConstantArgumentsOutOfRangeAreWarnedAboutInTheBoardsWords) {
    struct Row {
        const char* line;
        std::vector<Diagnostic> expected;
    };
    const std::vector<Row> rows = {
        {"A = peek(5000)", {{1, 10, "address 5000 is not 0 to 4095", true}}},
        {"print getpos(9)", {{1, 14, "module address 9 is not 1 to 8", true}}},
        {"poke(4095, 300)", {{1, 12, "data 300 is not 0 to 255", true}}},
        {"if retrieve(-(1)) = 0 then", {{1, 13, "EEPROM address -1 is not 0 to 249", true}}},
        {"B = 1 + testbit(7, (33))", {{1, 20, "bit 33 is not 1 to 32", true}}},
        {"A = peek(peek(9999))", {{1, 15, "address 9999 is not 0 to 4095", true}}},
        {"A = peek(4095) + peek(0) + peek(A * 5000)", {}},
        {"store(249, -2147483648)", {}},
    };
    for (const Row& r : rows) {
        const std::string text = lines({r.line, "endif"});
        const bool opensIf = std::string_view(r.line).substr(0, 3) == "if ";
        const std::string program = opensIf ? text : lines({r.line});
        EXPECT_EQ(checkProgram(program), r.expected) << r.line;
        vboard::TravinInterpreter interp;
        ConsoleHost host;
        interp.load(program);
        ASSERT_TRUE(interp.prepare(host)) << r.line << ": " << host.console;
        for (int i = 0; i < 4 && !interp.atEnd() && host.console.find("Error") == std::string::npos; ++i)
            interp.executeLine(host);
        if (r.expected.empty())
            EXPECT_EQ(host.console.find("Error"), std::string::npos) << r.line << ": " << host.console;
        else
            EXPECT_EQ(host.console, "Error in line 1: " + r.expected.front().message + "\r\n") << r.line;
    }
    // Among errors, in line order; only the errors stop the board at once.
    const std::string mixed = lines({"A = peek(5000)", "goto away", "poke(0, 256)"});
    EXPECT_EQ(checkProgram(mixed), (std::vector<Diagnostic>{{1, 10, "address 5000 is not 0 to 4095", true},
                                                            {2, 6, "unknown label 'away'"},
                                                            {3, 9, "data 256 is not 0 to 255", true}}));
    EXPECT_EQ(parseProgram(mixed).diagnostics, (std::vector<Diagnostic>{{2, 6, "unknown label 'away'"}}));
}

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
