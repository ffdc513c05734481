#include "core/ConsoleLog.h"

#include <cerrno>
#include <cstring>

#include "core/FilePath.h"
#include "core/Locations.h"

namespace travin {

ConsoleLog::~ConsoleLog() { end(false); }

std::string ConsoleLog::dailyFileName(std::int64_t wallMs) { return "travin-" + calendarDay(wallMs) + ".log"; }

bool ConsoleLog::open(const std::string& path) {
    currentPath = path;
    // Opened here, so that a file that cannot be opened is said at once.
    std::FILE* file = openFile(path, "ab");
    if (!file) {
        lastProblem = "Cannot open the log " + path + ": " + std::strerror(errno);
        return false;
    }
    lastProblem.clear();
    droppedBytes = 0;
    behindTold = false;
    writer = std::make_unique<LogWriter>(file, path, queueLimit);
    return true;
}

bool ConsoleLog::startDaily(const std::string& folder, std::int64_t wallMs) {
    stop();
    if (const std::string why = ensureFolder(folder); !why.empty()) {
        lastProblem = why;
        return false;
    }
    dailyFolder = folder;
    currentDay = calendarDay(wallMs);
    stamper = LineStamper();
    return open(folder + dailyFileName(wallMs));
}

bool ConsoleLog::startFile(const std::string& path) {
    stop();
    dailyFolder.clear();
    stamper = LineStamper();
    return open(path);
}

void ConsoleLog::stop() { end(true); }

void ConsoleLog::end(bool tell) {
    if (!writer) return;
    // The disk may have caught up since the last hand-over.
    if (droppedBytes > 0) queueDropNote(wallClockMs());
    const bool finished = writer->finish();
    std::string problem = writer->failure();
    if (problem.empty() && droppedBytes > 0)
        problem = "Cannot write the log " + currentPath + ": the last " + std::to_string(droppedBytes) +
                  " bytes were not logged, the disk did not keep up";
    if (problem.empty() && !finished)
        problem = "The log " + currentPath + " is not written to the end yet: the disk did not take it within " +
                  std::to_string(LogWriter::kDefaultFinishWait.count() / 1000) + " s";
    writer.reset();
    if (problem.empty()) return;
    lastProblem = problem;
    if (tell && onStopped) onStopped(lastProblem);
}

bool ConsoleLog::failed() {
    const std::string why = writer->failure();
    if (why.empty()) return false;
    // The writer has given up; it closes its file without us waiting.
    writer->finish(std::chrono::milliseconds(0));
    writer.reset();
    lastProblem = why;
    if (onStopped) onStopped(lastProblem);
    return true;
}

void ConsoleLog::consoleBytesReceived(std::string_view bytes) { consoleBytesReceivedAt(bytes, wallClockMs()); }

void ConsoleLog::consoleBytesReceivedAt(std::string_view bytes, std::int64_t wallMs) {
    if (!writer || failed()) return;
    if (!dailyFolder.empty() && calendarDay(wallMs) != currentDay) {
        // The line under way ends in the old day's file; the next begins the
        // new one.
        if (!stamper.atLineStart()) {
            const std::size_t lf = bytes.find('\n');
            if (lf == std::string_view::npos) {
                queue(bytes, wallMs);
                return;
            }
            queue(bytes.substr(0, lf + 1), wallMs);
            bytes.remove_prefix(lf + 1);
        }
        currentDay = calendarDay(wallMs);
        currentPath = dailyFolder + dailyFileName(wallMs);
        writer->switchTo(currentPath);
    }
    queue(bytes, wallMs);
}

void ConsoleLog::queue(std::string_view bytes, std::int64_t wallMs) {
    if (bytes.empty()) return;
    // Once behind, the log waits until half the queue is free again, so
    // that a disk just short of the pace gives few gaps rather than many.
    if (droppedBytes > 0 && (writer->queued() > queueLimit / 2 || !queueDropNote(wallMs))) {
        droppedBytes += bytes.size();
        return;
    }
    const LineStamper before = stamper;
    buffer.clear();
    stamper.stamp(bytes, wallMs, buffer);
    if (writer->append(buffer)) return;
    stamper = before;
    droppedBytes += bytes.size();
    if (!behindTold) {
        behindTold = true;
        if (onBehind)
            onBehind("The disk does not keep up with the log " + currentPath +
                     ": what it cannot take is left out, and the log says how many bytes");
    }
}

bool ConsoleLog::queueDropNote(std::int64_t wallMs) {
    buffer.clear();
    // The note stands on a line of its own.
    if (!stamper.atLineStart()) buffer += "\r\n";
    LineStamper fresh;
    // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about "[" + text.
    std::string note = std::to_string(droppedBytes);
    note.insert(0, 1, '[');
    note += " bytes not logged: the disk did not keep up]\r\n";
    fresh.stamp(note, wallMs, buffer);
    if (!writer->append(buffer)) return false;
    stamper = fresh;
    droppedBytes = 0;
    return true;
}

}  // namespace travin
