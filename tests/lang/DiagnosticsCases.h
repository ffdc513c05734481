// The table of programs and their problems that the language library, the
// board's interpreter and `travin-cli check` must all agree on.
#pragma once

#include "lang/Program.h"

#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace travin::lang::test {

struct DiagnosticsCase {
    const char* name;
    std::string text;
    std::vector<Diagnostic> expected;
};

inline void PrintTo(const DiagnosticsCase& c, std::ostream* os) { *os << c.name; }

inline std::string lines(std::initializer_list<std::string_view> ls) {
    std::string out;
    for (std::string_view l : ls) {
        out += l;
        out += "\r\n";
    }
    return out;
}

inline std::vector<DiagnosticsCase> diagnosticsCases() {
    return {
        {"Clean", lines({"' count", "for I = 1 to 3", "  print \"I=\"; I", "next I", "top:", "gosub top", "end"}), {}},
        {"UpperCaseIsTheSameLanguage", lines({"PRINT GetPos(1)", "IF A THEN", "ENDIF"}), {}},
        {"UnknownStatement", lines({"print 1", "frobnicate 3"}), {{2, 1, "unknown statement 'frobnicate'"}}},
        {"UnknownLabelAtTheLabel", lines({"  goto nowhere"}), {{1, 8, "unknown label 'nowhere'"}}},
        {"ValueMissingAtTheEnd", lines({"A = 1 +"}), {{1, 8, "expected a value but found end of line"}}},
        {"UnclosedText", lines({"print \"abc"}), {{1, 7, "text without closing \""}}},
        {"NumberTooLarge", lines({"A = 2147483649"}), {{1, 5, "number too large: 2147483649"}}},
        {"TrailingWord", lines({"A = 1 2"}), {{1, 7, "unexpected '2'"}}},
        {"LabelWithStatement", lines({"x: print"}), {{1, 4, "a label stands alone on its line"}}},
        {"ForWithoutNext", lines({"for I = 1 to 3", "print I"}), {{1, 1, "'for' without 'next'"}}},
        {"CrossedBlocks", lines({"while 1", "  for I = 1 to 2", "  wend", "next"}), {{3, 3, "'wend' without 'while'"}}},
        {"NextOfOtherVariable", lines({"for I = 1 to 2", " next J"}), {{2, 2, "'next J' does not match 'for I'"}}},
        {"ArgumentCount", lines({"A = getpos(1, 2)"}), {{1, 5, "'getpos' takes 1 argument, not 2"}}},
        {"SubroutineGivesNoValue", lines({"A = 2 * svcbits(1)"}), {{1, 9, "'svcbits' is a subroutine and gives no value"}}},
        {"StatementAfterThen", lines({"if A then print 1", "endif"}),
         {{1, 11, "'then' ends its line: put the statements on the lines after it"}}},
        {"DuplicateLabel", lines({"here:", "print 1", "here:"}), {{3, 1, "label 'here' defined twice"}}},
        {"TabCountsOneColumn", lines({"\tA = speed"}), {{1, 6, "unknown name 'speed'"}}},
        {"LineTooLong", lines({"print \"" + std::string(80, 'x') + "\""}), {{1, 81, "line longer than 80 characters"}}},
        {"ProblemsOnSeveralLinesInLineOrder", lines({"bogus", "print 1", "goto nowhere", "A = $"}),
         {{1, 1, "unknown statement 'bogus'"}, {3, 6, "unknown label 'nowhere'"}, {4, 5, "unexpected character '$'"}}},
        // A closer after an unreadable line may have lost its opener there;
        // before it, the closer is a problem of its own.
        {"CloserAfterAnUnreadableOpenerIsNotReported", lines({"if A = then", "print 1", "endif"}),
         {{1, 8, "expected a value but found 'then'"}}},
        {"CloserBeforeAnUnreadableLineIsReported", lines({"endif", "bogus"}),
         {{1, 1, "'endif' without 'if'"}, {2, 1, "unknown statement 'bogus'"}}},
        {"LoneLineFeedsCountAsLineEnds", "print 1\nprint 2\nelse\n", {{3, 1, "'else' without 'if'"}}},
    };
}

}  // namespace travin::lang::test
