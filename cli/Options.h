// The command line of travin-cli: options, command and its arguments,
// parsed and checked before anything touches a board.
//
// The options are one table (name, whether a value follows, the commands
// that take it); a new option is one row there and one field here.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace travin::cli {

struct Options {
    std::vector<std::string> ports;   // empty: TRAVIN_PORT, else the remembered port
    std::string command;
    std::vector<std::string> args;    // the command's plain arguments
    std::vector<int> breaks;          // --break, listing lines from 1
    double timeoutSeconds = 0;        // --timeout; 0: none
    bool detach = false;
    bool json = false;
    bool yes = false;
    bool quiet = false;
    bool reset = false;               // run: start the stored program afresh
    bool outFileGiven = false;
    std::string outFile;              // upload -o; "-" is stdout
    std::string sourceFile;           // step --source
    bool timestamps = false;          // run, console: each line behind its time
    std::string logFile;              // run, console: --log FILE
    // --input PORT=FILE: that board's answers, one line each, from FILE.
    std::vector<std::pair<std::string, std::string>> inputFiles;

    bool writesToFile() const { return outFileGiven && outFile != "-"; }
};

// What the command line asks for: a command to run, or --help / --version
// already answered, or a usage error (its one-line reason).
struct ParsedCommandLine {
    Options options;
    bool showHelp = false;
    bool showVersion = false;
    std::string usageProblem;
};

// `words` without the program's name; `environmentPort` is TRAVIN_PORT's
// value (or nothing).
ParsedCommandLine parseCommandLine(const std::vector<std::string>& words,
                                   const std::optional<std::string>& environmentPort);

// COM1..COM8 in any case becomes "COMn"; a device path stays as it is.
// False when the name is neither.
bool normalPortName(std::string& name);

}  // namespace travin::cli
