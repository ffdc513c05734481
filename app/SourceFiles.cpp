#include "app/SourceFiles.h"

#include "app/Workbench.h"

namespace travin {

// Staged: filled in by its own issue.
void SourceFiles::FileNewExecute() {
}

void SourceFiles::FileOpenExecute() {
}

void SourceFiles::FileSaveExecute() {
}

void SourceFiles::FileSaveAsExecute() {
}

void SourceFiles::FileExitExecute() {
}

bool SourceFiles::FormCloseQuery() {
    return false;
}

bool SourceFiles::QuerySaveChanges() {
    return false;
}

}  // namespace travin
