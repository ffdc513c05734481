// The board's variables A to Z: refresh and change.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace travin {

class Workbench;

class Variables {
public:
    explicit Variables(Workbench& workbench) : wb(workbench) {}

    void RefreshVariables();
    void DebuggerSetVariableExecute();
    void ListBox1SetVariable();

private:
    Workbench& wb;
};

}  // namespace travin
