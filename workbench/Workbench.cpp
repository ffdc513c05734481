#include "workbench/Workbench.h"

#include <utility>

namespace travin {

Workbench::Workbench(const Screens& s, std::string folder) : Workbench(s, Locations::allIn(std::move(folder))) {}

Workbench::Workbench(const Screens& s, Locations where)
    : screens(s),
      locations(std::move(where)),
      parts{{state, screens, controls, serial, link, console, monitor, port, events, catalogue, locations},
            download, execution, breakpoints, variables, memory, input},
      events(parts),
      serial([this](const std::string& text) { screens.notices.ShowNotice(text); },
             comLinkFolder(locations.configFolder)),
      link(parts),
      console(parts),
      monitor(parts),
      controls(state, screens),
      port(parts),
      systemDevices(systemSerialDevices()),
      catalogue(serial, *systemDevices),
      download(parts),
      execution(parts),
      breakpoints(parts),
      variables(parts),
      memory(parts),
      input(parts),
      files(parts),
      find(parts),
      help(parts),
      notes(parts) {
    events.afterStop = [this] { notes.BoardStopped(); };
}

void Workbench::FormCreate(WindowSetup& window) {
    window.setHelpFile(locations.helpFolder + "tnhelp.html");
    state.fileName = "Untitled.txt";
    screens.main.setStatusText(state.fileName);
    window.setCaption("Travin");
    screens.listing.clear();
    breakpoints.ClearBreakpoints();
    state.unsavedChanges = false;
    window.setListingTabStops(32, 24);
    screens.listing.setModified(false);
    window.setWindowSize(800, 662);
    window.setResizeReady();
    window.saveLayout();
    // Clearing the console leaves the single " " line every console line
    // starts with.
    console.DebuggerClearWindowExecute();
    screens.timer.setTimerEnabled(true);
    window.limitAciLine(39);
    controls.UpdateControls();
    port.ReadPortFile();
}

}  // namespace travin
