#include "debugger/Download.h"

#include "app/Workbench.h"

namespace travin {

// Staged: filled in by its own issue.
bool Download::CheckProgramLimits() {
    return false;
}

void Download::DownloadProgram() {
}

void Download::DebuggerDownloadExecute() {
}

}  // namespace travin
