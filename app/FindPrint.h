// Find in the listing and printing the listing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace travin {

class Workbench;

class FindPrint {
public:
    explicit FindPrint(Workbench& workbench) : wb(workbench) {}

    void EditFind1Execute();
    void FindDialog1Find();
    void PrintMenuClick();

private:
    Workbench& wb;
};

}  // namespace travin
