#include "link/CommandLink.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "link/Console.h"
#include "core/Controls.h"
#include "link/SerialDriver.h"
#include "link/CommandTable.h"

namespace travin {

namespace {

constexpr std::uint8_t kReplyHasData = 0x80;
constexpr std::uint8_t kSendChecksumBad = 0x40;
constexpr std::uint8_t kRunningBit = 0x20;
constexpr std::uint8_t kInputBit = 0x10;
const std::string kReplyLengthError = "reply length error";

// Counts one exchange under way for as long as it lives, on every way out.
class DepthGuard {
public:
    explicit DepthGuard(int& depth) : d(depth) { ++d; }
    ~DepthGuard() { --d; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& d;
};

std::int32_t readInt32(const std::uint8_t* p) {
    const std::uint32_t v = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                            (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    return static_cast<std::int32_t>(v);
}

// A text reply ends at its length or at its first zero byte, whichever
// comes first; nothing past the bytes that came is looked at.
std::string replyText(const std::uint8_t* data, int length) {
    const auto* text = reinterpret_cast<const char*>(data);
    const auto* end = std::find(text, text + length, '\0');
    return std::string(text, end);
}

}  // namespace

void CommandLink::SendCommand(std::uint8_t code, const std::uint8_t* payload, int length) {
    wb.screens.timer.setTimerEnabled(false);
    ExchangeCommand(code, payload, length);
    // On in every case, also when the caller had it off: a tick that nests a
    // SendCommand (through ShowStopped) relies on that.
    wb.screens.timer.setTimerEnabled(true);
    wb.console.flush();
}

void CommandLink::SendCommand(std::uint8_t code, std::string_view payload) {
    SendCommand(code, payloadBytes(payload), static_cast<int>(payload.size()));
}

void CommandLink::ExchangeCommand(std::uint8_t code, std::string_view payload) {
    ExchangeCommand(code, payloadBytes(payload), static_cast<int>(payload.size()));
}

void CommandLink::write(const std::uint8_t* bytes, int count) {
    // A failed write was already reported by the driver; the exchange goes
    // on and ends in a time-out.
    wb.serial.SioPutChars(wb.state.portHandle, bytes, count);
}

void CommandLink::ExchangeCommand(std::uint8_t code, const std::uint8_t* payload, int length) {
    // The length byte cannot say more than 255; cutting the payload would
    // send a frame the board takes as good. Such a call is a fault of the
    // caller, refused before a byte reaches the wire.
    if (length < 0 || length > kMaxPayload) {
        throw std::logic_error("ExchangeCommand: payload of " + std::to_string(length) + " bytes for command " +
                               std::to_string(code) + " (0 to 255 fit a frame)");
    }
    if (length > 0 && payload == nullptr) throw std::logic_error("ExchangeCommand: payload bytes missing");
    DepthGuard guard(depth);
    lastStatus = 0;

    ExchangeTime time;
    time.began = time.start = time.heard = wb.screens.clock.nowMs();
    std::uint8_t checksum = static_cast<std::uint8_t>(code + length);
    for (int i = 0; i < length; ++i) checksum = static_cast<std::uint8_t>(checksum + payload[i]);

    // The sync byte goes alone; the frame follows only once it is echoed.
    write(&kSync, 1);
    // A running program's output may queue ahead of the echo and arrives at
    // the line's pace; it is read as it gathers, not woken for byte by byte.
    std::uint8_t arrived[256];
    int have = 0, next = 0;
    bool outputAhead = false;
    for (;;) {
        if (next == have) {
            if (outputAhead) wb.screens.clock.sleepMs(kGatherMs);
            have = ReadReplyBytes(time, arrived, static_cast<int>(sizeof arrived));
            if (have == 0) return;
            next = 0;
        }
        const std::uint8_t handshake = arrived[next++];
        if (handshake == kSync) break;
        if (handshake == kBusy) {
            // Busy is a page write or an erase, a fraction of a second; a
            // board busy for longer than that is stuck, and the user must
            // get the line back.
            const std::int64_t now = wb.screens.clock.nowMs();
            if (time.busySince < 0) time.busySince = now;
            if (now - time.busySince > kBusyLimitMs) {
                LinkFailure("board stayed busy");
                return;
            }
            wb.screens.clock.sleepMs(kBusyWaitMs);
            if (cancelled(time, true)) return;
            time.start = time.heard = wb.screens.clock.nowMs();
            write(&kSync, 1);
            continue;
        }
        // The running program's output, which may precede the echo.
        wb.console.ConsoleWriteChar(handshake);
        outputAhead = true;
    }
    // The board sends nothing after its echo until it has the frame, so no
    // reply byte was read with it; anything that did come is output.
    for (; next < have; ++next) wb.console.ConsoleWriteChar(arrived[next]);

    const std::uint8_t lengthByte = static_cast<std::uint8_t>(length);
    write(&code, 1);
    write(&lengthByte, 1);
    if (length > 0) write(payload, length);
    write(&checksum, 1);

    std::uint8_t status = 0, second = 0;
    if (!ReadReplyByte(time, status)) return;
    if (!ReadReplyByte(time, second)) return;

    if (status & kReplyHasData) {
        const int count = second;
        std::uint8_t sum = static_cast<std::uint8_t>(status + count);
        std::uint8_t data[256] = {};
        for (int i = 0; i < count; ++i) {
            if (!ReadReplyByte(time, data[i])) return;
            sum = static_cast<std::uint8_t>(sum + data[i]);
        }
        std::uint8_t received = 0;
        if (!ReadReplyByte(time, received)) return;
        if (received != sum) {
            LinkFailure("checksum error");
            return;
        }
        // A well-formed reply of the wrong size is as much a fault of the
        // line as a bad checksum: the bytes it lacks or adds are not data.
        if (!replyLengthFits(code, true, count)) {
            LinkFailure(kReplyLengthError);
            return;
        }
        ++answered;
        StoreReplyData(code, data, count);
        updateStatusFlags(status);
        // After the flags: a nested exchange they start has its own status.
        lastStatus = status;
        return;
    }

    if (second != status) {
        LinkFailure("receive checksum error");
        return;
    }
    if (status & kSendChecksumBad) {
        LinkFailure("send checksum error");
        return;
    }
    // A command whose answer is its data got none.
    if (!replyLengthFits(code, false, 0)) {
        LinkFailure(kReplyLengthError);
        return;
    }
    ++answered;
    // Only a plain answer to the probe makes a searching board detected.
    if (code == command::StopProgram && !wb.state.detected) {
        wb.state.detected = true;
        wb.controls.UpdateControls();
    }
    updateStatusFlags(status);
    lastStatus = status;
}

void CommandLink::updateStatusFlags(std::uint8_t status) {
    const bool nowRunning = (status & kRunningBit) != 0;
    if (nowRunning != wb.state.running) {
        wb.state.running = nowRunning;
        if (nowRunning) {
            ShowRunning();
        } else {
            ShowStopped();
        }
        wb.controls.UpdateControls();
    }
    wb.state.inputRequested = (status & kInputBit) != 0;
}

bool CommandLink::ReadReplyByte(ExchangeTime& time, std::uint8_t& byte) {
    return ReadReplyBytes(time, &byte, 1) == 1;
}

bool CommandLink::cancelled(const ExchangeTime& time, bool busy) {
    if (!cancelRequested || !cancelRequested()) return false;
    // A board that answers, or prints, is let finish the exchange.
    if (!busy && wb.screens.clock.nowMs() - time.heard < kCancelGraceMs) return false;
    LinkFailure("interrupted");
    return true;
}

int CommandLink::ReadReplyBytes(ExchangeTime& time, std::uint8_t* bytes, int most) {
    // Set when the driver's wait reported the line hung up or broken; if
    // the driver still counts no byte after that, the port is gone, and
    // waiting on it would only end again at once.
    bool lineBroken = false;
    for (;;) {
        const bool detected = wb.state.detected;
        const int quietBudget = detected ? kDetectedBudgetMs : kSearchBudgetMs;
        // Quiet for the budget, or the whole exchange's time spent.
        const std::int64_t deadline = std::min(time.heard + quietBudget, time.start + kWholeExchangeMs);
        const std::int64_t now = wb.screens.clock.nowMs();
        if (now > deadline) {
            if (detected) LinkFailure("timeout");
            return 0;
        }
        if (cancelled(time, false)) return 0;

        const int handle = wb.state.portHandle;
        const int waiting = wb.serial.SioTest(handle);
        if (waiting < 0 || (waiting == 0 && lineBroken)) {
            LinkFailure("siotest failed");
            return 0;
        }
        if (waiting > 0) {
            const int got = wb.serial.SioGetChars(handle, bytes, std::min(waiting, most));
            if (got > 0) {
                time.heard = wb.screens.clock.nowMs();
                return got;
            }
            // Counted but not readable: the driver's wait would end again at
            // once, so wait a moment instead; the deadline still bounds it.
            wb.screens.clock.sleepMs(1);
            continue;
        }

        // Nothing waits: sleep in the driver until a byte comes or the
        // deadline passes. One millisecond past it, so that "more than the
        // budget" has passed when the wait times out. With a cancel check
        // the sleep is cut into slices, so the check is asked now and then.
        const int left = static_cast<int>(deadline - now) + 1;
        const bool sliced = static_cast<bool>(cancelRequested) && left > kCancelSliceMs;
        switch (wb.serial.SioWaitReadable(handle, sliced ? kCancelSliceMs : left)) {
        case SerialDriver::Wait::Readable:
            break;
        case SerialDriver::Wait::TimedOut:
            // A slice ends, and the loop looks at the clock again. The whole
            // wait passing without a byte ends the exchange without asking
            // the clock (a test clock may not move).
            if (sliced) break;
            if (detected) LinkFailure("timeout");
            return 0;
        case SerialDriver::Wait::LineBroken:
            lineBroken = true;
            break;
        case SerialDriver::Wait::Failed:
            LinkFailure("siotest failed");
            return 0;
        }
    }
}

void CommandLink::LinkFailure(const std::string& reason) {
    if (wb.state.portHandle != kInvalidHandle) {
        // What the board sent for the exchange that failed must not reach
        // the next one, whichever way the port comes back.
        wb.serial.SioPurge(wb.state.portHandle);
        wb.serial.SioClose(wb.state.portHandle);
    }
    wb.state.portHandle = kInvalidHandle;
    wb.state.detected = false;
    wb.controls.UpdateControls();
    wb.state.reopenRequested = true;
    wb.screens.main.setRunningLight(kGrey);
    wb.state.inputRequested = false;
    wb.state.downloadNeeded = true;
    // The user reads the console while the boxes are up.
    wb.console.flush();
    wb.screens.notices.ShowNotice("Serial Communications Error (" + reason + ")");
    wb.screens.notices.ShowNotice("Power Cycle Target, then Press OK to Reestablish Communications");
}

void CommandLink::StoreReplyData(std::uint8_t code, const std::uint8_t* data, int length) {
    WorkbenchState& s = wb.state;
    length = std::clamp(length, 0, 255);
    switch (code) {
    case command::GetVariables: {
        // A short reply keeps only the whole values it carries, and the
        // position only when both of its bytes came.
        const int values = std::min(length / 4, kVariableCount);
        for (int i = 0; i < values; ++i) s.variableValues[i] = readInt32(data + 4 * i);
        if (length >= 4 * kVariableCount + 2) {
            s.executingPosition = data[104] | (data[105] << 8);
        }
        break;
    }
    case command::GetInputPrompt: {
        const std::string prompt = replyText(data, length);
        std::string answer = "0";
        wb.console.flush();
        // A cancelled box leaves the initial answer, so "0" goes back.
        wb.screens.notices.inputBoxOfAtMost("User Input", prompt, answer, s.inputAnswer.size() - 1);
        s.inputAnswer.fill('\0');
        const std::size_t n = std::min(answer.size(), s.inputAnswer.size() - 1);
        std::memcpy(s.inputAnswer.data(), answer.data(), n);
        break;
    }
    case command::UploadBlock: {
        // Two bytes not used, then up to 128 bytes of program text; a zero
        // byte ends the program.
        const int end = std::min(length, 130);
        for (int i = 2; i < end; ++i) {
            if (data[i] == 0) {
                s.uploadEnd = true;
                break;
            }
            s.uploadStream.push_back(data[i]);
        }
        break;
    }
    case command::GetStartupTime: {
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length), s.startupBlock.size());
        std::copy_n(data, n, s.startupBlock.begin());
        break;
    }
    case command::GetVersion: {
        const std::string text = replyText(data, length);
        s.versionText.fill('\0');
        const std::size_t n = std::min(text.size(), s.versionText.size() - 1);
        std::memcpy(s.versionText.data(), text.data(), n);
        break;
    }
    default:
        break;
    }
}

void CommandLink::ShowRunning() { wb.screens.main.setRunningLight(kGreen); }

void CommandLink::ShowStopped() {
    wb.screens.main.setRunningLight(kGrey);
    wb.events.BoardStopped();
}

}  // namespace travin
