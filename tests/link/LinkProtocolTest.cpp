// The exchange and the monitor against a scripted far end over a real
// pseudo-terminal: exact frames, the reply forms and their errors, busy and
// console bytes before the echo, input requests, and the tick guard.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>

#include <atomic>
#include <optional>
#include <thread>

#include "LinkBench.h"
#include "link/CommandTable.h"

namespace travin::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

Bytes textBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

const std::string kPowerCycle = "Power Cycle Target, then Press OK to Reestablish Communications";
std::vector<std::string> failureBoxes(const std::string& reason) {
    return {"Serial Communications Error (" + reason + ")", kPowerCycle};
}

struct PeerBench : LinkBench {
    ScriptedPeer peer{folder.path, 1};
};

TEST(Detection, TimelineAndExactFrames) {
    PeerBench pb;
    pb.peer.onFrame = [](const ScriptedPeer::Frame& f) {
        if (f.code == command::GetVersion) return dataReply(0x80, textBytes("PeerFW 2.1"));
        return Bytes{0x00, 0x00};
    };
    pb.peer.start();

    pb.ticks(19);
    EXPECT_EQ(pb.state().portHandle, kInvalidHandle);
    pb.ticks(1);   // 20th: the port opens
    ASSERT_NE(pb.state().portHandle, kInvalidHandle);
    EXPECT_EQ(pb.state().openPort, 1);
    EXPECT_FALSE(pb.state().reopenRequested);
    pb.ticks(3);   // 21st to 23rd: nothing on the wire
    EXPECT_TRUE(pb.peer.received().empty());
    EXPECT_FALSE(pb.state().detected);

    pb.ticks(1);   // 24th: probe, reset, version
    EXPECT_TRUE(pb.state().detected);
    const auto frames = pb.peer.frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].wire, (Bytes{0xAA, 0x03, 0x08, 0x53, 0x74, 0x6F, 0x70, 0x20, 0x43, 0x6F, 0x6D, 0xF0}));
    EXPECT_EQ(frames[1].wire, (Bytes{0xAA, 0x07, 0x00, 0x07}));
    EXPECT_EQ(frames[2].wire, (Bytes{0xAA, 0x14, 0x00, 0x14}));
    EXPECT_STREQ(pb.state().versionText.data(), "PeerFW 2.1");
    EXPECT_EQ(pb.consoleText(), " Travin Detected - Version PeerFW 2.1\r\n \n");
    // The pane got it at the end of the tick.
    EXPECT_EQ(pb.bench.console.shown.size(), 2u);
    EXPECT_EQ(pb.bench.main.enabled[Control::RunButton], true);

    // The status poll: statusTickCount reached 5 after five ticks that got
    // that far (24 to 28).
    const int pollTick = pb.ticksUntil([&] { return pb.peer.frames().size() == 4; }, 10);
    EXPECT_EQ(pollTick, 4);
    EXPECT_EQ(pb.peer.frames()[3].wire, (Bytes{0xAA, 0x08, 0x04, 0x53, 0x74, 0x61, 0x74, 0xA8}));
    EXPECT_TRUE(pb.bench.notices.notices.empty());
}

TEST(Detection, SilentPortGetsOneSyncBytePerProbeAndNoMessage) {
    PeerBench pb;
    pb.peer.onSync = [](int) { return Bytes{}; };
    pb.peer.start();
    pb.ticks(23);
    ASSERT_NE(pb.state().portHandle, kInvalidHandle);
    const auto t0 = std::chrono::steady_clock::now();
    pb.ticks(1);   // 24th: the probe waits its 250 ms
    const auto waited = std::chrono::steady_clock::now() - t0;
    EXPECT_GE(waited, 245ms);
    EXPECT_LT(waited, 450ms);
    EXPECT_EQ(pb.peer.received(), Bytes{0xAA});
    pb.ticks(4);
    EXPECT_EQ(pb.peer.received().size(), 1u);
    pb.ticks(1);   // 29th
    EXPECT_EQ(pb.peer.received().size(), 2u);
    pb.ticks(21);  // to the 50th: probes on 34, 39, 44, 49, and on 44 the status poll too
    const Bytes wire = pb.peer.received();
    EXPECT_EQ(wire, Bytes(7, 0xAA));
    EXPECT_FALSE(pb.state().detected);
    EXPECT_TRUE(pb.bench.notices.notices.empty());
    EXPECT_EQ(pb.consoleText(), " \n");
}

