#include "debugger/MemoryOps.h"

#include "app/Workbench.h"

namespace travin {

// Staged: filled in by its own issue.
void MemoryOps::UploadMenuClick() {
}

void MemoryOps::EraseButtonClick() {
}

void MemoryOps::EraseMemoryMenuClick() {
}

void MemoryOps::StartupTimeMenuClick() {
}

}  // namespace travin
