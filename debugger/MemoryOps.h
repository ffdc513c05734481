// Upload, erase and start-up time of the board's EEPROM.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace travin {

class Workbench;

class MemoryOps {
public:
    explicit MemoryOps(Workbench& workbench) : wb(workbench) {}

    void UploadMenuClick();
    void EraseButtonClick();
    void EraseMemoryMenuClick();
    void StartupTimeMenuClick();

private:
    Workbench& wb;
};

}  // namespace travin