// One exchange, one scripted reply, and the state it leaves.
struct ReplyRow {
    const char* name;
    std::uint8_t code;
    bool detectedBefore, runningBefore;
    Bytes reply;
    bool detected, running, inputRequested;
    std::vector<std::string> boxes;
    Rgb light;
};
class ReplyForms : public ::testing::TestWithParam<ReplyRow> {};

TEST_P(ReplyForms, StateAfterTheReply) {
    const ReplyRow& row = GetParam();
    PeerBench pb;
    int answered = 0;
    pb.peer.onFrame = [&](const ScriptedPeer::Frame& f) {
        if (answered++ == 0) return row.reply;
        // The variables refreshed after a stop come as the board sends them.
        if (f.code == command::GetVariables) return dataReply(0x80, Bytes(106, 0));
        return Bytes{0x00, 0x00};
    };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = row.detectedBefore;
    pb.state().running = row.runningBefore;
    pb.state().downloadNeeded = false;

    pb.wb().link.SendCommand(row.code, fixedPayload(row.code));

    EXPECT_EQ(pb.state().detected, row.detected);
    EXPECT_EQ(pb.state().running, row.running);
    EXPECT_EQ(pb.state().inputRequested, row.inputRequested);
    EXPECT_EQ(pb.bench.notices.notices, row.boxes);
    EXPECT_EQ(pb.bench.main.light, row.light);
    const bool failed = !row.boxes.empty();
    EXPECT_EQ(pb.state().portHandle == kInvalidHandle, failed);
    EXPECT_EQ(pb.state().reopenRequested, failed);
    EXPECT_EQ(pb.state().downloadNeeded, failed);
    EXPECT_TRUE(pb.bench.timer.on);
    // The controls follow the target state.
    EXPECT_EQ(pb.bench.main.enabled[Control::StopButton], row.detected && row.running);
    EXPECT_EQ(pb.bench.main.enabled[Control::RunButton], row.detected && !row.running);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyForms,
    ::testing::Values(
        ReplyRow{"RunSetsRunning", command::RunProgram, true, false, {0x20, 0x20}, true, true, false, {}, kGreen},
        ReplyRow{"StopWhileRunning", command::StopProgram, true, true, {0x00, 0x00}, true, false, false, {}, kGrey},
        ReplyRow{"RunningAndInput", command::GetStatus, true, false, {0x30, 0x30}, true, true, true, {}, kGreen},
        ReplyRow{"SecondByteDiffers", command::RunProgram, true, false, {0x20, 0x21}, false, false, false,
                 failureBoxes("receive checksum error"), kGrey},
        ReplyRow{"BoardSawBadChecksum", command::GetStatus, true, false, {0x40, 0x40}, false, false, false,
                 failureBoxes("send checksum error"), kGrey},
        ReplyRow{"FailureKeepsRunning", command::GetStatus, true, true, {0x60, 0x61}, false, true, false,
                 failureBoxes("receive checksum error"), kGrey},
        ReplyRow{"ProbeAnsweredDetects", command::StopProgram, false, false, {0x00, 0x00}, true, false, false, {},
                 kGrey},
        ReplyRow{"ProbeWithDataDoesNot", command::StopProgram, false, false, {0x80, 0x01, 0x07, 0x88}, false, false,
                 false, {}, kGrey},
        ReplyRow{"StatusDoesNotDetect", command::GetStatus, false, false, {0x00, 0x00}, false, false, false, {},
                 kGrey}),
    [](const auto& info) { return std::string(info.param.name); });

Bytes variablesReply(std::int32_t first, std::uint16_t position) {
    Bytes data;
    for (int i = 0; i < kVariableCount; ++i) {
        const auto v = static_cast<std::uint32_t>(first + i);
        for (int k = 0; k < 4; ++k) data.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
    }
    data.push_back(static_cast<std::uint8_t>(position));
    data.push_back(static_cast<std::uint8_t>(position >> 8));
    return dataReply(0x80, data);
}

