// The example programs shipped in examples/: each one is a valid board
// program (lines of at most 80 characters, CR LF ends) that runs to its end
// on the default rig with the output it promises.
#include "FakeHost.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace vboard::test {
namespace {

struct ExampleCase {
    const char* file;
    std::deque<std::string> answers;
    std::vector<std::string> fragments;  // must appear in this order
    std::uint64_t minMs;                 // the run must take at least this long on the board's clock
};

void PrintTo(const ExampleCase& c, std::ostream* os) { *os << c.file; }

std::string readExample(const char* file) {
    std::ifstream in(std::string(TRAVIN_EXAMPLES_DIR) + "/" + file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Examples : public ::testing::TestWithParam<ExampleCase> {};

TEST_P(Examples, RunToTheirEnd) {
    const ExampleCase& c = GetParam();
    const std::string text = readExample(c.file);
    ASSERT_FALSE(text.empty()) << c.file;

    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
        const std::string line = text.substr(start, end - start);
        EXPECT_LE(line.size(), kMaxLineLength) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos);
        start = end + 2;
    }

    TravinInterpreter interp;
    FakeHost host;
    interp.load(text);
    const std::uint64_t begin = host.now;
    const RunResult r = run(interp, host, c.answers);
    EXPECT_EQ(r.last, LineOutcome::Ended) << host.console;
    EXPECT_EQ(host.console.find("Error"), std::string::npos) << host.console;
    EXPECT_GE(host.now - begin, c.minMs);
    std::size_t at = 0;
    for (const std::string& f : c.fragments) {
        const std::size_t found = host.console.find(f, at);
        ASSERT_NE(found, std::string::npos) << "missing '" << f << "' in:\n" << host.console;
        at = found + f.size();
    }
}

INSTANTIATE_TEST_SUITE_P(Files, Examples, ::testing::Values(
    ExampleCase{"hello.tn", {"30"}, {"Hello from Travin!\r\n", "In ten years you will be 40.\r\n"}, 0},
    ExampleCase{"loop.tn", {}, {"I = 1  sum = 1\r\n", "I = 4  sum = 10\r\n", "I = 10  sum = 55\r\n",
                                "The sum of 1 to 10 is 55\r\n"}, 0},
    ExampleCase{"servo_move.tn", {}, {"Moving to 4000.", ". at 4000\r\n", "Back at 0\r\n"}, 5000},
    ExampleCase{"stepper_jog.tn", {}, {"Jogged forward to ", "Back at 0\r\n"}, 1000},
    ExampleCase{"io_toggle.tn", {}, {"Inputs: 0  analog 1: 64\r\n"}, 2000},
    ExampleCase{"homing.tn", {}, {"Home at 2000, stopped at 200", "Status byte: 9\r\n"}, 2000},
    // Twelve moves of about 1.5 s, each ending in a line at rest on its goal.
    ExampleCase{"plot.tn", {}, {"pos:0 vel:", " vel:3052\r\n", " vel:-3052\r\n", "pos:4000 vel:0\r\n", "pos:0 vel:0\r\n",
                                "pos:4000 vel:0\r\n", "Done\r\n"}, 15000}
), [](const auto& info) {
    std::string n = info.param.file;
    return n.substr(0, n.find('.'));
});

TEST(Examples, HelloAnswersANegativeAge) {
    TravinInterpreter interp;
    FakeHost host;
    interp.load(readExample("hello.tn"));
    EXPECT_EQ(run(interp, host, {"-3"}).last, LineOutcome::Ended);
    EXPECT_EQ(host.console, "Hello from Travin!\r\nNobody is -3 years old.\r\n");
}

}  // namespace
}  // namespace vboard::test
