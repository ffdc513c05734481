// The breakpoint table, the executing line and the listing's colour marks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace travin {

class Workbench;

class Breakpoints {
public:
    explicit Breakpoints(Workbench& workbench) : wb(workbench) {}

    bool ClearBreakpoints();
    void SendBreakpoints();
    void ResetListingColors();
    void PaintBreakpoints();
    void MarkExecutingLine();
    void DebuggerSetBreakpointExecute();

private:
    Workbench& wb;
};

}  // namespace travin