TEST(ReplyData, VariablesStoredWithPosition) {
    PeerBench pb;
    pb.peer.onFrame = [](const ScriptedPeer::Frame&) { return variablesReply(-3, 0x1234); };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = true;
    pb.wb().link.SendCommand(command::GetVariables, fixedPayload(command::GetVariables));
    EXPECT_EQ(pb.peer.frames().at(0).payload, textBytes("get "));
    EXPECT_EQ(pb.state().variableValues[0], -3);
    EXPECT_EQ(pb.state().variableValues[25], 22);
    EXPECT_EQ(pb.state().executingPosition, 0x1234);
    EXPECT_TRUE(pb.bench.notices.notices.empty());
}

TEST(ReplyData, VariablesWithChecksumOffByOneKeepOldValues) {
    PeerBench pb;
    pb.peer.onFrame = [](const ScriptedPeer::Frame&) {
        Bytes r = variablesReply(100, 7);
        r.back() = static_cast<std::uint8_t>(r.back() + 1);
        return r;
    };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = true;
    pb.state().variableValues.fill(9);
    pb.state().executingPosition = 5;
    pb.wb().link.SendCommand(command::GetVariables, fixedPayload(command::GetVariables));
    EXPECT_EQ(pb.bench.notices.notices, failureBoxes("checksum error"));
    for (auto v : pb.state().variableValues) EXPECT_EQ(v, 9);
    EXPECT_EQ(pb.state().executingPosition, 5);
    EXPECT_FALSE(pb.state().detected);
}

