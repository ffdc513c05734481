#include "link/PortSelection.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/Controls.h"
#include "core/FilePath.h"

namespace travin {

std::string PortSelection::portName(int port) {
    char name[16];
    std::snprintf(name, sizeof name, "COM%d", port);
    return name;
}

std::string PortSelection::portFilePath() const { return wb.locations.configFolder + "tnport"; }

void PortSelection::SelectPortButtonClick() {
    if (!wb.controls.RequireStopped("Select Port")) return;
    wb.screens.timer.setTimerEnabled(false);
    SelectPortMenuClick();
    wb.screens.timer.setTimerEnabled(true);
    wb.screens.main.focusListing();
}

void PortSelection::SelectPortMenuClick() {
    // From the menu the timer keeps running: the dialog is modal, and ticks
    // in its event loop go on opening and polling as usual.
    wb.screens.main.showPortDialog(wb.state.selectedPort - 1);
    wb.screens.main.setPortLabel(portName(wb.state.selectedPort));
    wb.state.reopenRequested = true;
}

void PortSelection::Button1Click(int item) {
    if (item < 0 || item > 7) return;   // no radio item checked
    wb.state.selectedPort = item + 1;
}

void PortSelection::ReadPortFile() {
    std::FILE* file = openFile(portFilePath(), "rb");
    if (!file) return;
    const int byte = std::fgetc(file);
    if (byte != EOF) {
        // As a signed 8-bit value, so bytes below "0" stay out of range too.
        const auto port = static_cast<std::int8_t>(static_cast<std::uint8_t>(byte) - '0');
        if (port >= 1 && port <= 8) {
            wb.state.selectedPort = port;
            wb.state.openPort = port;
            wb.screens.main.setPortLabel(portName(port));
        }
    }
    std::fclose(file);
}

void PortSelection::WritePortFile() {
    if (wb.locations.installed) {
        if (const std::string error = ensureFolder(wb.locations.configFolder); !error.empty()) {
            reportUnwritable(error);
            return;
        }
    }
    std::FILE* file = openFile(portFilePath(), "wb");
    if (!file) {
        if (wb.locations.installed) reportUnwritable(std::strerror(errno));
        return;
    }
    std::fputc('0' + wb.state.openPort, file);
    std::fclose(file);
}

void PortSelection::reportUnwritable(const std::string& reason) {
    // Once per run: the close query that writes the file may be repeated.
    if (unwritableReported) return;
    unwritableReported = true;
    wb.screens.notices.ShowNotice("The port file " + portFilePath() + " cannot be written: " + reason +
                                  "\nThe chosen port will not be remembered.");
}

}  // namespace travin
