// Run, single step, stop and reset of the board's program.
//
// The handlers only send commands; the running state follows from the
// status byte of every reply, which the link handles.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace travin {

class Workbench;

class Execution {
public:
    explicit Execution(Workbench& workbench) : wb(workbench) {}

    // Downloads first when the listing changed since the last download.
    void DebuggerRunExecute();
    void DebuggerSingleStepExecute();
    void DebuggerStopExecute();
    void DebuggerResetExecute();

private:
    // Limit check, reset and download when downloadNeeded is set; true when
    // the board may go on (nothing was needed, or the download succeeded).
    bool bringProgramUpToDate();

    Workbench& wb;
};

}  // namespace travin
