// The board's variables A to Z: refresh and change.
//
// The local copy (variableValues) changes only through GetVariables
// replies, which the link stores; SetVariable itself leaves it alone, so
// the pane always shows what the board last reported.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include "debugger/DebuggerParts.h"

namespace travin {


class Variables {
public:
    explicit Variables(DebuggerParts& parts) : wb(parts) {}

    // Reads the variables from the board and shows them as "%c:% ld" rows;
    // then the listing's caret is collapsed, scrolled into view and focused.
    void RefreshVariables();
    // Asks for a letter, then EditVariable.
    void DebuggerSetVariableExecute();
    // The double-clicked row, then EditVariable.
    void ListBox1SetVariable();
    // Asks for a new value of variable `index` (0 = A) and sends it; an
    // index outside 0..25 does nothing. A value that is not a number or
    // does not fit in 32 bits is refused with "Variable '%c' Not Changed".
    void EditVariable(int index);

private:
    DebuggerParts& wb;
};

}  // namespace travin
