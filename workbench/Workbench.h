// The workbench composed: the shared state, the screens it talks to, and
// every operation, grouped by subsystem. Each subsystem reaches the objects
// it works with through the parts bundle of its layer (LinkParts for the
// link, DebuggerParts for the debugger and the workbench's own objects),
// which this class fills in with its members.
//
// Only the user-interface thread uses it. The Qt layer creates one, forwards
// each event to the handler of the same name and implements the screens.
#pragma once

#include <memory>
#include <string>

#include "core/Controls.h"
#include "core/Locations.h"
#include "debugger/DebuggerEvents.h"
#include "debugger/DebuggerParts.h"
#include "workbench/FindPrint.h"
#include "workbench/Help.h"
#include "core/ScreenInterfaces.h"
#include "workbench/SourceFiles.h"
#include "workbench/StatusNotes.h"
#include "core/WorkbenchState.h"
#include "debugger/Breakpoints.h"
#include "debugger/ConsoleInput.h"
#include "debugger/Download.h"
#include "debugger/Execution.h"
#include "debugger/MemoryOps.h"
#include "debugger/Variables.h"
#include "link/CommandLink.h"
#include "link/Console.h"
#include "link/Monitor.h"
#include "link/PortSelection.h"
#include "link/SerialCatalogue.h"
#include "link/SerialDriver.h"

namespace travin {

// The window-only steps of the main window's creation, which the core
// runs in their place among its own.
class WindowSetup {
public:
    virtual ~WindowSetup() = default;
    virtual void setHelpFile(const std::string& path) = 0;
    virtual void setCaption(const std::string& caption) = 0;
    // 32 tab stops, the first at 24 points and each next 24 points further.
    virtual void setListingTabStops(int count, int stepPoints) = 0;
    virtual void setWindowSize(int width, int height) = 0;
    virtual void setResizeReady() = 0;
    virtual void saveLayout() = 0;
    virtual void limitAciLine(int characters) = 0;
};

class Workbench {
public:
    // The help documents, the port file and the com<n> device links are
    // looked up where `locations` says.
    Workbench(const Screens& screens, Locations locations);
    // Everything in the one folder `folder` (ending with a separator).
    Workbench(const Screens& screens, std::string folder);

    Workbench(const Workbench&) = delete;
    Workbench& operator=(const Workbench&) = delete;

    // The main window's creation handler: every step in its order, the
    // window-only ones through `window`.
    void FormCreate(WindowSetup& window);

    WorkbenchState state;
    Screens screens;
    const Locations locations;

private:
    // Bound to the members below before they are built; nothing uses them
    // until the constructor has finished.
    DebuggerParts parts;
    DebuggerEvents events;

public:
    SerialDriver serial;
    CommandLink link;
    Console console;
    Monitor monitor;
    Controls controls;
    PortSelection port;
    std::unique_ptr<SerialDeviceSource> systemDevices;
    SerialCatalogue catalogue;

    Download download;
    Execution execution;
    Breakpoints breakpoints;
    Variables variables;
    MemoryOps memory;
    ConsoleInput input;

    SourceFiles files;
    FindPrint find;
    Help help;
    StatusNotes notes;
};

}  // namespace travin
