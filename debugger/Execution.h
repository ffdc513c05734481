// Run, single step, stop and reset of the board's program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace travin {

class Workbench;

class Execution {
public:
    explicit Execution(Workbench& workbench) : wb(workbench) {}

    void DebuggerRunExecute();
    void DebuggerSingleStepExecute();
    void DebuggerStopExecute();
    void DebuggerResetExecute();

private:
    Workbench& wb;
};

}  // namespace travin
