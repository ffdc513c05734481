// The collaborators every object of the link reaches: the shared state, the
// screens, the control table and the link's own objects, plus the events it
// reports to the layer above. The composition (workbench/) fills it in.
#pragma once

#include <string>

#include "core/Controls.h"
#include "core/Locations.h"
#include "core/LinkEvents.h"
#include "core/ScreenInterfaces.h"
#include "core/WorkbenchState.h"

namespace travin {

class SerialDriver;
class CommandLink;
class Console;
class Monitor;
class PortSelection;
class SerialCatalogue;

struct LinkParts {
    WorkbenchState& state;
    Screens& screens;
    Controls& controls;
    SerialDriver& serial;
    CommandLink& link;
    Console& console;
    Monitor& monitor;
    PortSelection& port;
    LinkEvents& events;
    SerialCatalogue& catalogue;
    // Where the port file and the com<n> links are kept.
    const Locations& locations;
};

}  // namespace travin
