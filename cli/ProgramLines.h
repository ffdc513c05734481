// What the client needs to know of a Travin program's lines without the
// language's parser: which lines hold a statement (a breakpoint there can
// fire), and which stop position means the program ran to its end.
#pragma once

#include <string>
#include <vector>

namespace travin::cli {

// False for a blank line, a comment line (' to the end) and a label line
// (a name and a colon, perhaps a comment): the board never stops there.
bool holdsStatement(const std::string& line);

// True when a program that stopped with its position on `line` (0-based)
// ran to its end: the line is an `end` statement or the last line that
// holds a statement. An error on that last line looks the same.
bool stoppedAtItsEnd(const std::vector<std::string>& lines, int line);

// The first line (0-based) that holds a zero byte, -1 for none.
int lineWithZeroByte(const std::vector<std::string>& lines);

}  // namespace travin::cli
