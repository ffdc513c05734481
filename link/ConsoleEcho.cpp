#include "link/ConsoleEcho.h"

#include <string>

#include "link/Console.h"

namespace travin {

void echoUserText(Console& console, std::string_view text) {
    // Every console line starts with " "; a line that holds more than that
    // is the board's unfinished output, which the echo does not join.
    const auto& lines = console.lines();
    const bool atLineStart = lines.empty() || lines.back() == " " || lines.back().empty();
    std::string shown = atLineStart ? "> " : "\r\n> ";
    // A zero byte would end the console's text early.
    for (char c : text) shown += c == '\0' ? ' ' : c;
    shown += "\r\n";
    console.ConsoleWrite(shown);
}

}  // namespace travin
