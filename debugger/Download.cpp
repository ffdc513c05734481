#include "debugger/Download.h"

#include <cstdio>
#include <string>

#include "debugger/Breakpoints.h"
#include "link/Console.h"
#include "core/Controls.h"
#include "link/CommandLink.h"
#include "link/Monitor.h"
#include "link/CommandTable.h"
#include "debugger/ProgramImage.h"

namespace travin {

namespace {

constexpr int kTransferRate = 115200;
constexpr int kNormalRate = 19200;

}  // namespace

bool Download::CheckProgramLimits() {
    // A character the single-byte text cannot hold would reach the board as
    // another one; the line is shown instead.
    const int outside = wb.screens.listing.firstLineOutsideCharacterSet();
    if (outside >= 0) {
        wb.state.executingPosition = wb.screens.listing.lineStart(outside);
        wb.breakpoints.MarkExecutingLine();
        wb.console.ConsoleWrite("Line " + std::to_string(outside + 1) +
                                " holds a character the board's text cannot hold\n");
        return false;
    }
    const LimitVerdict verdict = checkLimits(wb.screens.listing.lines());
    if (verdict.fault == LimitFault::None) return true;
    wb.state.executingPosition = verdict.position;
    wb.breakpoints.MarkExecutingLine();
    switch (verdict.fault) {
    case LimitFault::LineTooLong:
        wb.console.ConsoleWrite("Line excedes maximum length\n");
        break;
    case LimitFault::TooManyLines:
        wb.console.ConsoleWrite("Line excedes maximum number of lines\n");
        break;
    case LimitFault::TooLarge: {
        char text[96];
        std::snprintf(text, sizeof text, "Program too large (Program Size = %d, Maximum Size = %d)\n",
                      verdict.size, kProgramAreaSize);
        wb.console.ConsoleWrite(text);
        break;
    }
    case LimitFault::None:
        break;
    }
    return false;
}

void Download::fail() {
    wb.console.ConsoleWrite("Download Failed\r\n");
    wb.controls.UpdateControls();
}

void Download::pageRefused(std::size_t page) {
    // The line is still good: the board goes back to the normal rate, and
    // nothing says "Done" for a program a restart would lose.
    wb.state.downloadNeeded = true;
    wb.console.ConsoleWrite("\r\nThe board did not store page " + std::to_string(page) + "\r\n");
    wb.monitor.ChangeBaudRate(kNormalRate);
    fail();
}

void Download::DownloadProgram() {
    if (!wb.controls.RequireDetected()) return;
    if (!wb.controls.RequireStopped("Download")) return;

    wb.controls.DisableControls();
    wb.breakpoints.ResetListingColors();
    wb.breakpoints.PaintBreakpoints();
    wb.console.ConsoleWrite("Downloading....");

    if (!wb.monitor.ChangeBaudRate(kTransferRate)) return fail();

    const auto pages = buildPages(wb.screens.listing.lines());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        wb.link.SendCommand(command::DownloadBlock, pages[i].data(), kPageSize);
        // The first failure ends the download; pages already sent stay.
        if (!wb.state.detected) return fail();
        if (wb.link.lastReplyRefused()) return pageRefused(i);
        if (dotAfterPage(i, pages.size())) wb.console.ConsoleWrite(".");
    }

    if (!wb.monitor.ChangeBaudRate(kNormalRate)) return fail();

    wb.breakpoints.SendBreakpoints();
    if (wb.state.detected) {
        wb.state.downloadNeeded = false;
        wb.console.ConsoleWrite("Done\r\n");
    } else {
        wb.console.ConsoleWrite("Download Failed\r\n");
    }
    wb.controls.UpdateControls();
}

void Download::DebuggerDownloadExecute() {
    if (CheckProgramLimits()) DownloadProgram();
}

}  // namespace travin
