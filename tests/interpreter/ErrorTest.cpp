// Every way a program can be refused or stopped: the one console line that
// names the problem and the line, and the position left on that line.
#include "FakeHost.h"

#include <gtest/gtest.h>

namespace vboard::test {
namespace {

struct ErrorCase {
    const char* name;
    std::string text;
    int line;              // 0-based line the position must be left on
    std::string message;   // the whole console line
    bool atPrepare = true; // found when the program starts, before any line runs
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.name; }

class ProgramErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ProgramErrors, NameTheProblemAndStayOnTheLine) {
    const ErrorCase& c = GetParam();
    TravinInterpreter interp;
    FakeHost host;
    interp.load(c.text);
    const RunResult r = run(interp, host);
    EXPECT_EQ(r.last, LineOutcome::Failed);
    EXPECT_EQ(r.prepared, !c.atPrepare);
    EXPECT_EQ(host.console, c.message);
    EXPECT_EQ(interp.position(), lineStart(c.text, c.line));
    // Nothing before the error printed at check time: the program did not run.
    if (c.atPrepare) {
        EXPECT_EQ(host.console.find("ran"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Checked, ProgramErrors, ::testing::Values(
    ErrorCase{"UnknownStatement", program({"print \"ran\"", "", "frobnicate 3"}), 2,
              "Error in line 3: unknown statement 'frobnicate'\r\n"},
    ErrorCase{"UnknownLabel", program({"print \"ran\"", "goto loop"}), 1,
              "Error in line 2: unknown label 'loop'\r\n"},
    ErrorCase{"NextWithoutFor", program({"print \"ran\"", "A = 1", "next"}), 2,
              "Error in line 3: 'next' without 'for'\r\n"},
    ErrorCase{"ForWithoutNext", program({"for I = 1 to 3", "print \"ran\""}), 0,
              "Error in line 1: 'for' without 'next'\r\n"},
    ErrorCase{"WendWithoutWhile", program({"wend"}), 0, "Error in line 1: 'wend' without 'while'\r\n"},
    ErrorCase{"CrossedBlocks", program({"while 1", "for I = 1 to 2", "wend", "next"}), 2,
              "Error in line 3: 'wend' without 'while'\r\n"},
    ErrorCase{"NextOfOtherVariable", program({"for I = 1 to 2", "next J"}), 1,
              "Error in line 2: 'next J' does not match 'for I'\r\n"},
    ErrorCase{"ElseWithoutIf", program({"else"}), 0, "Error in line 1: 'else' without 'if'\r\n"},
    ErrorCase{"IfWithoutEndif", program({"if 1 then", "print \"ran\""}), 0,
              "Error in line 1: 'if' without 'endif'\r\n"},
    ErrorCase{"TooFewArguments", program({"print \"ran\"", "svtraj(1, 151, 0, 100000, 1000)"}), 1,
              "Error in line 2: 'svtraj' takes 6 arguments, not 5\r\n"},
    ErrorCase{"TooManyArguments", program({"A = getpos(1, 2)"}), 0,
              "Error in line 1: 'getpos' takes 1 argument, not 2\r\n"},
    ErrorCase{"ArgumentsNeedParentheses", program({"store 0, 5"}), 0,
              "Error in line 1: 'store' needs its arguments in parentheses\r\n"},
    ErrorCase{"SubroutineHasNoValue", program({"A = svcbits(1)"}), 0,
              "Error in line 1: 'svcbits' is a subroutine and gives no value\r\n"},
    ErrorCase{"UnknownName", program({"A = speed + 1"}), 0, "Error in line 1: unknown name 'speed'\r\n"},
    ErrorCase{"MissingThen", program({"if A = 1", "endif"}), 0,
              "Error in line 1: expected 'then' but found end of line\r\n"},
    ErrorCase{"UnclosedText", program({"print \"abc"}), 0, "Error in line 1: text without closing \"\r\n"},
    ErrorCase{"NumberTooLarge", program({"A = 2147483649"}), 0,
              "Error in line 1: number too large: 2147483649\r\n"},
    ErrorCase{"TrailingGarbage", program({"A = 1 2"}), 0, "Error in line 1: unexpected '2'\r\n"},
    ErrorCase{"DuplicateLabel", program({"here:", "print 1", "here:"}), 2,
              "Error in line 3: label 'here' defined twice\r\n"},
    ErrorCase{"LineTooLong", program({"print 1", "print \"" + std::string(80, 'x') + "\""}), 1,
              "Error in line 2: line longer than 80 characters\r\n"},
    ErrorCase{"StatementAfterThen", program({"if A then print 1", "endif"}), 0,
              "Error in line 1: 'then' ends its line: put the statements on the lines after it\r\n"},
    ErrorCase{"EndIfInTwoWords", program({"if A then", "end if"}), 1,
              "Error in line 2: 'endif' is written as one word\r\n"},
    ErrorCase{"LabelWithStatement", program({"top: print 1"}), 0,
              "Error in line 1: a label stands alone on its line\r\n"},
    ErrorCase{"FirstProblemByLineWins", program({"print 1", "goto nowhere", "bogus"}), 1,
              "Error in line 2: unknown label 'nowhere'\r\n"}
), [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Runtime, ProgramErrors, ::testing::Values(
    ErrorCase{"DivisionByZero", program({"print \"ran\"", "B = 0", "A = 5 / B"}), 2,
              "ran\r\nError in line 3: division by zero\r\n", false},
    ErrorCase{"ModByZero", program({"A = 5 mod 0"}), 0, "Error in line 1: division by zero\r\n", false},
    ErrorCase{"NoModuleAtAddress", program({"A = getpos(4)"}), 0, "Error in line 1: no module at address 4\r\n",
              false},
    ErrorCase{"AddressOutOfRange", program({"A = getstat(9)"}), 0,
              "Error in line 1: module address 9 is not 1 to 8\r\n", false},
    ErrorCase{"WrongModuleType", program({"svtraj(2, 151, 0, 100000, 1000, 0)"}), 0,
              "Error in line 1: 'svtraj' needs an Orlen servo, but module 2 is a Daska stepper\r\n", false},
    ErrorCase{"MotorCallOnIoModule", program({"A = getpos(3)"}), 0,
              "Error in line 1: 'getpos' needs an Orlen servo or a Daska stepper, but module 3 is a Membo I/O module\r\n",
              false},
    ErrorCase{"IoCallOnServo", program({"iooutput(1, 1, 1)"}), 0,
              "Error in line 1: 'iooutput' needs a Membo I/O module, but module 1 is an Orlen servo\r\n", false},
    ErrorCase{"ReturnWithoutGosub", program({"print \"ran\"", "return"}), 1,
              "ran\r\nError in line 2: 'return' without 'gosub'\r\n", false},
    ErrorCase{"GosubTooDeep", program({"again:", "gosub again"}), 1,
              "Error in line 2: gosub nested deeper than 64\r\n", false},
    ErrorCase{"PeekOutOfRange", program({"A = peek(4096)"}), 0, "Error in line 1: address 4096 is not 0 to 4095\r\n",
              false},
    ErrorCase{"StoreOutOfRange", program({"store(250, 1)"}), 0,
              "Error in line 1: EEPROM address 250 is not 0 to 249\r\n", false},
    ErrorCase{"BitOutOfRange", program({"A = testbit(1, 0)"}), 0, "Error in line 1: bit 0 is not 1 to 32\r\n", false},
    ErrorCase{"ForStepZero", program({"for I = 1 to 2 step 0", "next"}), 0, "Error in line 1: 'for' with step 0\r\n",
              false},
    ErrorCase{"NextWithoutRunningFor", program({"goto inside", "for I = 1 to 2", "inside:", "next"}), 3,
              "Error in line 4: 'next' reached without running its 'for'\r\n", false},
    // The servo's rate divisor and step multiplier start at 1, as the
    // catalogue says; a 0 there used to be taken.
    ErrorCase{"ServoRateDivisorZero", program({"svgain(1, 100, 1000, 0, 0, 255, 0, 2000, 0, 1, 1)"}), 0,
              "Error in line 1: servo rate divisor 0 is not 1 to 255\r\n", false},
    ErrorCase{"StepRateMultiplierZero", program({"svgain(1, 100, 1000, 0, 0, 255, 0, 2000, 1, 1, 0)"}), 0,
              "Error in line 1: step rate multiplier 0 is not 1 to 255\r\n", false},
    ErrorCase{"FirstOfSeveralOutOfRangeByParameterOrder", program({"sttraj(2, 135, 0, 0, 0)"}), 0,
              "Error in line 1: velocity 0 is not 1 to 250\r\n", false}
), [](const auto& info) { return std::string(info.param.name); });

TEST(ProgramErrorsAfter, AFixedProgramRunsAfterALoadOfTheFix) {
    TravinInterpreter interp;
    FakeHost host;
    interp.load(program({"A = 1 +"}));
    EXPECT_FALSE(interp.prepare(host));
    EXPECT_EQ(host.console, "Error in line 1: expected a value but found end of line\r\n");
    host.console.clear();
    interp.load(program({"A = 1 + 1"}));
    EXPECT_EQ(run(interp, host).last, LineOutcome::Ended);
    EXPECT_EQ(interp.variable(0), 2);
    EXPECT_EQ(host.console, "");
}

}  // namespace
}  // namespace vboard::test
