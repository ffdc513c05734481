// The commands of travin-cli, each on the workbench's own handlers.
#pragma once

#include <string>
#include <vector>

#include "cli/Terminal.h"
#include "core/Locations.h"

namespace travin::cli {

struct Options {
    std::vector<std::string> ports;   // empty: the remembered port
    std::string command;
    std::vector<std::string> args;    // the command's plain arguments
    std::vector<int> breaks;          // --break, listing lines from 1
    double timeoutSeconds = 0;        // --timeout; 0: none
    bool detach = false;
    bool json = false;
    bool yes = false;
    std::string outFile;              // upload -o
    bool timestamps = false;          // run, console: times before lines
    std::string logFile;              // run, console: --log FILE
};

// The port the workbench remembered (its port file), else COM1.
std::string rememberedPort(const Locations& locations);

// Runs the command on every port (download and run at the same time, one
// thread per board); the exit code is the worst of them.
int runCommand(const Options& options, Terminal& terminal, const Locations& locations);

// Whether a command name is known and how many plain arguments it takes.
bool knownCommand(const std::string& command, std::size_t args, std::string& problem);

}  // namespace travin::cli