TEST(ReplyData, VersionOfTwentyCharactersKeepsFifteen) {
    PeerBench pb;
    pb.peer.onFrame = [](const ScriptedPeer::Frame&) { return dataReply(0x80, textBytes("ABCDEFGHIJKLMNOPQRST")); };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = true;
    pb.wb().link.SendCommand(command::GetVersion);
    EXPECT_STREQ(pb.state().versionText.data(), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(pb.state().versionText.back(), '\0');
}

TEST(Handshake, BusyThreeTimesThenEchoRestartsTheBudgetEachTime) {
    PeerBench pb;
    pb.peer.onSync = [](int n) { return n < 3 ? Bytes{0xAB} : Bytes{0xAA}; };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    // Not detected: a 250 ms budget, which three 100 ms waits would exceed
    // if a busy byte did not restart it.
    pb.wb().link.SendCommand(command::StopProgram, fixedPayload(command::StopProgram));
    EXPECT_TRUE(pb.state().detected);
    const auto wire = pb.peer.timedBytes();
    ASSERT_GE(wire.size(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(wire[i].byte, 0xAA);
    for (int i = 1; i < 4; ++i) {
        const auto gap = wire[i].at - wire[i - 1].at;
        EXPECT_GE(gap, 95ms) << "sync " << i;
        EXPECT_LT(gap, 250ms) << "sync " << i;
    }
    EXPECT_EQ(pb.peer.frames().size(), 1u);
    EXPECT_EQ(pb.peer.syncCount(), 4);
}

TEST(Handshake, ConsoleBytesBeforeTheEchoAreShownInOrder) {
    PeerBench pb;
    pb.peer.onSync = [](int) { return Bytes{'o', 'u', 't', '\r', '\n', 'n', 'e', 'x', 't', 0xAA}; };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = true;
    pb.wb().link.SendCommand(command::GetStatus, fixedPayload(command::GetStatus));
    EXPECT_TRUE(pb.state().detected);
    EXPECT_EQ(pb.consoleText(), " out\r\n next\n");
    ASSERT_EQ(pb.peer.frames().size(), 1u);
    EXPECT_EQ(pb.peer.frames()[0].code, command::GetStatus);
    // SendCommand hands the pane what came.
    EXPECT_EQ(pb.bench.console.shown.back(), " next");
}

// Output around a busy byte, read together: all of it is shown, the busy wait
// and the second offer follow, and output ahead of the next echo joins it.
TEST(Handshake, OutputThenBusyInOneReadIsShownAndTheSyncOfferedAgain) {
    PeerBench pb;
    pb.peer.onSync = [](int n) { return n == 0 ? Bytes{'a', 0xAB, 'b'} : Bytes{'c', 0xAA}; };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = true;
    pb.wb().link.SendCommand(command::GetStatus, fixedPayload(command::GetStatus));
    EXPECT_TRUE(pb.state().detected);
    EXPECT_TRUE(pb.bench.notices.notices.empty());
    EXPECT_EQ(pb.consoleText(), " abc\n");
    EXPECT_EQ(pb.peer.syncCount(), 2);
    ASSERT_EQ(pb.peer.frames().size(), 1u);
    const auto wire = pb.peer.timedBytes();
    ASSERT_GE(wire.size(), 2u);
    EXPECT_GE(wire[1].at - wire[0].at, 95ms) << "the second sync did not wait out the busy";
}

// The port already closed (an earlier exchange failed): the sync byte's
// write fails, then the byte-count query, detected or not.
class ClosedPort : public ::testing::TestWithParam<bool> {};

TEST_P(ClosedPort, SyncWriteFailsThenSiotestFails) {
    PeerBench pb;
    pb.state().detected = GetParam();
    pb.wb().link.SendCommand(command::GetStatus, fixedPayload(command::GetStatus));
    const std::vector<std::string> expected{"SioPutChars failed", "Serial Communications Error (siotest failed)",
                                            kPowerCycle};
    EXPECT_EQ(pb.bench.notices.notices, expected);
    EXPECT_FALSE(pb.state().detected);
    EXPECT_TRUE(pb.state().reopenRequested);
}
INSTANTIATE_TEST_SUITE_P(DetectedOrNot, ClosedPort, ::testing::Bool());

// Everything the failure path changes is done before the first box is up,
// and the second box follows the first.
TEST(Exchange, LinkFailureSettlesTheStateBeforeItsBoxes) {
    PeerBench pb;
    pb.peer.onFrame = [](const ScriptedPeer::Frame&) { return Bytes{0x30, 0x31}; };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    const int oldHandle = pb.state().portHandle;
    pb.state().detected = true;
    pb.state().running = true;
    pb.state().inputRequested = true;
    pb.state().downloadNeeded = false;
    pb.wb().controls.UpdateControls();
    pb.bench.main.setRunningLight(kGreen);
    ASSERT_TRUE(pb.bench.main.enabled[Control::StopButton]);

    int boxes = 0;
    pb.bench.notices.onNotice = [&](const std::string& text) {
        if (++boxes > 1) {
            EXPECT_EQ(text, kPowerCycle);
            return;
        }
        EXPECT_EQ(text, "Serial Communications Error (receive checksum error)");
        EXPECT_EQ(pb.state().portHandle, kInvalidHandle);
        EXPECT_EQ(::fcntl(oldHandle, F_GETFD), -1) << "the port was not closed";
        EXPECT_FALSE(pb.state().detected);
        EXPECT_FALSE(pb.bench.main.enabled[Control::StopButton]) << "controls not updated";
        EXPECT_TRUE(pb.bench.main.enabled[Control::SelectPortButton]);
        EXPECT_TRUE(pb.state().reopenRequested);
        EXPECT_EQ(pb.bench.main.light, kGrey);
        EXPECT_FALSE(pb.state().inputRequested);
        EXPECT_TRUE(pb.state().downloadNeeded);
        EXPECT_TRUE(pb.state().running) << "running is left as it was";
    };
    pb.wb().link.SendCommand(command::GetStatus, fixedPayload(command::GetStatus));
    EXPECT_EQ(boxes, 2);
    EXPECT_TRUE(pb.state().running);
}

// Choosing the port that is already open: the ticks before the next port
// tick do nothing past the listing check, and the port tick itself only
// clears the request and lets the tick go on.
TEST(PortTick, SamePortChosenAgainWaitsForThePortTickAndChangesNothing) {
    PeerBench pb;
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    const int handle = pb.state().portHandle;
    pb.state().detected = true;
    pb.state().reopenRequested = true;
    pb.state().portTickCount = 21;   // the port tick that opened it has run
    pb.state().statusTickCount = 5;  // the poll would be due at once
    pb.peer.send({'h', 'i'});
    std::this_thread::sleep_for(50ms);   // let the peer put them on the line
    pb.ticks(19);
    EXPECT_EQ(pb.consoleText(), " \n") << "console bytes read between port ticks";
    EXPECT_TRUE(pb.peer.received().empty());
    EXPECT_EQ(pb.state().statusTickCount, 5);

    pb.ticks(1);   // count 40: the port tick
    EXPECT_FALSE(pb.state().reopenRequested);
    EXPECT_EQ(pb.state().portHandle, handle);
    EXPECT_TRUE(pb.state().detected);
    EXPECT_TRUE(pb.bench.notices.notices.empty());
    EXPECT_EQ(pb.consoleText(), " hi\n");
    ASSERT_EQ(pb.peer.frames().size(), 1u);
    EXPECT_EQ(pb.peer.frames()[0].code, command::GetStatus);
}

// A prompt request that fails sends no answer, and the request is cleared.
TEST(InputRequestFailure, BadPromptReplySendsNoAnswer) {
    PeerBench pb;
    pb.peer.onFrame = [](const ScriptedPeer::Frame& f) {
        if (f.code == command::GetStatus) return Bytes{0x30, 0x30};
        Bytes r = dataReply(0x80, textBytes("n?"));
        r.back() = static_cast<std::uint8_t>(r.back() + 1);
        return r;
    };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = true;
    pb.state().running = true;
    pb.state().inputAnswer = {'7', '7', '7'};
    pb.state().statusTickCount = 5;
    pb.ticks(1);
    EXPECT_EQ(pb.bench.notices.notices, failureBoxes("checksum error"));
    EXPECT_TRUE(pb.bench.notices.inputs.empty());
    const auto frames = pb.peer.frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].code, command::GetInputPrompt);
    EXPECT_FALSE(pb.state().inputRequested);
    // Only the first byte was cleared before the request.
    EXPECT_EQ(pb.state().inputAnswer[0], '\0');
    EXPECT_EQ(pb.state().inputAnswer[1], '7');
}

// ChangeBaudRate: the board is told first, then the port follows, and after
// 250 ms a status request without payload goes out at the new rate.
TEST(Baud, BoardThenPortThenAPlainStatusRequestAfterAQuarterSecond) {
    PeerBench pb;
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = true;
    pb.bench.timer.on = true;
    ASSERT_TRUE(pb.wb().monitor.ChangeBaudRate(115200));
    const auto frames = pb.peer.frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].wire, (Bytes{0xAA, 0x11, 0x04, 0x00, 0xC2, 0x01, 0x00, 0xD8}));
    EXPECT_EQ(frames[1].wire, (Bytes{0xAA, 0x08, 0x00, 0x08}));
    EXPECT_EQ(pb.bench.clock.sleeps, std::vector<int>{250});
    const auto wire = pb.peer.timedBytes();
    ASSERT_EQ(wire.size(), 12u);
    EXPECT_GE(wire[8].at - wire[7].at, 245ms);
    termios tio{};
    ASSERT_EQ(::tcgetattr(pb.state().portHandle, &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B115200));
    EXPECT_TRUE(pb.bench.timer.on);
    EXPECT_TRUE(pb.bench.notices.notices.empty());
}

