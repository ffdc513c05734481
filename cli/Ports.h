// travin-cli ports: the COM numbers and what each leads to, and the serial
// devices the system has, as the window's Devices list shows them; no
// board is needed.
#pragma once

#include "cli/Terminal.h"
#include "core/Locations.h"

namespace travin::cli {

int listPorts(Terminal& terminal, const Locations& folder, bool json);

}  // namespace travin::cli
