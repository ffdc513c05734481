#include "link/Monitor.h"

#include <algorithm>
#include <cstdio>

#include "link/Console.h"
#include "link/CommandLink.h"
#include "link/SerialDriver.h"
#include "link/CommandTable.h"
#include "link/PortFailure.h"
#include "link/SerialCatalogue.h"

namespace travin {

namespace {

// A step with period p runs when its counter, before the increment, is a
// multiple of p; counters start at 1. The counter is kept at its remainder
// plus one instead of growing without end: the same ticks run as with an
// endless count, and it can never overflow, however long the workbench runs.
bool countedTickRuns(int& counter, int period) {
    const int remainder = counter % period;
    counter = remainder + 1;
    return remainder == 0;
}

}  // namespace

void Monitor::BackgroundProcessTimer() {
    if (ticking || wb.link.exchangeDepth() > 0) {
        ++skipped;
        return;
    }
    ticking = true;
    wb.screens.timer.setTimerEnabled(false);
    // A tick that ends in an exception still lets the next one run.
    struct TickEnd {
        Monitor& monitor;
        ~TickEnd() {
            monitor.wb.screens.timer.setTimerEnabled(true);
            monitor.ticking = false;
        }
    } end{*this};
    tick();
    // The pane shows the console once per tick, however many bytes came.
    wb.console.flush();
}

void Monitor::tick() {
    noticeListingEdits();
    if (wb.state.reopenRequested && !portTick()) return;
    if (wb.state.portHandle == kInvalidHandle) return;
    if (!wb.state.detected && !detect()) return;
    if (!readConsoleBytes()) return;
    // After the console read, so that a line that is gone is reported as
    // such before the name that pointed at it.
    if (!followPortName()) return;
    statusPoll();
}

void Monitor::noticeListingEdits() {
    if (!wb.screens.listing.modified()) return;
    wb.screens.listing.setModified(false);
    wb.state.downloadNeeded = true;
    wb.state.unsavedChanges = true;
    wb.events.ListingEdited();
}

bool Monitor::portTick() {
    WorkbenchState& s = wb.state;
    if (!countedTickRuns(s.portTickCount, kPortPeriod)) return false;
    if (s.portHandle == kInvalidHandle) {
        char name[16];
        std::snprintf(name, sizeof name, "COM%d", s.selectedPort);
        // A port that is missing or held by another program does not open;
        // the next try comes 20 counted ticks later. The reason stays in the
        // status bar meanwhile: a box would come back with every try.
        const int handle = wb.serial.SioOpen(name, kNormalBaud);
        if (handle != kInvalidHandle) {
            s.portHandle = handle;
            s.reopenRequested = false;
            s.openPort = s.selectedPort;
            showPortProblem({});
        } else {
            showPortProblem(portProblemText());
        }
        return true;
    }
    s.reopenRequested = false;
    // Closing the old port through the failure path requests the reopen,
    // so the new port opens on the next port tick.
    if (s.selectedPort != s.openPort) wb.link.LinkFailure("Serial Port Closed");
    return true;
}

std::string Monitor::portProblemText() const {
    const OpenFailure& failure = wb.serial.lastOpenFailure();
    if (!failure.failed()) return {};
    std::string hint;
    const PortFault fault = portFaultFor(failure.error, !failure.linkTarget.empty());
    if (fault == PortFault::NoSuchDevice || fault == PortFault::NoHardware || fault == PortFault::LinkPointsNowhere) {
        if (const auto adapter = wb.catalogue.soleUsbAdapter()) {
            const std::string name = adapter->description.empty() ? adapter->path
                                                                  : adapter->description + ", " + adapter->path;
            hint = "one USB serial adapter is plugged in (" + name + "): give it to " + failure.port +
                   " with Select Port > Devices";
        }
    }
    return describeOpenFailure(failure, hint);
}

void Monitor::showPortProblem(const std::string& text) {
    // Only changes reach the window, not every two-second retry.
    if (text == shownPortProblem) return;
    shownPortProblem = text;
    wb.screens.main.setPortProblem(text);
}

bool Monitor::followPortName() {
    WorkbenchState& s = wb.state;
    // A pending reopen already closes the port at its port tick.
    if (s.reopenRequested || s.openedByPath) return true;
    char name[16];
    std::snprintf(name, sizeof name, "COM%d", s.openPort);
    if (!wb.serial.SioNameMoved(s.portHandle, name)) return true;
    // The name now means another device (a board came back on its link, or
    // its link went): close this one; the port tick opens what it names.
    wb.link.LinkFailure("Serial Port Closed");
    return false;
}

bool Monitor::detect() {
    WorkbenchState& s = wb.state;
    if (!countedTickRuns(s.probeTickCount, kProbePeriod)) return false;
    // Whatever waits is late bytes of an exchange that timed out, or output
    // of a board nobody has found yet: neither is an echo or a reply.
    wb.serial.SioPurge(s.portHandle);
    wb.link.ExchangeCommand(command::StopProgram, fixedPayload(command::StopProgram));
    // A probe that gave up may have left part of its answer on the line;
    // the rest of this tick must not show it as output.
    if (!s.detected && s.portHandle != kInvalidHandle) wb.serial.SioPurge(s.portHandle);
    if (s.detected) wb.link.ExchangeCommand(command::ResetProgram);
    if (s.detected) {
        s.versionText.fill('\0');
        wb.link.ExchangeCommand(command::GetVersion);
    }
    if (s.detected) {
        wb.console.ConsoleWrite("Travin Detected - Version ");
        wb.console.ConsoleWrite(s.versionText.data());
        wb.console.ConsoleWrite("\r\n");
    }
    return s.portHandle != kInvalidHandle;
}

bool Monitor::readConsoleBytes() {
    const int handle = wb.state.portHandle;
    // A board that prints faster than the pane takes it (an unpaced line)
    // must not hold the tick for ever: the rest waits for the next tick.
    int taken = 0;
    for (; taken < kConsoleBytesPerTick;) {
        const int waiting = wb.serial.SioTest(handle);
        if (waiting < 0) {
            wb.link.LinkFailure("SioTest Failed");
            return false;
        }
        if (waiting == 0) return true;
        // All that is waiting in one read: only console output arrives
        // between exchanges, and the pane takes it in one change per tick.
        std::uint8_t bytes[4096];
        const int wanted = std::min<int>(waiting, static_cast<int>(sizeof bytes));
        const int got = wb.serial.SioGetChars(handle, bytes, wanted);
        if (got > 0) {
            wb.console.ConsoleWriteBytes(bytes, static_cast<std::size_t>(got));
            taken += got;
        }
        // A count that promised bytes the read did not give: leave the
        // rest for the next tick rather than ask again at once.
        if (got != wanted) return true;
    }
    return true;
}

void Monitor::statusPoll() {
    WorkbenchState& s = wb.state;
    if (!countedTickRuns(s.statusTickCount, kStatusPeriod)) return;
    wb.link.ExchangeCommand(command::GetStatus, fixedPayload(command::GetStatus));
    if (s.running && s.inputRequested) {
        // Only the first byte is cleared; the rest keeps the last answer.
        s.inputAnswer[0] = '\0';
        wb.link.ExchangeCommand(command::GetInputPrompt);
        if (s.detected) {
            wb.link.ExchangeCommand(command::SendInput, reinterpret_cast<const std::uint8_t*>(s.inputAnswer.data()),
                                    static_cast<int>(s.inputAnswer.size()));
        }
        s.inputRequested = false;
    }
}

bool Monitor::DetectWithoutStopping() {
    WorkbenchState& s = wb.state;
    if (s.portHandle == kInvalidHandle) return false;
    if (!s.detected) {
        wb.serial.SioPurge(s.portHandle);
        const int before = wb.link.answeredExchanges();
        wb.link.ExchangeCommand(command::GetStatus, fixedPayload(command::GetStatus));
        if (wb.link.answeredExchanges() == before || s.portHandle == kInvalidHandle) return false;
        s.detected = true;
        wb.controls.UpdateControls();
    }
    s.versionText.fill('\0');
    wb.link.ExchangeCommand(command::GetVersion);
    return s.detected;
}

bool Monitor::ChangeBaudRate(int baud) {
    WorkbenchState& s = wb.state;
    wb.screens.timer.setTimerEnabled(false);
    if (s.detected) {
        const auto rate = static_cast<std::uint32_t>(baud);
        const std::uint8_t payload[4] = {static_cast<std::uint8_t>(rate), static_cast<std::uint8_t>(rate >> 8),
                                         static_cast<std::uint8_t>(rate >> 16), static_cast<std::uint8_t>(rate >> 24)};
        wb.link.ExchangeCommand(command::ChangeBaud, payload, 4);
    }
    if (s.detected && wb.serial.SioBaud(s.portHandle, baud) == 0) wb.link.LinkFailure("Change Baud Failed");
    if (s.detected) {
        wb.screens.clock.sleepMs(250);
        wb.link.ExchangeCommand(command::GetStatus);
    }
    wb.screens.timer.setTimerEnabled(true);
    return s.detected;
}

}  // namespace travin
