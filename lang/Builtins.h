// The board's built-in functions and subroutines as the language knows them:
// one table of names, kinds, parameter counts and the range each argument
// must lie in. The board's interpreter checks arguments against it, the
// parser checks call shapes against it, and the listing colours and
// completes its names.
//
//   BuiltinTarget            which modules a built-in may address
//   BuiltinParam             one parameter: its name in messages, its range
//   Builtin, builtins()      the table, one entry per name
//   findBuiltin              look-up by lower-case name
//   isKeyword                the language's reserved words
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

namespace travin::lang {

// Which modules a built-in may address with its first argument. Names that
// exist for both the servo and the stepper are one entry (Motor).
enum class BuiltinTarget { None, AnyModule, Motor, Orlen, Daska, Membo };

struct BuiltinParam {
    const char* what;       // as the board names it in "<what> N is not A to B"
    std::int32_t min;
    std::int32_t max;

    // Whether the board refuses some value of this parameter.
    bool checked() const {
        return min != std::numeric_limits<std::int32_t>::min() || max != std::numeric_limits<std::int32_t>::max();
    }
};

struct Builtin {
    const char* name;
    bool function;                      // yields a value; otherwise a subroutine
    BuiltinTarget target;
    std::vector<BuiltinParam> params;   // exactly this many arguments

    int arguments() const { return static_cast<int>(params.size()); }
};

// Every built-in, in the order of the board's documentation.
const std::vector<Builtin>& builtins();

// The built-in by its lower-case name, or nullptr.
const Builtin* findBuiltin(std::string_view lowerName);

// The language's reserved words (statements and operators), lower case.
bool isKeyword(std::string_view lowerName);
const std::vector<std::string_view>& keywords();

}  // namespace travin::lang
