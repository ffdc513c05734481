#include "app/FindPrint.h"

#include "app/Workbench.h"

namespace travin {

// Staged: filled in by its own issue.
void FindPrint::EditFind1Execute() {
}

void FindPrint::FindDialog1Find() {
}

void FindPrint::PrintMenuClick() {
}

}  // namespace travin
