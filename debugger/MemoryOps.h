// Upload, erase and start-up time of the board's EEPROM.
//
// Upload collects the board's program first and replaces the listing only
// when the whole transfer succeeded: the question asks the user's consent
// to replace the listing, not to lose it on a failed transfer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include "debugger/DebuggerParts.h"

namespace travin {


class MemoryOps {
public:
    explicit MemoryOps(DebuggerParts& parts) : wb(parts) {}

    void UploadMenuClick();
    // The button and the menu entry are one operation.
    void EraseButtonClick();
    void EraseMemoryMenuClick();
    void StartupTimeMenuClick();

private:
    // "Upload Failed\r\n" and the controls back; the listing is untouched.
    void uploadFailed();

    DebuggerParts& wb;
};

}  // namespace travin
