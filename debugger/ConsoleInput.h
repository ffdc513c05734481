// Characters and ACI command lines sent to the board.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include "debugger/DebuggerParts.h"

namespace travin {


inline constexpr int kAciLineLimit = 39;

class ConsoleInput {
public:
    explicit ConsoleInput(DebuggerParts& parts) : wb(parts) {}

    // Asks for a character and sends the first one typed. No guards: the
    // controls offer it only while the program runs.
    void DebuggerSendCharacterExecute();
    // Sends the ACI line's text (at most 39 characters; an empty line sends
    // no payload). The line keeps its text.
    void SendACIExecute();
    // Key press in the ACI line: Enter sends the line. Returns true when
    // the key was consumed; it never is, the line gets it unchanged.
    bool ACIEditKeyPress(char key);

private:
    DebuggerParts& wb;
};

}  // namespace travin
