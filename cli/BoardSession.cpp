#include "cli/BoardSession.h"

#include <algorithm>
#include <array>

#include "cli/TerminalDevice.h"
#include "core/SystemClock.h"
#include "link/CommandTable.h"
#include "link/Monitor.h"
#include "link/PortFailure.h"

namespace travin::cli {

namespace {

constexpr int kTickMs = 100;
constexpr int kAttachTries = 3;
constexpr int kAttachMs = 3000;
// How long the client waits for a slow name server to name a network port's host.
constexpr int kLookupPatienceMs = 15000;
constexpr int kNormalBaud = 19200;
// Time a board is given to report a stopped program.
constexpr int kStopSettleMs = 2000;
// The monitor's own status poll never runs: its counter is held here
// before each tick (a step runs only when the counter is a multiple of its
// period).
constexpr int kStatusPollHeld = 2;
// The board takes at most this many characters as one answer.
constexpr std::size_t kLongestAnswer = 11;

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
    // Ctrl+C (or any signal that ends the client) ends a wait for a board
    // that stays busy or never answers.
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
    auto openOnce = [&] {
        return com > 0 ? wb->serial.SioOpen(portName, kNormalBaud) : wb->serial.SioOpenDevice(portName, kNormalBaud);
    };
    int handle = openOnce();
    // The driver gives a slow name server only a short wait, for the window's
    // sake; with no window to keep alive the client waits for its answer,
    // up to kLookupPatienceMs or Ctrl+C.
    const std::int64_t lookupDeadline = nowMs() + kLookupPatienceMs;
    while (handle == kInvalidHandle && wb->serial.lastOpenFailure().error == kErrorLookupSlow &&
           nowMs() < lookupDeadline) {
        if (Terminal::interrupted()) return Terminal::stopExitCode();
        handle = openOnce();
    }
    if (handle == kInvalidHandle) {
        const std::string device = com > 0 ? wb->serial.devicePath(portName) : portName;
        // A network port fails for causes a device path does not show.
        if (!wb->serial.networkAddress(portName).empty()) {
            screens->ShowNotice("Cannot open " + describeOpenFailure(wb->serial.lastOpenFailure()));
            return kNoBoard;
        }
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

int BoardSession::attach() {
    // Each try waits the link's short search budget; a board slow to answer
    // (busy printing, a loaded machine) gets several within this time.
    const std::int64_t deadline = nowMs() + kAttachMs;
    for (int i = 0; !wb->state.detected && (i < kAttachTries || nowMs() < deadline); ++i) {
        if (wb->state.portHandle == kInvalidHandle) break;
        if (i > 0) device::pause(kTickMs);
        if (Terminal::interrupted()) return Terminal::stopExitCode();
        wb->monitor.DetectWithoutStopping();
        wb->console.flush();
    }
    if (wb->state.detected) {
        // The window's detection line (--quiet drops it).
        wb->console.ConsoleWrite(std::string("Travin Detected - Version ") + wb->state.versionText.data() + "\r\n");
        wb->console.flush();
    }
    return linkResult();
}

int BoardSession::openAndAttach() {
    if (const int code = open(); code != kDone) return code;
    return attach();
}

int BoardSession::stopForOperation(const std::string& operation) {
    if (wb->state.running) {
        wb->execution.DebuggerStopExecute();
        if (!wb->state.detected) return kNoBoard;
        if (wb->state.running) tickUntil([this] { return !wb->state.running; }, nowMs() + kStopSettleMs);
    }
    if (!wb->state.detected) return kNoBoard;
    if (Terminal::interrupted()) return Terminal::stopExitCode();
    // The workbench's own words when the board will not stop.
    if (!wb->controls.RequireStopped(operation)) return kNoBoard;
    return kDone;
}

int BoardSession::linkResult() {
    if (wb->state.detected) return kDone;
    // The link said why it let go; "not detected" would only mislead.
    if (Terminal::interrupted()) return Terminal::stopExitCode();
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

bool BoardSession::refusedSince(std::size_t noticesBefore) const {
    for (std::size_t i = noticesBefore; i < screens->notices.size(); ++i) {
        const std::string& notice = screens->notices[i];
        if (notice.starts_with("Must Stop Travin Before Sending") || notice.starts_with("Travin not Detected"))
            return true;
    }
    return false;
}

void BoardSession::tickOnce() {
    if (!screens->timerEnabled() || wb->link.exchangeDepth() != 0) return;
    wb->state.statusTickCount = kStatusPollHeld;
    wb->monitor.BackgroundProcessTimer();
}

void BoardSession::stopProgram() {
    if (!wb->state.detected || !wb->state.running) return;
    wb->execution.DebuggerStopExecute();
    tickOnce();
}

bool BoardSession::sendAnswer(const std::string& answer) {
    std::array<std::uint8_t, 12> bytes{};
    std::copy(answer.begin(), answer.end(), bytes.begin());
    wb->link.SendCommand(command::SendInput, bytes.data(), static_cast<int>(bytes.size()));
    return wb->state.detected;
}

WaitEnd BoardSession::answerInputRequest(std::int64_t deadlineMs) {
    screens->takePrompt();
    wb->link.SendCommand(command::GetInputPrompt);
    wb->state.inputRequested = false;
    if (!wb->state.detected) return WaitEnd::LinkLost;
    const std::string prompt = screens->takePrompt();
    if (inputPolicy == InputPolicy::Refuse) {
        stopProgram();
        screens->ShowNotice("input request \"" + prompt + "\" not answered (" + inputRefusal +
                            "); the program is stopped, nothing was sent");
        return WaitEnd::InputNotGiven;
    }
    screens->showPrompt(prompt);
    if (inputPolicy == InputPolicy::FromList) {
        if (answers.empty()) {
            stopProgram();
            screens->ShowNotice("no answer left in the --input file; the program is stopped, nothing was sent");
            return WaitEnd::InputNotGiven;
        }
        const std::string answer = answers.front();
        answers.pop_front();
        if (answer.size() > kLongestAnswer) {
            stopProgram();
            screens->ShowNotice("the --input answer \"" + answer +
                                "\" holds more than 11 characters; the program is stopped, nothing was sent");
            return WaitEnd::InputNotGiven;
        }
        return sendAnswer(answer) ? WaitEnd::Reached : WaitEnd::LinkLost;
    }
    std::int64_t nextTick = nowMs() + kTickMs;
    for (;;) {
        const std::int64_t now = nowMs();
        if (deadlineMs > 0 && now >= deadlineMs) {
            stopProgram();
            screens->ShowNotice("time-out at an input request; the program is stopped, nothing was sent");
            return WaitEnd::TimedOut;
        }
        int wait = static_cast<int>(std::max<std::int64_t>(1, nextTick - now));
        if (deadlineMs > 0) wait = static_cast<int>(std::min<std::int64_t>(wait, deadlineMs - now));
        std::string line;
        switch (terminal.pollLine(line, std::max(1, wait))) {
        case Terminal::LineRead::Line:
            if (line.size() > kLongestAnswer) {
                screens->ShowNotice("an answer holds at most 11 characters; not sent, give it again");
                continue;
            }
            return sendAnswer(line) ? WaitEnd::Reached : WaitEnd::LinkLost;
        case Terminal::LineRead::Ended:
            stopProgram();
            screens->ShowNotice("end of input at an input request; the program is stopped, nothing was sent");
            return WaitEnd::InputNotGiven;
        case Terminal::LineRead::Stopped:
            stopProgram();
            screens->ShowNotice("no answer given; the program is stopped, nothing was sent");
            return WaitEnd::Interrupted;
        case Terminal::LineRead::Nothing:
            break;
        }
        if (nowMs() >= nextTick) {
            // The console keeps flowing while the user thinks.
            nextTick = nowMs() + kTickMs;
            tickOnce();
            if (wb->state.portHandle == kInvalidHandle) return WaitEnd::LinkLost;
        }
    }
}

WaitEnd BoardSession::pollStatus(std::int64_t deadlineMs) {
    wb->link.SendCommand(command::GetStatus, fixedPayload(command::GetStatus));
    if (!wb->state.detected) return WaitEnd::LinkLost;
    if (wb->state.running && wb->state.inputRequested) return answerInputRequest(deadlineMs);
    return WaitEnd::Reached;
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
            // Sleeps; a signal ends the sleep early.
            device::pause(static_cast<int>(wake - now));
            continue;
        }
        nextTick = std::max(nextTick + kTickMs, now + 1);
        tickOnce();
        if (wb->state.portHandle == kInvalidHandle || !wb->state.detected) continue;
        // The window polls every fifth tick, about twice a second.
        if (++ticksToStatus < Monitor::kStatusPeriod) continue;
        ticksToStatus = 0;
        const WaitEnd polled = pollStatus(deadlineMs);
        if (polled == WaitEnd::LinkLost) reportLostDevice();
        if (polled != WaitEnd::Reached) return polled;
    }
}

}  // namespace travin::cli
