// What a command checks and reads before it touches any board: the program
// file it sends (limits, zero bytes, an empty program), the listing step's
// --source names, the variables vars sets, an ACI text's length. A refusal
// here is printed at once and nothing is sent.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cli/Options.h"
#include "cli/Terminal.h"
#include "core/Locations.h"

namespace travin::cli {

// What a command needs before it touches any board: the program it sends,
// the listing --source gives, the variables it sets.
struct Prepared {
    std::vector<std::string> program;
    std::string programName;
    std::vector<std::string> source;
    std::vector<std::pair<int, std::int32_t>> assignments;
    // The answers of each --input file, by port.
    std::map<std::string, std::deque<std::string>> answers;
};

// kDone when the command may go on; else its exit code, the reason shown.
int prepare(const Options& options, Terminal& terminal, const Locations& locations, Prepared& prepared);

// Reads FILE (stdin for "-") into `prepared.program` and checks it as the download
// would: kDone, or kRefused / kUsage with FILE:LINE: and the reason shown.
int loadProgram(Terminal& terminal, const Locations& locations, const std::string& file, Prepared& prepared);

}  // namespace travin::cli
