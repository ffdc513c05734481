// New, Open, Save, Save As, Exit and the close query.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace travin {

class Workbench;

class SourceFiles {
public:
    explicit SourceFiles(Workbench& workbench) : wb(workbench) {}

    void FileNewExecute();
    void FileOpenExecute();
    void FileSaveExecute();
    void FileSaveAsExecute();
    void FileExitExecute();
    // Returns true when the window may close.
    bool FormCloseQuery();
    // Asks about unsaved changes; returns false when the user cancelled.
    bool QuerySaveChanges();

private:
    Workbench& wb;
};

}  // namespace travin
