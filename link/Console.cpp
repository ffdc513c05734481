#include "link/Console.h"

#include <algorithm>

#include "core/LineTimes.h"

namespace travin {

namespace {
// The pane shows at most this many characters, the newest. A line that
// never ends (a program redrawing a status line with CR) would otherwise grow
// for as long as the program runs, and be copied to the pane on every tick.
constexpr std::size_t kPaneCharacters = 65536;

// Cut a long line back to its last kPaneCharacters characters once it has
// grown to twice that, so the cut costs nothing per byte on average. What the
// pane shows is unchanged: it shows only the last kPaneCharacters characters
// of the whole text, and those lie within such a line.
void keepLineTail(std::string& line) {
    if (line.size() > 2 * kPaneCharacters) line.erase(0, line.size() - kPaneCharacters);
}
}  // namespace

void Console::ConsoleWriteChar(std::uint8_t byte) {
    wb.screens.console.programByte(byte);
    if (handOverMs == 0) handOverMs = wallClockMs();
    if (!bytesListeners.empty()) receivedBytes.push_back(static_cast<char>(byte));
    addByte(byte);
}

void Console::addByte(std::uint8_t byte) {
    applyByte(byte);
    // Kept until the pane has them, so that a user edit of the pane before
    // the next flush cannot drop them (see paneEdited).
    if (byte != 0) unflushed.push_back(static_cast<char>(byte));
}

void Console::applyByte(std::uint8_t byte) {
    const std::size_t linesBefore = consoleLines.size();
    if (byte == '\n') {
        consoleLines.emplace_back(" ");
    } else if (byte != 0) {
        if (consoleLines.empty()) {
            consoleLines.emplace_back(1, static_cast<char>(byte));
        } else {
            consoleLines.back().push_back(static_cast<char>(byte));
            keepLineTail(consoleLines.back());
        }
        // A line's time is when its first byte came (not the LF before it).
        if (consoleLines.backTime() == 0) {
            if (handOverMs == 0) handOverMs = wallClockMs();
            consoleLines.setBackTime(handOverMs);
        }
    }
    // Trimmed by the count taken before the byte, so the pane settles at
    // the limit or one line more.
    if (linesBefore > keptLines) consoleLines.pop_front();
    dirty = true;
}

void Console::ConsoleWrite(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    wb.screens.console.workbenchText(text);
    for (char c : text) addByte(static_cast<std::uint8_t>(c));
}

void Console::ConsoleWriteBytes(const std::uint8_t* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) ConsoleWriteChar(bytes[i]);
}

void Console::DebuggerClearWindowExecute() {
    consoleLines.clear();
    consoleLines.emplace_back(" ");
    unflushed.clear();
    dirty = true;
    flush();
}

void Console::setBytesListener(ConsoleBytesListener* listener) {
    bytesListeners.clear();
    if (listener) bytesListeners.push_back(listener);
}

void Console::addBytesListener(ConsoleBytesListener* listener) {
    if (listener && std::find(bytesListeners.begin(), bytesListeners.end(), listener) == bytesListeners.end())
        bytesListeners.push_back(listener);
}

void Console::removeBytesListener(ConsoleBytesListener* listener) {
    std::erase(bytesListeners, listener);
}

void Console::setLineLimit(std::size_t lines) { keptLines = std::max<std::size_t>(lines, 1); }

void Console::flush() {
    const std::int64_t handedOverAt = handOverMs;
    handOverMs = 0;
    if (!receivedBytes.empty()) {
        // Swapped out first: a listener may run anything, even a flush.
        std::string chunk;
        chunk.swap(receivedBytes);
        const std::vector<ConsoleBytesListener*> listeners = bytesListeners;
        for (ConsoleBytesListener* listener : listeners)
            listener->consoleBytesReceivedAt(chunk, handedOverAt ? handedOverAt : wallClockMs());
    }
    if (!dirty) return;
    dirty = false;
    unflushed.clear();
    if (consoleLines.wholeChanged()) {
        const ConsoleLinesChange whole = consoleLines.whole();
        consoleLines.handedOver();
        wb.screens.console.setTimedConsoleLines(whole);
    } else {
        wb.screens.console.changeConsoleLines(consoleLines.takeChange());
    }
}

void Console::paneEdited() {
    const std::vector<std::string> paneLines = wb.screens.console.consoleLines();
    consoleLines.assign(paneLines.begin(), paneLines.end());
    // The lines the user left keep their arrival times.
    const std::vector<std::int64_t> paneTimes = wb.screens.console.consoleLineTimes();
    if (paneTimes.size() == paneLines.size()) consoleLines.assignTimes(paneTimes);
    // Output written since the last hand-over is not in the pane yet: it
    // follows the user's edit, by the same rules, and reaches the pane at
    // the next flush.
    const std::string pending = std::move(unflushed);
    unflushed.clear();
    for (char c : pending) applyByte(static_cast<std::uint8_t>(c));
    dirty = !pending.empty();
    if (dirty) unflushed = pending;
}

}  // namespace travin
