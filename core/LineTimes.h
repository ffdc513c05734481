// Arrival times of console lines, as the console pane, the console log and
// the command-line client show them: the local time of day "HH:MM:SS.mmm".
//
//   wallClockMs()      the wall clock, milliseconds since the epoch
//   timeOfDay(ms)      "HH:MM:SS.mmm", local time
//   calendarDay(ms)    "YYYY-MM-DD", local time (the log's file name)
//   localMsOfDay(ms)   milliseconds since local midnight
//   LineStamper        puts "HH:MM:SS.mmm " in front of every line of a byte
//                      stream, each line when its first byte comes
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace travin {

std::int64_t wallClockMs();
std::string timeOfDay(std::int64_t wallMs);
std::string calendarDay(std::int64_t wallMs);
// Milliseconds since local midnight, and that as "HH:MM:SS.mmm".
int localMsOfDay(std::int64_t wallMs);
std::string timeOfDayFromMs(int msOfDay);

// The text a time stamp puts in front of a line: the time and one blank.
inline constexpr std::size_t kStampWidth = 13;

class LineStamper {
public:
    // Appends `bytes` to `out`, a stamp of `wallMs` before the first byte of
    // each line. A line starts with the first byte ever and after each LF;
    // its stamp waits for that byte, so a line is stamped with the time it
    // began to arrive, not the time the LF before it came.
    void stamp(std::string_view bytes, std::int64_t wallMs, std::string& out);
    bool atLineStart() const { return lineStart; }

private:
    bool lineStart = true;
};

}  // namespace travin
