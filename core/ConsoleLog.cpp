#include "core/ConsoleLog.h"

#include <cerrno>
#include <cstring>

#include "core/FilePath.h"
#include "core/Locations.h"

namespace travin {

ConsoleLog::~ConsoleLog() { stop(); }

std::string ConsoleLog::dailyFileName(std::int64_t wallMs) { return "travin-" + calendarDay(wallMs) + ".log"; }

bool ConsoleLog::open(const std::string& path) {
    currentPath = path;
    file = openFile(path, "ab");
    if (!file) {
        lastProblem = "Cannot open the log " + path + ": " + std::strerror(errno);
        return false;
    }
    lastProblem.clear();
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

void ConsoleLog::stop() {
    if (!file) return;
    std::fclose(file);
    file = nullptr;
}

void ConsoleLog::fail(const std::string& why) {
    lastProblem = why;
    stop();
    if (onStopped) onStopped(lastProblem);
}

void ConsoleLog::consoleBytesReceived(std::string_view bytes) { consoleBytesReceivedAt(bytes, wallClockMs()); }

void ConsoleLog::consoleBytesReceivedAt(std::string_view bytes, std::int64_t wallMs) {
    if (!file) return;
    if (!dailyFolder.empty() && calendarDay(wallMs) != currentDay) {
        // The line under way ends in the old day's file; the next begins the
        // new one.
        if (!stamper.atLineStart()) {
            const std::size_t lf = bytes.find('\n');
            if (lf == std::string_view::npos) {
                write(bytes, wallMs);
                return;
            }
            write(bytes.substr(0, lf + 1), wallMs);
            bytes.remove_prefix(lf + 1);
            if (!file) return;
        }
        stop();
        currentDay = calendarDay(wallMs);
        if (!open(dailyFolder + dailyFileName(wallMs))) {
            fail(lastProblem);
            return;
        }
    }
    write(bytes, wallMs);
}

void ConsoleLog::write(std::string_view bytes, std::int64_t wallMs) {
    if (bytes.empty()) return;
    buffer.clear();
    stamper.stamp(bytes, wallMs, buffer);
    if (std::fwrite(buffer.data(), 1, buffer.size(), file) != buffer.size() || std::fflush(file) != 0) {
        fail("Cannot write the log " + currentPath + ": " + std::strerror(errno));
    }
}

}  // namespace travin
