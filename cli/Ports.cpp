#include "cli/Ports.h"

#include "cli/ExitCodes.h"
#include "cli/Json.h"
#include "link/PortSelection.h"
#include "link/SerialCatalogue.h"
#include "link/SerialDriver.h"

namespace travin::cli {

int listPorts(Terminal& terminal, const Locations& folder, bool json) {
    // The same catalogue the window's Devices list shows.
    SerialDriver driver([](const std::string&) {}, comLinkFolder(folder.configFolder));
    const auto source = systemSerialDevices();
    SerialCatalogue catalogue(driver, *source);
    const auto devices = catalogue.devices();
    std::string text;
    if (json) {
        text = "{\"ports\": [";
        for (int n = 1; n <= 8; ++n) {
            text += n > 1 ? ", " : "";
            text += "{\"name\": " + jsonString(PortSelection::portName(n)) +
                    ", \"target\": " + jsonSystemString(catalogue.comTarget(n).text()) + "}";
        }
        text += "], \"devices\": [";
        for (std::size_t i = 0; i < devices.size(); ++i) {
            const auto& d = devices[i];
            text += i > 0 ? ", " : "";
            text += "{\"path\": " + jsonSystemString(d.path) + ", \"by_id\": " + jsonSystemString(d.byIdPath) +
                    ", \"description\": " + jsonSystemString(d.description) +
                    ", \"usb\": " + (d.isUsb() ? jsonString(d.usbIds()) : std::string("null")) + "}";
        }
        text += "]}\n";
    } else {
        for (int n = 1; n <= 8; ++n) text += PortSelection::portName(n) + "  " + catalogue.comTarget(n).text() + "\n";
        text += devices.empty() ? "no serial devices found\n" : "serial devices:\n";
        for (const auto& device : devices) {
            text += "  " + device.path;
            if (!device.byIdPath.empty()) text += "  " + device.byIdPath;
            if (!device.description.empty()) text += "  " + device.description;
            if (device.isUsb()) text += "  [" + device.usbIds() + "]";
            text += "\n";
        }
    }
    terminal.writeOutput(text);
    return kDone;
}

}  // namespace travin::cli
