#include "link/PortSelection.h"

#include "app/Workbench.h"

namespace travin {

// Staged: filled in by its own issue.
void PortSelection::SelectPortButtonClick() {
}

void PortSelection::SelectPortMenuClick() {
}

void PortSelection::Button1Click(int /*item*/) {
}

void PortSelection::ReadPortFile() {
}

void PortSelection::WritePortFile() {
}

}  // namespace travin
