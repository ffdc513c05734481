// ACI command lines: one statement executed at once while the program is
// stopped, its output and its errors on the console.
#include "FakeHost.h"

#include <gtest/gtest.h>

namespace vboard::test {
namespace {

struct AciCase {
    const char* name;
    std::vector<std::string> commands;
    std::string console;
};

void PrintTo(const AciCase& c, std::ostream* os) { *os << c.name; }

class AciCommands : public ::testing::TestWithParam<AciCase> {};

TEST_P(AciCommands, PrintWhatTheyShould) {
    TravinInterpreter interp;
    FakeHost host;
    for (const std::string& c : GetParam().commands) interp.executeAci(c, host);
    EXPECT_EQ(host.console, GetParam().console);
}

INSTANTIATE_TEST_SUITE_P(Lines, AciCommands, ::testing::Values(
    AciCase{"AssignThenPrint", {"A = 5", "print A * 2"}, "10\r\n"},
    AciCase{"FunctionAloneShowsItsValue", {"getpos(1)", "gettype(2)"}, "0\r\n3\r\n"},
    AciCase{"SubroutineRunsSilently", {"poke(10, 7)", "print peek(10)"}, "7\r\n"},
    AciCase{"EmptyAndCommentLinesDoNothing", {"", "   ", "' note"}, ""},
    AciCase{"SyntaxError", {"print (1"}, "ACI error: expected ')' but found end of line\r\n"},
    AciCase{"MisspeltName", {"getpoz(1)"}, "ACI error: unknown statement 'getpoz'\r\n"},
    AciCase{"RuntimeError", {"print 1 / 0"}, "ACI error: division by zero\r\n"},
    AciCase{"WrongArguments", {"svtraj(1)"}, "ACI error: 'svtraj' takes 6 arguments, not 1\r\n"},
    AciCase{"FlowStatementsRefused", {"goto start", "for I = 1 to 2", "end", "input A"},
            "ACI error: 'goto' cannot be an ACI command\r\n"
            "ACI error: 'for' cannot be an ACI command\r\n"
            "ACI error: 'end' cannot be an ACI command\r\n"
            "ACI error: 'input' cannot be an ACI command\r\n"},
    AciCase{"WaitmoveRefused", {"waitmove(1)"}, "ACI error: 'waitmove' cannot be an ACI command\r\n"},
    AciCase{"LabelRefused", {"top:"}, "ACI error: a label cannot be used here\r\n"},
    AciCase{"ModuleErrors", {"print getpos(6)", "iodir(2, 1, 0)"},
            "ACI error: no module at address 6\r\n"
            "ACI error: 'iodir' needs a Membo I/O module, but module 2 is a Daska stepper\r\n"}
), [](const auto& info) { return std::string(info.param.name); });

TEST(Aci, ChangesVariablesAndModulesTheProgramThenSees) {
    TravinInterpreter interp;
    FakeHost host;
    const std::string text = program({"print A, \" \", getpos(1)"});
    interp.load(text);
    interp.executeAci("A = 12", host);
    interp.executeAci("svtraj(1, 151, 300, 100000, 1000, 0)", host);
    host.now += 5000;
    EXPECT_EQ(run(interp, host).last, LineOutcome::Ended);
    EXPECT_EQ(host.console, "12 300\r\n");
}

TEST(Aci, LeavesTheProgramPositionAlone) {
    TravinInterpreter interp;
    FakeHost host;
    const std::string text = program({"A = 1", "B = 2", "C = 3"});
    interp.load(text);
    ASSERT_TRUE(interp.prepare(host));
    interp.executeLine(host);
    interp.executeAci("print 1 / 0", host);
    interp.executeAci("D = 4", host);
    EXPECT_EQ(interp.position(), lineStart(text, 1));
    EXPECT_EQ(interp.executeLine(host), LineOutcome::Executed);
    EXPECT_EQ(interp.variable(1), 2);
}

TEST(Aci, StoreReachesTheHost) {
    TravinInterpreter interp;
    FakeHost host;
    interp.executeAci("store(3, 0x1234)", host);
    EXPECT_EQ(host.stored[3], 0x1234);
    interp.executeAci("retrieve(3)", host);
    EXPECT_EQ(host.console, "4660\r\n");
}

}  // namespace
}  // namespace vboard::test
