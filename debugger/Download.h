// The listing limits and the download of the listing to the board.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace travin {

class Workbench;

class Download {
public:
    explicit Download(Workbench& workbench) : wb(workbench) {}

    bool CheckProgramLimits();
    void DownloadProgram();
    void DebuggerDownloadExecute();

private:
    Workbench& wb;
};

}  // namespace travin
