// travin-cli check reports the table's problems in the compiler form, the
// same the library and the board's interpreter give; download warns with
// them and goes on to the board.
#include "DiagnosticsCases.h"
#include "tests/support/CliProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace travin::lang::test {
namespace {

namespace fs = std::filesystem;
using clitest::CliProcess;
using clitest::Outcome;

class CheckFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("travin-check-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string write(const std::string& name, const std::string& bytes) {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
    static Outcome run(const std::vector<std::string>& args) { return CliProcess(args).finish(); }

    fs::path dir;
};

class CheckTable : public CheckFiles, public ::testing::WithParamInterface<DiagnosticsCase> {};

TEST_P(CheckTable, SameProblemsInTheCompilerForm) {
    const DiagnosticsCase& c = GetParam();
    const std::string file = write("prog.tn", c.text);
    const Outcome o = run({"check", file});
    std::string expected;
    for (const Diagnostic& d : c.expected)
        expected += file + ":" + std::to_string(d.line) + ":" + std::to_string(d.column) + ": error: " + d.message + "\n";
    EXPECT_EQ(o.out, expected);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(o.exitCode, c.expected.empty() ? 0 : 3);
}

INSTANTIATE_TEST_SUITE_P(Programs, CheckTable, ::testing::ValuesIn(diagnosticsCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CheckFiles, SeveralFilesInOrderAndTheWorstExitCode) {
    const std::string clean = write("clean.tn", lines({"print 1"}));
    const std::string broken = write("broken.tn", lines({"print 1", "goto away"}));
    const Outcome o = run({"check", clean, broken, clean});
    EXPECT_EQ(o.out, broken + ":2:6: error: unknown label 'away'\n");
    EXPECT_EQ(o.exitCode, 3);
    EXPECT_EQ(run({"check", clean, clean}).exitCode, 0);
}

// A warning is reported, but the board takes the program: no refusal.
TEST_F(CheckFiles, AConstantArgumentOutOfRangeIsAWarningThatRefusesNothing) {
    const std::string file = write("range.tn", lines({"print 1", "A = peek(5000)"}));
    Outcome o = run({"check", file});
    EXPECT_EQ(o.out, file + ":2:10: warning: address 5000 is not 0 to 4095\n");
    EXPECT_EQ(o.exitCode, 0);
    o = run({"--json", "check", file});
    EXPECT_EQ(o.out, "[\n  {\"file\": \"" + file +
                         "\", \"line\": 2, \"column\": 10, \"severity\": \"warning\", \"message\": \"address 5000 "
                         "is not 0 to 4095\"}\n]\n");
    EXPECT_EQ(o.exitCode, 0);
}

// The file's name is the system's text: a UTF-8 name reads as written.
TEST_F(CheckFiles, JsonNamesAUtf8FileAsItsCharacters) {
    const std::string file = write("\xc3\x9c" "bung.tn", lines({"goto away"}));
    const Outcome o = run({"--json", "check", file});
    EXPECT_NE(o.out.find("\"file\": \"" + dir.string() + "/\\u00dcbung.tn\""), std::string::npos) << o.out;
}

TEST_F(CheckFiles, JsonIsAListOfTheSameProblems) {
    const std::string broken = write("broken.tn", lines({"A = \"x", "goto away"}));
    const Outcome o = run({"--json", "check", broken});
    EXPECT_EQ(o.out, "[\n  {\"file\": \"" + broken +
                         "\", \"line\": 1, \"column\": 5, \"severity\": \"error\", \"message\": \"text without closing \\\"\"},\n"
                         "  {\"file\": \"" + broken +
                         "\", \"line\": 2, \"column\": 6, \"severity\": \"error\", \"message\": \"unknown label 'away'\"}\n]\n");
    EXPECT_EQ(o.exitCode, 3);
    const Outcome clean = run({"check", "--json", write("clean.tn", "print 1\n")});
    EXPECT_EQ(clean.out, "[]\n");
    EXPECT_EQ(clean.exitCode, 0);
}

// A message that quotes the program's bytes: its euro sign comes out as
// that character, not as a C1 control.
TEST_F(CheckFiles, JsonQuotesTheProgramInTheWorkbenchCharacters) {
    const std::string broken = write("euro.tn", lines({"print 1", "goto w\x80x"}));
    const Outcome o = run({"--json", "check", broken});
    EXPECT_EQ(o.out, "[\n  {\"file\": \"" + broken +
                         "\", \"line\": 2, \"column\": 7, \"severity\": \"error\", "
                         "\"message\": \"unexpected character '\\u20ac'\"}\n]\n");
    EXPECT_EQ(o.exitCode, 3);
}

TEST_F(CheckFiles, AFileThatCannotBeReadIsAUsageError) {
    const Outcome o = run({"check", (dir / "missing.tn").string()});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("cannot read"), std::string::npos);
    EXPECT_EQ(run({"check"}).exitCode, 1);
}

TEST_F(CheckFiles, DownloadWarnsAndGoesOnToTheBoard) {
    const std::string broken = write("broken.tn", lines({"print 1", "frobnicate 3"}));
    // No board on this port: the download gets as far as asking for it.
    const Outcome o = run({"--port", (dir / "no-such-device").string(), "download", broken});
    EXPECT_NE(o.err.find(broken + ":2:1: warning: unknown statement 'frobnicate'\n"), std::string::npos) << o.err;
    EXPECT_EQ(o.exitCode, 2) << "the problem did not stop the download before the board";
}

}  // namespace
}  // namespace travin::lang::test
