#include "cli/BoardSession.h"

#include <algorithm>

#include "cli/TerminalDevice.h"
#include "core/SystemClock.h"
#include "link/Monitor.h"
#include "link/PortFailure.h"

namespace travin::cli {

namespace {

constexpr int kTickMs = 100;
// The monitor probes every fifth tick with a 250 ms budget: this leaves
// room for three probes.
constexpr int kDetectMs = 2000;
constexpr int kAttachTries = 3;
constexpr int kNormalBaud = 19200;

// The COM number of a port name, 0 for a device path.
int comNumber(const std::string& port) {
    if (port.size() == 4 && port.starts_with("COM") && port[3] >= '1' && port[3] <= '8') return port[3] - '0';
    return 0;
}

}  // namespace

BoardSession::BoardSession(Terminal& term, const std::string& port, bool prefixed, const Locations& folder)
    : screens(std::make_unique<TerminalScreens>(term, port, prefixed)),
      wb(std::make_unique<Workbench>(screens->screens(), folder)),
      portName(port),
      terminal(term) {
    // Ctrl+C ends a wait for a board that stays busy or never answers.
    wb->link.cancelRequested = [] { return Terminal::interrupted(); };
}

BoardSession::~BoardSession() {
    // Hands the device its own settings back.
    if (wb->state.portHandle != kInvalidHandle) wb->serial.SioClose(wb->state.portHandle);
}

std::int64_t BoardSession::nowMs() { return SystemClock().nowMs(); }

int BoardSession::open() {
    WorkbenchState& s = wb->state;
    const int com = comNumber(portName);
    // COM names resolve as the window resolves them; a path opens as given.
    const int handle = com > 0 ? wb->serial.SioOpen(portName, kNormalBaud)
                               : wb->serial.SioOpenDevice(portName, kNormalBaud);
    if (handle == kInvalidHandle) {
        const std::string device = com > 0 ? wb->serial.devicePath(portName) : portName;
        screens->ShowNotice("Cannot open " + portName + (device != portName ? " (" + device + ")" : "") + ": " +
                            openFailureCause(wb->serial.lastOpenFailure()));
        return kNoBoard;
    }
    // As the monitor's port tick leaves it, so the monitor goes on from here.
    s.portHandle = handle;
    s.reopenRequested = false;
    if (com > 0) s.selectedPort = s.openPort = com;
    s.openedByPath = com <= 0;
    screens->setTimerEnabled(true);
    return kDone;
}

int BoardSession::detectStopping() {
    const WaitEnd end = tickUntil([this] { return wb->state.detected; }, nowMs() + kDetectMs);
    if (end == WaitEnd::Interrupted) return kInterrupted;
    return linkResult();
}

int BoardSession::detectAttached() {
    for (int i = 0; i < kAttachTries && !wb->state.detected; ++i) {
        if (i > 0) device::pause(kTickMs);
        if (Terminal::interrupted()) return kInterrupted;
        wb->monitor.DetectWithoutStopping();
        wb->console.flush();
    }
    return linkResult();
}

int BoardSession::linkResult() {
    if (wb->state.detected) return kDone;
    // The link said why it let go; "not detected" would only mislead.
    if (Terminal::interrupted()) return kInterrupted;
    if (reportLostDevice()) return kNoBoard;
    // The workbench's own words for a command that found no board.
    wb->controls.RequireDetected();
    return kNoBoard;
}

bool BoardSession::reportLostDevice() {
    if (wb->serial.SioDevicePresent(portName)) return false;
    if (lostReported) return true;
    lostReported = true;
    const std::string device = comNumber(portName) > 0 ? wb->serial.devicePath(portName) : portName;
    screens->ShowNotice(describeLostDevice(portName, device));
    return true;
}

void BoardSession::tickOnce() {
    if (screens->timerEnabled() && wb->link.exchangeDepth() == 0) wb->monitor.BackgroundProcessTimer();
}

WaitEnd BoardSession::tickUntil(const std::function<bool()>& reached, std::int64_t deadlineMs) {
    std::int64_t nextTick = nowMs() + kTickMs;
    for (;;) {
        if (reached()) return WaitEnd::Reached;
        if (Terminal::interrupted()) return WaitEnd::Interrupted;
        if (wb->state.portHandle == kInvalidHandle) {
            reportLostDevice();
            return WaitEnd::LinkLost;
        }
        const std::int64_t now = nowMs();
        if (deadlineMs > 0 && now >= deadlineMs) return WaitEnd::TimedOut;
        std::int64_t wake = nextTick;
        if (deadlineMs > 0) wake = std::min(wake, deadlineMs);
        if (wake > now) {
            // Sleeps; Ctrl+C ends the sleep early.
            device::pause(static_cast<int>(wake - now));
            continue;
        }
        nextTick = std::max(nextTick + kTickMs, now + 1);
        tickOnce();
    }
}

}  // namespace travin::cli
