// Choosing the COM port, and the port file next to the executable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace travin {

class Workbench;

class PortSelection {
public:
    explicit PortSelection(Workbench& workbench) : wb(workbench) {}

    void SelectPortButtonClick();
    void SelectPortMenuClick();
    void Button1Click(int item);
    void ReadPortFile();
    void WritePortFile();

private:
    Workbench& wb;
};

}  // namespace travin
