// What run and console may do with the board's output on its way to
// stdout: put each line's arrival time in front ("HH:MM:SS.mmm ", with
// --timestamps) and append it, each line behind its time, to a file (with
// --log FILE), as the workbench's Timestamps and Log to File do.
//
// Installed as the terminal's output filter, so it sees the bytes as they
// are written (a line's time is when the client wrote its first byte) and
// runs under the terminal's lock: boards sharing the terminal keep their
// lines whole, each behind its port's name and the time in front of both.
#pragma once

#include <string>
#include <string_view>

#include "core/ConsoleLog.h"
#include "core/LineTimes.h"

namespace travin::cli {

class StampedOutput {
public:
    // Opens the log (appending) when `logPath` is not empty; false with
    // `problem` set when it cannot be opened.
    bool start(bool stampOutput, const std::string& logPath, std::string& problem);

    // The bytes as stdout gets them; the log gets them stamped.
    std::string filter(std::string_view bytes);
    // Writes the rest of the log and closes it; a failure is said on stderr.
    // Called once the boards no longer write.
    void finish() { log.stop(); }

private:
    bool stamps = false;
    LineStamper stamper;
    ConsoleLog log;
};

}  // namespace travin::cli
