// The Input-Output pane as a list of lines that console output appends to.
//
// The lines live here, so that a program printing at the full line rate
// costs one string append per byte; the pane is handed the lines by flush(),
// once per monitor tick (and before anything that lets the screen repaint).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "link/ConsoleLines.h"
#include "link/LinkParts.h"

namespace travin {

class Console {
public:
    explicit Console(LinkParts& parts) : wb(parts) {}

    // Appends one byte to the last line; LF starts a new line " ". The most
    // recent 101 or 102 lines are kept; a line longer than twice the pane's
    // 65536 characters keeps only its newest 65536.
    void ConsoleWriteChar(std::uint8_t byte);
    // ConsoleWriteChar for each byte up to the end (or a zero byte).
    void ConsoleWrite(std::string_view text);
    // ConsoleWriteChar for every byte received, zero bytes included.
    void ConsoleWriteBytes(const std::uint8_t* bytes, std::size_t count);
    // Clears the pane and leaves one line " ".
    void DebuggerClearWindowExecute();

    // Hands the pane what changed in the lines since the last flush, as one
    // change, if anything did.
    void flush();
    // The user typed into the pane: take its lines as they now stand, with
    // the output written since the last flush added after them.
    void paneEdited();

    const std::deque<std::string>& lines() const { return consoleLines.all(); }

private:
    // One byte by the console's rules, without remembering it for the pane.
    void applyByte(std::uint8_t byte);
    // One byte by the console's rules, remembered until the pane has it.
    void addByte(std::uint8_t byte);

    LinkParts& wb;
    ConsoleLines consoleLines;
    bool dirty = false;
    // Bytes written since the last flush, in order.
    std::string unflushed;
};

}  // namespace travin
