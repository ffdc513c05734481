// The console log: everything the board prints, each line behind the time
// it arrived ("HH:MM:SS.mmm "), appended to a file.
//
// Either one file a day in a folder ("travin-YYYY-MM-DD.log", local date;
// a line that begins after midnight goes to the next day's file) or one file
// the user picked. Every hand-over of bytes (once per monitor tick) is
// written and flushed at once, so a workbench that is killed loses at most
// what it had not yet read from the board. The bytes are written as they
// came (CR LF and every other byte unchanged); only the stamps are added.
//
// A file that cannot be opened or written stops the log; problem() says
// why, and onStopped is told once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "core/ConsoleBytesListener.h"
#include "core/LineTimes.h"

namespace travin {

class ConsoleLog : public ConsoleBytesListener {
public:
    ConsoleLog() = default;
    ~ConsoleLog() override;
    ConsoleLog(const ConsoleLog&) = delete;
    ConsoleLog& operator=(const ConsoleLog&) = delete;

    // One file a day in `folder` (ending in a separator, created when
    // missing). False, with problem() set, when the file cannot be opened.
    bool startDaily(const std::string& folder, std::int64_t wallMs);
    // Appends to the file at `path`.
    bool startFile(const std::string& path);
    void stop();

    bool active() const { return file != nullptr; }
    // The file being written (or last written).
    const std::string& path() const { return currentPath; }
    const std::string& problem() const { return lastProblem; }
    // Told when a write fails and the log stops (not when stop() is called).
    std::function<void(const std::string& problem)> onStopped;

    void consoleBytesReceived(std::string_view bytes) override;
    // The bytes with the time their hand-over began to arrive.
    void consoleBytesReceivedAt(std::string_view bytes, std::int64_t wallMs) override;

    static std::string dailyFileName(std::int64_t wallMs);

private:
    bool open(const std::string& path);
    void write(std::string_view bytes, std::int64_t wallMs);
    void fail(const std::string& why);

    std::FILE* file = nullptr;
    std::string currentPath;
    std::string dailyFolder;  // empty: one picked file
    std::string currentDay;
    std::string lastProblem;
    LineStamper stamper;
    std::string buffer;
};

}  // namespace travin
