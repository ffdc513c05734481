#include "debugger/Execution.h"

#include "debugger/Breakpoints.h"
#include "link/Console.h"
#include "core/Controls.h"
#include "debugger/Download.h"
#include "link/CommandLink.h"
#include "debugger/Variables.h"
#include "link/CommandTable.h"
#include "link/Monitor.h"

namespace travin {

namespace {

// These commands carry the fixed word the command table gives them.
void sendWord(DebuggerParts& wb, std::uint8_t code) {
    const std::string_view word = fixedPayload(code);
    wb.link.SendCommand(code, payloadBytes(word), static_cast<int>(word.size()));
}

}  // namespace

bool Execution::bringProgramUpToDate() {
    if (!wb.state.downloadNeeded) return true;
    if (!wb.download.CheckProgramLimits()) return false;
    DebuggerResetExecute();
    wb.download.DownloadProgram();
    // A page the board refused leaves the download needed: the program it
    // would start is not the listing.
    return wb.state.detected && !wb.state.downloadNeeded;
}

void Execution::DebuggerRunExecute() {
    if (!wb.controls.RequireDetected()) return;
    if (!wb.controls.RequireStopped("Run")) return;
    // An edit made since the last tick is taken in as the tick would, so a
    // Run right after typing starts the listing, not the program before it.
    wb.monitor.noticeListingEdits();
    if (wb.state.downloadNeeded) {
        // The download ends with the breakpoint table.
        if (!bringProgramUpToDate()) return;
    } else {
        wb.breakpoints.SendBreakpoints();
        if (!wb.state.detected) return;
    }
    // While it runs, the listing shows only the breakpoints.
    wb.breakpoints.ResetListingColors();
    wb.breakpoints.PaintBreakpoints();
    sendWord(wb, command::RunProgram);
    if (!wb.state.detected) wb.console.ConsoleWrite("Run Failed\r\n");
}

void Execution::DebuggerSingleStepExecute() {
    if (!wb.controls.RequireDetected()) return;
    if (!wb.controls.RequireStopped("Step")) return;
    wb.monitor.noticeListingEdits();
    if (!bringProgramUpToDate()) return;
    sendWord(wb, command::StepProgram);
    if (!wb.state.detected) wb.console.ConsoleWrite("Single Step Failed\r\n");
}

void Execution::DebuggerStopExecute() {
    // Stop is what a running program needs, so there is no must-stop check.
    if (!wb.controls.RequireDetected()) return;
    sendWord(wb, command::StopProgram);
    if (!wb.state.detected) wb.console.ConsoleWrite("Stop Failed\r\n");
}

void Execution::DebuggerResetExecute() {
    if (!wb.controls.RequireDetected()) return;
    if (!wb.controls.RequireStopped("Reset")) return;
    sendWord(wb, command::ResetProgram);
    if (!wb.state.detected) {
        wb.console.ConsoleWrite("Reset Failed\r\n");
        return;
    }
    // The board's variables and position after the reset; the executing
    // line is not marked until the program stops somewhere.
    wb.variables.RefreshVariables();
    wb.breakpoints.ResetListingColors();
    wb.breakpoints.PaintBreakpoints();
}

}  // namespace travin