TEST(Exchange, ClosedPortFailsWithSiotest) {
    PeerBench pb;
    pb.state().detected = true;
    pb.wb().link.SendCommand(command::GetStatus, fixedPayload(command::GetStatus));
    EXPECT_EQ(pb.bench.notices.notices.back(), kPowerCycle);
    EXPECT_NE(std::find(pb.bench.notices.notices.begin(), pb.bench.notices.notices.end(),
                        "Serial Communications Error (siotest failed)"),
              pb.bench.notices.notices.end());
}

// The input request: the box, the answer on the wire, at most 11 characters.
struct InputRow {
    const char* name;
    std::optional<std::string> typed;   // nullopt: Cancel
    std::string sent;
};
class InputRequest : public ::testing::TestWithParam<InputRow> {};

TEST_P(InputRequest, AnswerReachesTheBoard) {
    PeerBench pb;
    pb.peer.onFrame = [](const ScriptedPeer::Frame& f) {
        if (f.code == command::GetStatus) return Bytes{0x30, 0x30};
        if (f.code == command::GetInputPrompt) return dataReply(0xB0, textBytes("Speed?"));
        return Bytes{0x20, 0x20};
    };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = true;
    pb.state().running = true;
    // Leftovers of an earlier, longer answer stay behind the new one's end.
    const std::string earlier = "9999999999";
    std::copy(earlier.begin(), earlier.end(), pb.state().inputAnswer.begin());
    pb.bench.notices.inputAnswers.push_back(GetParam().typed);
    // The status poll runs on the fifth tick that reaches it.
    pb.ticks(5);

    ASSERT_EQ(pb.bench.notices.inputs.size(), 1u);
    EXPECT_EQ(pb.bench.notices.inputs[0].caption, "User Input");
    EXPECT_EQ(pb.bench.notices.inputs[0].prompt, "Speed?");
    EXPECT_EQ(pb.bench.notices.inputs[0].initial, "0");
    const auto frames = pb.peer.frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[1].code, command::GetInputPrompt);
    EXPECT_EQ(frames[2].code, command::SendInput);
    Bytes expected(12, 0);
    std::copy(GetParam().sent.begin(), GetParam().sent.end(), expected.begin());
    EXPECT_EQ(frames[2].payload, expected);
    EXPECT_FALSE(pb.state().inputRequested);
}
INSTANTIATE_TEST_SUITE_P(Answers, InputRequest,
                         ::testing::Values(InputRow{"Typed", "42", "42"}, InputRow{"Cancelled", std::nullopt, "0"},
                                           InputRow{"TooLong", "123456789012345", "12345678901"},
                                           InputRow{"Empty", "", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TickGuard, NoTickInsideTheInputBoxOrTheFailureBoxes) {
    PeerBench pb;
    int statusPolls = 0;
    pb.peer.onFrame = [&](const ScriptedPeer::Frame& f) {
        if (f.code == command::GetStatus) return ++statusPolls == 1 ? Bytes{0x30, 0x30} : Bytes{0x20, 0x21};
        if (f.code == command::GetInputPrompt) return dataReply(0xB0, textBytes("n?"));
        return Bytes{0x20, 0x20};
    };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = true;
    pb.state().running = true;
    // The timer fires while each box is up, as a nested event loop would let it.
    pb.bench.notices.onInputBox = [&] { pb.ticks(30); };
    pb.bench.notices.onNotice = [&](const std::string&) { pb.ticks(30); };
    pb.ticks(5);
    EXPECT_EQ(pb.bench.notices.inputs.size(), 1u);
    EXPECT_EQ(pb.wb().monitor.skippedTicks(), 30);
    EXPECT_EQ(pb.peer.frames().size(), 3u);   // status, prompt, answer: nothing from a nested tick

    pb.ticks(5);   // the next status poll fails: two boxes, 30 ticks each refused
    EXPECT_EQ(pb.bench.notices.notices, failureBoxes("receive checksum error"));
    EXPECT_EQ(pb.wb().monitor.skippedTicks(), 90);
    EXPECT_EQ(pb.bench.notices.inputs.size(), 1u);
    EXPECT_TRUE(pb.bench.timer.on);
}

TEST(TickGuard, NoTickInsideAUserCommandsExchange) {
    PeerBench pb;
    pb.peer.onFrame = [](const ScriptedPeer::Frame&) { return Bytes{0x20, 0x21}; };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = true;
    pb.state().reopenRequested = true;   // a tick that ran would count a port tick
    pb.bench.notices.onNotice = [&](const std::string&) { pb.ticks(3); };
    pb.wb().link.SendCommand(command::RunProgram, fixedPayload(command::RunProgram));
    EXPECT_EQ(pb.bench.notices.notices, failureBoxes("receive checksum error"));
    EXPECT_EQ(pb.wb().monitor.skippedTicks(), 6);
    EXPECT_EQ(pb.state().portTickCount, 1);
    pb.bench.notices.onNotice = nullptr;
    pb.ticks(1);   // between commands the tick runs
    EXPECT_EQ(pb.state().portTickCount, 2);
}

}  // namespace
}  // namespace travin::testing
