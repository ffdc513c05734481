#include "debugger/Variables.h"

#include <cstdio>
#include <vector>

#include "link/Console.h"
#include "core/Controls.h"
#include "link/CommandLink.h"
#include "link/CommandTable.h"
#include "debugger/ProgramImage.h"

namespace travin {

void Variables::RefreshVariables() {
    const std::string_view word = fixedPayload(command::GetVariables);
    wb.link.SendCommand(command::GetVariables, payloadBytes(word), static_cast<int>(word.size()));
    if (!wb.state.detected) {
        wb.console.ConsoleWrite("Refresh Variables Failed\r\n");
        return;
    }
    std::vector<std::string> rows;
    rows.reserve(kVariableCount);
    for (int i = 0; i < kVariableCount; ++i) rows.push_back(variableRow(i, wb.state.variableValues[i]));
    wb.screens.main.setVariableRows(rows);

    ListingView& listing = wb.screens.listing;
    listing.setSelection(listing.selectionStart(), 0);
    listing.scrollCaretIntoView();
    listing.focus();
}

void Variables::DebuggerSetVariableExecute() {
    if (!wb.controls.RequireDetected()) return;
    if (!wb.controls.RequireStopped("Set Variable")) return;
    std::string answer;
    int index = -1;
    if (wb.screens.notices.inputBox("", "Enter Variable to Set (A-Z)", answer)) {
        std::size_t i = answer.find_first_not_of(" \t\n\v\f\r");
        if (i != std::string::npos) {
            const char c = answer[i];
            if (c >= 'A' && c <= 'Z') index = c - 'A';
            else if (c >= 'a' && c <= 'z') index = c - 'a';
        }
    }
    EditVariable(index);
}

void Variables::ListBox1SetVariable() {
    if (!wb.controls.RequireDetected()) return;
    if (!wb.controls.RequireStopped("Set Variable")) return;
    EditVariable(wb.screens.main.currentVariableRow());
}

void Variables::EditVariable(int index) {
    if (index < 0 || index >= kVariableCount) return;
    const char letter = static_cast<char>('A' + index);
    char prompt[32];
    std::snprintf(prompt, sizeof prompt, "Enter the value of %c:", letter);
    std::string answer = std::to_string(wb.state.variableValues[index]);

    std::optional<std::int32_t> value;
    if (wb.screens.notices.inputBox("", prompt, answer)) value = readLong(answer);
    if (!value) {
        char notice[32];
        std::snprintf(notice, sizeof notice, "Variable '%c' Not Changed", letter);
        wb.screens.notices.ShowNotice(notice);
        return;
    }

    // The monitor polls while the box is open. A board lost meanwhile has
    // had its link failure shown and its port closed: sending now would
    // only fail again and repeat those boxes.
    if (!wb.state.detected) {
        wb.console.ConsoleWrite("Set Variable Failed\r\n");
        return;
    }

    const auto v = static_cast<std::uint32_t>(*value);
    const std::uint8_t payload[5] = {static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(v & 0xFF),
                                     static_cast<std::uint8_t>(v >> 8 & 0xFF),
                                     static_cast<std::uint8_t>(v >> 16 & 0xFF),
                                     static_cast<std::uint8_t>(v >> 24 & 0xFF)};
    wb.link.SendCommand(command::SetVariable, payload, 5);
    if (!wb.state.detected) {
        wb.console.ConsoleWrite("Set Variable Failed\r\n");
        return;
    }
    RefreshVariables();
}

}  // namespace travin
