// Run, single step, stop and reset of the board's program.
//
// The handlers only send commands; the running state follows from the
// status byte of every reply, which the link handles.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include "debugger/DebuggerParts.h"

namespace travin {


class Execution {
public:
    explicit Execution(DebuggerParts& parts) : wb(parts) {}

    // Downloads first when the listing changed since the last download.
    void DebuggerRunExecute();
    void DebuggerSingleStepExecute();
    void DebuggerStopExecute();
    void DebuggerResetExecute();

private:
    // Limit check, reset and download when downloadNeeded is set; true when
    // the board may go on (nothing was needed, or the download succeeded).
    bool bringProgramUpToDate();

    DebuggerParts& wb;
};

}  // namespace travin
