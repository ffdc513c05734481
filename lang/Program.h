// A Travin program as the board runs it and the workbench checks it: the
// stored bytes split into lines, each line parsed once into a statement,
// blocks and labels resolved, every problem found with its line and column.
//
//   Expr, PrintItem, Stmt       the parsed forms
//   Diagnostic                  one problem: line, column, message
//   Line, Program, parseProgram the whole program, its problems, its first error
//   checkProgram                only the problems
//   parseStatementLine          one line on its own (ACI commands)
#pragma once

#include "lang/Builtins.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace travin::lang {

struct Expr {
    enum class Kind : std::uint8_t { Number, Variable, Negate, Not, Binary, Call };
    enum class Op : std::uint8_t { Mul, Div, Mod, Add, Sub, Eq, Ne, Lt, Gt, Le, Ge, And, Or };
    Kind kind = Kind::Number;
    Op op = Op::Add;
    std::int32_t value = 0;        // Number
    int index = 0;                 // Variable: 0..25
    const Builtin* builtin = nullptr;
    std::vector<Expr> args;        // operands or call arguments
    std::size_t column = 0;        // 0-based: where a call argument starts
};

struct PrintItem {
    bool isText = false;
    std::string text;
    Expr expr;
};

struct Stmt {
    enum class Kind : std::uint8_t {
        Assign, Print, Input, If, Else, Endif, While, Wend, For, Next,
        Goto, Gosub, Return, Delay, End, Call
    };
    Kind kind = Kind::End;
    int var = -1;                  // Assign, Input, For, Next (-1: next without a name)
    std::vector<Expr> exprs;       // Assign/If/While/Delay: [value]; For: [from, to, step?]
    std::vector<PrintItem> items;  // Print
    bool newline = true;           // Print: false after a trailing ';'
    std::string text;              // Input: prompt; Goto/Gosub: label (lower case)
    std::size_t column = 0;        // 0-based: the statement's first word
    std::size_t labelColumn = 0;   // 0-based: Goto/Gosub the label's
    Expr call;                     // Call
    // Resolved line index: Goto/Gosub the label line; If the matching else
    // or endif; Else the endif; While the wend; Wend the while; For the next;
    // Next the for.
    std::size_t target = 0;
};

struct Line {
    std::size_t offset = 0;        // byte offset of the line's first character
    int number = 0;                // 1-based, as the error messages show it
    bool statement = false;        // false: blank, comment or label line
    std::string label;             // lower case, for label lines
    Stmt stmt;
};

// A problem as editors and compilers report it: both numbers count from 1.
// A warning is a line the board takes but stops at when it runs it.
struct Diagnostic {
    int line = 0;
    int column = 0;
    std::string message;
    bool warning = false;

    bool operator==(const Diagnostic&) const = default;
};

// "LINE:COLUMN: MESSAGE", as test failures and logs show it.
inline std::ostream& operator<<(std::ostream& os, const Diagnostic& d) {
    return os << d.line << ':' << d.column << ": " << (d.warning ? "warning: " : "") << d.message;
}

struct ProgramError {
    std::size_t line = 0;          // index into lines
    std::string message;           // without the "Error in line N: " prefix
};

struct Program {
    std::vector<Line> lines;
    std::size_t size = 0;          // bytes up to the first zero
    std::map<std::string, std::size_t> labels;
    std::optional<ProgramError> error;  // the first problem, by line order
    std::vector<Diagnostic> diagnostics; // every problem, by line order; the first is error
};

Program parseProgram(std::string_view bytes);

// The problems of a program: the errors parseProgram finds (the board
// refuses to run the program with the first), and warnings for constant
// arguments a built-in refuses ("module address 9 is not 1 to 8": the board
// takes the line and stops there with that message when it runs it), in line
// order. Only the errors are in parseProgram's diagnostics.
std::vector<Diagnostic> checkProgram(std::string_view bytes);

// One statement on its own, labels left unresolved. Returns the statement or
// an error message.
struct ParsedLine {
    std::optional<Stmt> stmt;      // empty with no error: a blank or comment line
    std::string error;
};
ParsedLine parseStatementLine(std::string_view text);

// The longest line the board accepts.
constexpr std::size_t kMaxLineLength = 80;

}  // namespace travin::lang
