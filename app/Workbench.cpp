#include "app/Workbench.h"

#include <cstdio>
#include <utility>

namespace travin {

Workbench::Workbench(const Screens& s, std::string folder)
    : screens(s),
      executableFolder(std::move(folder)),
      serial([this](const std::string& text) { screens.notices.ShowNotice(text); }, executableFolder),
      link(*this),
      console(*this),
      monitor(*this),
      controls(*this),
      port(*this),
      download(*this),
      execution(*this),
      breakpoints(*this),
      variables(*this),
      memory(*this),
      input(*this),
      files(*this),
      find(*this),
      help(*this) {}

void Workbench::FormCreate() {
    // The window itself (caption, tab stops, size, the saved layout and the
    // ACI line's limit) is set up by the Qt layer around this call; these are
    // the steps that touch shared state, in their order.
    state.fileName = "Untitled.txt";
    screens.main.setStatusText(state.fileName);
    screens.listing.clear();
    breakpoints.ClearBreakpoints();
    state.unsavedChanges = false;
    screens.listing.setModified(false);

    std::vector<std::string> rows;
    for (int i = 0; i < kVariableCount; ++i) {
        char row[32];
        std::snprintf(row, sizeof row, "%c:% ld", 'A' + i, static_cast<long>(state.variableValues[i]));
        rows.emplace_back(row);
    }
    screens.main.setVariableRows(rows);

    console.DebuggerClearWindowExecute();
    screens.timer.setTimerEnabled(true);
    controls.UpdateControls();
    port.ReadPortFile();
}

}  // namespace travin
