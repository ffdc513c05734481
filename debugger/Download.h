// The listing limits and the download of the listing to the board.
//
// The download sends the listing as numbered 130-byte pages at the raised
// rate, lowers the rate again and ends with the breakpoint table. Success
// shows as "Done\r\n" with `detected` still true and downloadNeeded clear.
// A page the board refuses (it could not store it) ends the download as a
// failure, with the line back at the normal rate and downloadNeeded set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include "debugger/DebuggerParts.h"

namespace travin {


class Download {
public:
    explicit Download(DebuggerParts& parts) : wb(parts) {}

    // True when the listing fits the board; otherwise the reason is on the
    // console and the offending line is marked.
    bool CheckProgramLimits();
    void DownloadProgram();
    // The limit check, then (only if it passes) the download.
    void DebuggerDownloadExecute();

private:
    // "Download Failed\r\n" and the controls back by target state.
    void fail();
    // The board answered a page with its refusal (it could not store it).
    void pageRefused(std::size_t page);

    DebuggerParts& wb;
};

}  // namespace travin
