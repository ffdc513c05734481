// What the listing offers while a program is typed, from the language's
// built-in table and the assistant's catalogue: the names that complete the
// word at the caret (the built-ins, or the program's labels after goto and
// gosub), and the parameter of a built-in call the caret stands in.
// Standard C++ only; the window shows the results.
//
//   Completion, completionsAt   the candidates for the word before the caret
//   CallParameter, parameterAt  the call and parameter under the caret
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "lang/Builtins.h"

namespace travin {

struct Completion {
    std::string name;          // what is inserted (lower case)
    std::string signature;     // e.g. "getpos(module address)"; a label's name
    std::string description;   // one line from the catalogue; "label" for a label
    bool isLabel = false;
    bool isFunction = false;   // yields a value
    int parameterCount = 0;
};

struct CompletionList {
    int wordStart = 0;         // column (0-based) where the word being completed starts
    std::vector<Completion> items;
};

// `lines` is the whole listing (for its labels); `line` and `column` (both
// 0-based) the caret. Candidates start with the word before the caret, in
// any case; an empty word offers them all.
CompletionList completionsAt(const std::vector<std::string>& lines, int line, int column);

struct CallParameter {
    const lang::Builtin* builtin = nullptr;
    int index = 0;             // 0-based parameter the caret is in
    std::string text;          // e.g. "svgain 9/11: Servo rate divisor (1 to 255); 1 to 255"
};

// The innermost built-in call whose parentheses hold the caret, if any.
std::optional<CallParameter> parameterAt(const std::string& lineText, int column);

}  // namespace travin
