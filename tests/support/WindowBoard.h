// A virtual board beside a window under test: it keeps its image and its
// com<n> link in the test's folder, writes pages at once and does not start
// a stored program at power-on.
#pragma once

#include <filesystem>
#include <memory>

#include "board/VirtualBoard.h"

namespace travin::testing {

inline std::unique_ptr<vboard::VirtualBoard> startWindowBoard(const std::filesystem::path& folder) {
    vboard::BoardOptions options;
    options.eepromPath = (folder / "board.eeprom").string();
    options.linkDir = folder.string();
    options.pageWriteMs = 0;
    options.powerOnRun = false;
    auto board = std::make_unique<vboard::VirtualBoard>(options);
    board->start();
    return board;
}

}  // namespace travin::testing
