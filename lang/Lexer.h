// Travin's words on one line. The parser reads these tokens, and the
// listing colours them, so both see the same words in the same places.
//
//   Token       one word: its kind, where it stands, its value
//   LexedLine   the tokens of a line and its first lexical problem
//   lexLine     splits a line (no line break in it) into tokens
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace travin::lang {

struct Token {
    enum class Kind : std::uint8_t {
        Number,   // decimal or 0x hexadecimal
        Name,     // keyword, built-in, variable or label; text is lower case
        Text,     // "..." (text holds the bytes, "" inside standing for ")
        Symbol,   // operator or punctuation; text is the symbol
        Comment,  // from ' to the end of the line
        Bad,      // what could not be read (the line's problem says why)
        End,      // the end of the line, of length 0
    };
    Kind kind = Kind::End;
    std::size_t column = 0;   // 0-based byte offset in the line
    std::size_t length = 0;   // bytes in the line
    std::string text;
    std::int64_t number = 0;
};

struct LexProblem {
    std::size_t column = 0;   // 0-based
    std::string message;
};

struct LexedLine {
    std::vector<Token> tokens;            // always ends with an End token
    std::optional<LexProblem> problem;    // the first one only
};

// Never fails: what cannot be read becomes a Bad token (an unclosed text
// runs to the end of the line) and the first such problem is recorded.
LexedLine lexLine(std::string_view line);

}  // namespace travin::lang
