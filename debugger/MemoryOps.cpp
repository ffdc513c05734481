#include "debugger/MemoryOps.h"

#include <cstdio>

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
// Upload and erase ask under a title of one blank, not the platform's.
const std::string kBlankTitle = " ";

}  // namespace

void MemoryOps::uploadFailed() {
    wb.console.ConsoleWrite("Upload Failed\r\n");
    wb.controls.UpdateControls();
}

void MemoryOps::UploadMenuClick() {
    if (!wb.controls.RequireDetected()) return;
    if (!wb.controls.RequireStopped("Upload Program")) return;
    if (wb.screens.notices.askYesNoCancelDefaultNo(kBlankTitle, "Upload Travin Program from EEPROM to screen?") != Answer::Yes)
        return;

    wb.controls.DisableControls();
    wb.state.uploadStream.clear();
    wb.console.ConsoleWrite("Uploading....");

    if (!wb.monitor.ChangeBaudRate(kTransferRate)) return uploadFailed();

    // Each reply appends its block up to the first zero and sets uploadEnd
    // at that zero, so reading stops at the block that ends the program.
    wb.state.uploadEnd = false;
    for (int block = 0; block < kProgramBlocks && !wb.state.uploadEnd; ++block) {
        const std::uint8_t number[2] = {static_cast<std::uint8_t>(block & 0xFF), static_cast<std::uint8_t>(block >> 8)};
        wb.link.SendCommand(command::UploadBlock, number, 2);
        // The port is closed already; no speed change back is tried.
        if (!wb.state.detected) return uploadFailed();
        if (block % 4 == 0) wb.console.ConsoleWrite(".");
    }

    if (!wb.monitor.ChangeBaudRate(kNormalRate)) return uploadFailed();

    // Only now, with the whole program in hand, does the old listing go.
    ListingView& listing = wb.screens.listing;
    listing.clear();
    wb.state.fileName = "Untitled.txt";
    wb.screens.main.setStatusText(wb.state.fileName);
    wb.breakpoints.ClearBreakpoints();
    // The whole stream as the pane's text: every CR LF a line break, the
    // final one and any empty lines before it included.
    const std::vector<std::string> pieces = programTextPieces(wb.state.uploadStream);
    listing.setLines(pieces);
    // The pane gives new text the colour at its caret, which may be a mark
    // of the old listing; the board's program carries no marks.
    wb.breakpoints.ResetListingColors();
    // The next monitor tick counts the new listing as an edit: unsaved, and
    // to be downloaded before it runs.
    listing.setModified(true);

    wb.controls.UpdateControls();
    // The pane cannot hold a lone CR or LF inside a line; the user hears of
    // it rather than finding the program changed after the next download.
    const std::vector<int> loneBreaks = linesWithLoneBreaks(pieces);
    wb.console.ConsoleWrite("Done\r\n");
    if (!loneBreaks.empty()) {
        wb.console.flush();
        wb.screens.notices.ShowNotice(loneBreakNotice(loneBreaks));
    }
}

void MemoryOps::EraseButtonClick() {
    EraseMemoryMenuClick();
}

void MemoryOps::EraseMemoryMenuClick() {
    if (!wb.controls.RequireDetected()) return;
    if (!wb.controls.RequireStopped("Erase EEPROM")) return;
    // No status poll may slip in while the question is open.
    wb.screens.timer.setTimerEnabled(false);
    if (wb.screens.notices.askYesNoCancelDefaultNo(kBlankTitle, "Erase Travin Program from EEPROM?") == Answer::Yes) {
        wb.controls.DisableControls();
        wb.console.ConsoleWrite("Erasing EEPROM....");
        wb.link.ExchangeCommand(command::EraseProgram, nullptr, 0);
        // The board's program area is empty now, the listing is not: the
        // next Run or Single Step must download first.
        if (wb.state.detected) wb.state.downloadNeeded = true;
        // A board that could not write its EEPROM refuses the erase.
        const bool erased = wb.state.detected && !wb.link.lastReplyRefused();
        wb.console.ConsoleWrite(erased ? "Done\r\n" : "Erase Failed\r\n");
        wb.controls.UpdateControls();
    }
    wb.screens.timer.setTimerEnabled(true);
}

void MemoryOps::StartupTimeMenuClick() {
    if (!wb.controls.RequireDetected()) return;
    if (!wb.controls.RequireStopped("Startup Time")) return;

    wb.link.SendCommand(command::GetStartupTime, nullptr, 0);
    if (!wb.state.detected) {
        wb.console.ConsoleWrite("Set Startup Time Failed\r\n");
        return;
    }

    // The board's own value is shown even when it lies outside 1..7.
    std::string answer = std::to_string(static_cast<std::int8_t>(wb.state.startupBlock[0]));
    std::optional<long long> entered;
    if (wb.screens.notices.inputBox("Startup Time Dialog Box", "Enter New Startup Time (1-7 seconds)", answer))
        entered = readLeadingInteger(answer);
    if (!entered) {
        wb.screens.notices.ShowNotice("Startup Time Not Changed");
        return;
    }

    // The monitor polls while the box is open; a board lost meanwhile has
    // had its link failure shown already and gets nothing more.
    if (!wb.state.detected) {
        wb.console.ConsoleWrite("Set Startup Time Failed\r\n");
        return;
    }

    const int seconds = clampStartupTime(*entered);
    // Bytes 1 to 23 are the board's business and go back as they came. The
    // read above succeeded only with all 24 bytes (the link refuses a reply
    // of another length), so they are this read's, never an earlier one's.
    wb.state.startupBlock[0] = static_cast<std::uint8_t>(seconds);
    wb.link.SendCommand(command::SetStartupTime, wb.state.startupBlock.data(),
                        static_cast<int>(wb.state.startupBlock.size()));
    // A board that could not write its EEPROM refuses the block: the time
    // was not set, whatever the link says.
    if (wb.state.detected && wb.link.lastReplyRefused()) {
        wb.console.ConsoleWrite("The board did not store the start-up time\r\n");
        wb.console.ConsoleWrite("Set Startup Time Failed\r\n");
    } else if (wb.state.detected) {
        char notice[40];
        std::snprintf(notice, sizeof notice, "Startup Time Set to %d", seconds);
        wb.screens.notices.ShowNotice(notice);
    } else {
        wb.console.ConsoleWrite("Set Startup Time Failed\r\n");
    }
}

}  // namespace travin
