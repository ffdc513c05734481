// What the listing offers at the caret: built-ins by the word's start, the
// program's labels after goto and gosub, and the parameter of the call the
// caret stands in (nested calls and groupings included).
#include "workbench/ListingAssist.h"

#include <gtest/gtest.h>

namespace travin {
namespace {

std::vector<std::string> names(const CompletionList& list) {
    std::vector<std::string> out;
    for (const Completion& c : list.items) out.push_back(c.name);
    return out;
}

TEST(ListingAssist, BuiltinsByTheWordBeforeTheCaretInAnyCase) {
    const std::vector<std::string> lines{"A = GetP"};
    const CompletionList list = completionsAt(lines, 0, 8);
    EXPECT_EQ(list.wordStart, 4);
    ASSERT_EQ(names(list), std::vector<std::string>{"getpos"});
    EXPECT_EQ(list.items[0].signature, "getpos(module address)");
    EXPECT_EQ(list.items[0].description, "Returns current position");
    EXPECT_TRUE(list.items[0].isFunction);

    EXPECT_EQ(names(completionsAt({"io"}, 0, 2)), (std::vector<std::string>{"iodir", "iooutput", "iopwm", "iotimer"}));
    EXPECT_EQ(completionsAt({""}, 0, 0).items.size(), 37u) << "an empty word offers every built-in";
    EXPECT_TRUE(completionsAt({"zz"}, 0, 2).items.empty());
}

TEST(ListingAssist, LabelsAfterGotoAndGosub) {
    const std::vector<std::string> lines{"start:", "  stop_here: ' a label with a comment", "gosub s", "goto ",
                                         "print st", "x: print"};
    EXPECT_EQ(names(completionsAt(lines, 2, 7)), (std::vector<std::string>{"start", "stop_here"}));
    EXPECT_EQ(names(completionsAt(lines, 3, 5)), (std::vector<std::string>{"start", "stop_here"}));
    EXPECT_EQ(names(completionsAt(lines, 4, 8)),
              (std::vector<std::string>{"stopmot", "store", "stoutput", "stparam", "sttraj"}))
        << "elsewhere the built-ins, not the labels";
    EXPECT_TRUE(completionsAt(lines, 2, 7).items[0].isLabel);
}

struct ParameterCase {
    const char* name;
    std::string line;
    int column;
    const char* builtin;   // nullptr: not in a call
    int index;
    std::string text;
};

void PrintTo(const ParameterCase& c, std::ostream* os) { *os << c.name; }

class Parameters : public ::testing::TestWithParam<ParameterCase> {};

TEST_P(Parameters, TheParameterUnderTheCaret) {
    const ParameterCase& c = GetParam();
    const auto p = parameterAt(c.line, c.column);
    if (!c.builtin) {
        EXPECT_FALSE(p.has_value());
        return;
    }
    ASSERT_TRUE(p.has_value());
    EXPECT_STREQ(p->builtin->name, c.builtin);
    EXPECT_EQ(p->index, c.index);
    if (!c.text.empty()) EXPECT_EQ(p->text, c.text);
}

INSTANTIATE_TEST_SUITE_P(Calls, Parameters, ::testing::Values(
    ParameterCase{"FirstParameter", "A = getpos(", 11, "getpos", 0, "getpos 1/1: Module address (1 - 8); 1 to 8"},
    ParameterCase{"NinthOfSvgain", "svgain(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11)", 31, "svgain", 8,
                  "svgain 9/11: Servo rate divisor (1 to 255); 1 to 255"},
    ParameterCase{"NestedCallIsTheInnerOne", "svtraj(1, 151, getpos(", 22, "getpos", 0, ""},
    ParameterCase{"BackInTheOuterCall", "svtraj(1, 151, getpos(1), ", 26, "svtraj", 3,
                  "svtraj 4/6: Velocity data (0 to +750,000); 0 to 750000"},
    ParameterCase{"GroupingIsNotACall", "store(0, (1 + ", 14, "store", 1, "store 2/2: Data to store; any value"},
    ParameterCase{"TooManyArguments", "getpos(1, ", 10, "getpos", 1, "getpos takes 1 argument"},
    ParameterCase{"AfterTheCallCloses", "A = getpos(1) + 2", 16, nullptr, 0, ""},
    ParameterCase{"InsideTextIsNoCall", "print \"getpos(", 14, nullptr, 0, ""},
    ParameterCase{"NotABuiltin", "A = (1 + ", 9, nullptr, 0, ""}
), [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace travin
