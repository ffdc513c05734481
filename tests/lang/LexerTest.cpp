// The words of a line as the parser and the listing's colours see them:
// kinds, columns and lengths, and reading on past a problem.
#include "lang/Lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace travin::lang {
namespace {

using K = Token::Kind;

struct Word {
    K kind;
    std::size_t column;
    std::size_t length;
    bool operator==(const Word&) const = default;
};

std::vector<Word> words(std::string_view line) {
    std::vector<Word> out;
    for (const Token& t : lexLine(line).tokens) out.push_back({t.kind, t.column, t.length});
    return out;
}

struct LexCase {
    const char* name;
    std::string line;
    std::vector<Word> words;
    int problemColumn;  // -1: none
};

void PrintTo(const LexCase& c, std::ostream* os) { *os << c.name; }

class Lexing : public ::testing::TestWithParam<LexCase> {};

TEST_P(Lexing, WordsStandWhereTheyAreWritten) {
    const LexCase& c = GetParam();
    EXPECT_EQ(words(c.line), c.words);
    const LexedLine lexed = lexLine(c.line);
    if (c.problemColumn < 0) {
        EXPECT_FALSE(lexed.problem);
    } else {
        ASSERT_TRUE(lexed.problem);
        EXPECT_EQ(lexed.problem->column, static_cast<std::size_t>(c.problemColumn));
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, Lexing, ::testing::Values(
    LexCase{"CallAndComment", "A = getpos(1) ' where",
            {{K::Name, 0, 1}, {K::Symbol, 2, 1}, {K::Name, 4, 6}, {K::Symbol, 10, 1}, {K::Number, 11, 1},
             {K::Symbol, 12, 1}, {K::Comment, 14, 7}, {K::End, 21, 0}}, -1},
    LexCase{"DoubledQuoteInText", "print \"a\"\"b\";", {{K::Name, 0, 5}, {K::Text, 6, 6}, {K::Symbol, 12, 1}, {K::End, 13, 0}}, -1},
    LexCase{"TwoCharacterOperators", "if A<>0x1F then",
            {{K::Name, 0, 2}, {K::Name, 3, 1}, {K::Symbol, 4, 2}, {K::Number, 6, 4}, {K::Name, 11, 4}, {K::End, 15, 0}}, -1},
    LexCase{"BadNumberIsOneWordAndTheRestIsRead", "A = 12ab + 1",
            {{K::Name, 0, 1}, {K::Symbol, 2, 1}, {K::Bad, 4, 4}, {K::Symbol, 9, 1}, {K::Number, 11, 1}, {K::End, 12, 0}}, 4},
    LexCase{"UnclosedTextRunsToTheEnd", "print \"abc 'x", {{K::Name, 0, 5}, {K::Bad, 6, 7}, {K::End, 13, 0}}, 6},
    LexCase{"StrayCharacter", "A = $ + 1",
            {{K::Name, 0, 1}, {K::Symbol, 2, 1}, {K::Bad, 4, 1}, {K::Symbol, 6, 1}, {K::Number, 8, 1}, {K::End, 9, 0}}, 4},
    LexCase{"QuoteInsideTextIsNoComment", "print \"it's\"", {{K::Name, 0, 5}, {K::Text, 6, 6}, {K::End, 12, 0}}, -1}
), [](const auto& info) { return std::string(info.param.name); });

TEST(Lexing, NamesAreLowerCaseAndNumbersCarryTheirValue) {
    const LexedLine lexed = lexLine("GetPos 0xFFFFFFFF 2147483648");
    ASSERT_EQ(lexed.tokens.size(), 4u);
    EXPECT_EQ(lexed.tokens[0].text, "getpos");
    EXPECT_EQ(lexed.tokens[1].number, -1);
    EXPECT_EQ(lexed.tokens[2].number, 2147483648LL);
}

}  // namespace
}  // namespace travin::lang
