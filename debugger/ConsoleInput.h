// Characters and ACI command lines sent to the board.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace travin {

class Workbench;

class ConsoleInput {
public:
    explicit ConsoleInput(Workbench& workbench) : wb(workbench) {}

    void DebuggerSendCharacterExecute();
    void SendACIExecute();
    // Key press in the ACI line; returns true when the key was consumed.
    bool ACIEditKeyPress(char key);

private:
    Workbench& wb;
};

}  // namespace travin
