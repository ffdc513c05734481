// The console log: everything the board prints, each line behind the time
// it arrived ("HH:MM:SS.mmm "), appended to a file.
//
// Either one file a day in a folder ("travin-YYYY-MM-DD.log", local date;
// a line that begins after midnight goes to the next day's file) or one file
// the user picked. The bytes are written as they came (CR LF and every
// other byte unchanged); only the stamps are added.
//
// The caller (the window's thread, once per monitor tick) only stamps the
// bytes and queues them: a writer thread writes and flushes them within a
// fraction of a second, so a slow or stalled disk never holds the window up
// and a workbench that is killed loses at most the last second. The queue
// is bounded: while the disk does not keep up, what does not fit is dropped,
// onBehind is told once, and when the disk catches up a line in the log says
// how many bytes are missing there.
//
// A file that cannot be opened or written stops the log; problem() says
// why, and onStopped is told once. The writer never calls back: a failure is
// told on the caller's thread, at its next hand-over or at stop().
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/ConsoleBytesListener.h"
#include "core/LineTimes.h"
#include "core/LogWriter.h"

namespace travin {

class ConsoleLog : public ConsoleBytesListener {
public:
    // Bytes the log may hold for a slow disk before it drops.
    static constexpr std::size_t kDefaultQueueLimit = 4 << 20;

    explicit ConsoleLog(std::size_t queueLimit = kDefaultQueueLimit) : queueLimit(queueLimit) {}
    // Stops without telling anyone.
    ~ConsoleLog() override;
    ConsoleLog(const ConsoleLog&) = delete;
    ConsoleLog& operator=(const ConsoleLog&) = delete;

    // One file a day in `folder` (ending in a separator, created when
    // missing). False, with problem() set, when the file cannot be opened.
    bool startDaily(const std::string& folder, std::int64_t wallMs);
    // Appends to the file at `path`.
    bool startFile(const std::string& path);
    // Writes everything handed over (waiting for the disk a few seconds at
    // most) and closes the file. A failure found here is told.
    void stop();

    bool active() const { return writer != nullptr; }
    // The file being written (or last written).
    const std::string& path() const { return currentPath; }
    const std::string& problem() const { return lastProblem; }
    // Told when a write fails and the log stops, on the caller's thread:
    // at the hand-over after the writer failed, or in stop() (also when
    // stop() finds bytes left unwritten). Not told for a stop that went well.
    std::function<void(const std::string& problem)> onStopped;
    // Told once a log, when the disk first falls so far behind that bytes
    // are dropped; the log goes on.
    std::function<void(const std::string& note)> onBehind;

    void consoleBytesReceived(std::string_view bytes) override;
    // The bytes with the time their hand-over began to arrive.
    void consoleBytesReceivedAt(std::string_view bytes, std::int64_t wallMs) override;

    static std::string dailyFileName(std::int64_t wallMs);

private:
    bool open(const std::string& path);
    void queue(std::string_view bytes, std::int64_t wallMs);
    bool queueDropNote(std::int64_t wallMs);
    // Ends the writer; tells onStopped when it had failed and `tell`.
    void end(bool tell);
    // True (after telling) when the writer has failed.
    bool failed();

    const std::size_t queueLimit;
    std::unique_ptr<LogWriter> writer;
    std::string currentPath;
    std::string dailyFolder;  // empty: one picked file
    std::string currentDay;
    std::string lastProblem;
    LineStamper stamper;
    std::string buffer;
    std::size_t droppedBytes = 0;  // since the queue last took bytes
    bool behindTold = false;
};

}  // namespace travin
