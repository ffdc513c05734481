// The commands of travin-cli, each on the workbench's own handlers.
#pragma once

#include <string>
#include <vector>

#include "cli/Options.h"
#include "cli/Terminal.h"
#include "core/Locations.h"

namespace travin::cli {

// The port the workbench remembered (its port file), else COM1.
std::string rememberedPort(const Locations& locations);

// Runs the command on every port (download and run at the same time, one
// thread per board; stop and reset one after the other); the exit code is
// the worst of them by meaning (cli/ExitCodes.h).
int runCommand(const Options& options, Terminal& terminal, const Locations& locations);

}  // namespace travin::cli
