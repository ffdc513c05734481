// What the user sent to the board, shown in the console as the user's own
// text ("> " and the text, on a line of its own), so a session reads as a
// conversation. The workbench's text, not the board's: the plot and other
// readers of the board's bytes never see it.
#pragma once

#include <string_view>

namespace travin {

class Console;

void echoUserText(Console& console, std::string_view text);

}  // namespace travin
