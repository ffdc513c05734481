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

#include "core/ConsoleBytesListener.h"
#include "link/ConsoleLines.h"
#include "link/LinkParts.h"

namespace travin {

class Console {
public:
    explicit Console(LinkParts& parts) : wb(parts) {}

    // Appends one byte the board sent to the last line; LF starts a new
    // line " ". The most recent lineLimit() lines are kept, or one more
    // after an LF (101 or 102 unless set otherwise); a line longer than
    // twice the pane's 65536 characters keeps only its newest 65536. The
    // byte also goes to the listener, if any, at the next flush.
    void ConsoleWriteChar(std::uint8_t byte);
    // The workbench's own text, appended as ConsoleWriteChar does up to the
    // end (or a zero byte), but not handed to the listener.
    void ConsoleWrite(std::string_view text);
    // ConsoleWriteChar for every byte received, zero bytes included.
    void ConsoleWriteBytes(const std::uint8_t* bytes, std::size_t count);
    // Clears the pane and leaves one line " ".
    void DebuggerClearWindowExecute();

    // Hands the board's bytes since the last flush to the listener, and the
    // pane what changed in the lines since then, as one change, if anything
    // did.
    void flush();
    // Readers of the board's bytes besides the pane (the plot, the log).
    // setBytesListener leaves only `listener` (none for null).
    void setBytesListener(ConsoleBytesListener* listener);
    void addBytesListener(ConsoleBytesListener* listener);
    void removeBytesListener(ConsoleBytesListener* listener);

    // How many lines are kept before the oldest go (the history's length);
    // at least 1.
    void setLineLimit(std::size_t lines);
    std::size_t lineLimit() const { return keptLines; }
    // Lines let go from the front since the console was last cleared.
    std::uint64_t droppedLines() const { return consoleLines.droppedSinceClear(); }
    // The arrival time of each line (wall-clock milliseconds; 0 where
    // nothing arrived), the time the first byte of its hand-over was read.
    std::vector<std::int64_t> lineTimes() const { return consoleLines.whole().tailTimes; }
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
    std::vector<ConsoleBytesListener*> bytesListeners;
    // The board's bytes since the last flush, for the listeners.
    std::string receivedBytes;
    std::size_t keptLines = 101;
    // When the first byte since the last flush came; 0 before it.
    std::int64_t handOverMs = 0;
};

}  // namespace travin
