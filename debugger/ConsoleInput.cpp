#include "debugger/ConsoleInput.h"

#include "link/Console.h"
#include "link/ConsoleEcho.h"
#include "core/Controls.h"
#include "link/CommandLink.h"
#include "link/CommandTable.h"

namespace travin {

void ConsoleInput::DebuggerSendCharacterExecute() {
    std::string answer;
    if (wb.screens.notices.inputBox("Caption Display", "Enter character to send", answer) && !answer.empty()) {
        // The monitor polls while the box is open. A board lost meanwhile has
        // had its failure shown; a program that ended meanwhile would find
        // the character waiting at its next run. Either way nothing is sent.
        if (!wb.state.detected || !wb.state.running) {
            wb.console.ConsoleWrite("Send Character Failed\r\n");
            wb.screens.listing.focus();
            return;
        }
        const auto byte = static_cast<std::uint8_t>(answer[0]);
        wb.link.SendCommand(command::SendCharacter, &byte, 1);
        if (!wb.state.detected) wb.console.ConsoleWrite("Send Character Failed\r\n");
    }
    wb.screens.listing.focus();
}

void ConsoleInput::SendACIExecute() {
    if (!wb.controls.RequireDetected()) return;
    if (!wb.controls.RequireStopped("Send ACI Command")) return;
    std::string text = wb.screens.main.aciText();
    if (text.size() > static_cast<std::size_t>(kAciLineLimit)) text.resize(kAciLineLimit);
    if (wb.state.echoSentText && !text.empty()) echoUserText(wb.console, text);
    wb.link.SendCommand(command::SendAci, reinterpret_cast<const std::uint8_t*>(text.data()),
                        static_cast<int>(text.size()));
}

bool ConsoleInput::ACIEditKeyPress(char key) {
    if (key == '\r') SendACIExecute();
    return false;
}

}  // namespace travin
