// Keeping control of a board that prints, stays busy or answers late,
// against a scripted far end over a real pseudo-terminal: output queued
// ahead of the echo extends the wait up to the whole exchange's bound, busy
// answers in a row end in one failure report, a cancel check ends every
// wait, and bytes that come after an exchange gave up never reach the next
// one.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "LinkBench.h"
#include "link/CommandTable.h"

namespace travin::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

const std::string kPowerCycle = "Power Cycle Target, then Press OK to Reestablish Communications";

Bytes textBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The detection's version request is answered with data; everything else
// with "stopped, no data".
struct PeerBench : LinkBench {
    ScriptedPeer peer{folder.path, 1};
    PeerBench() {
        peer.onFrame = [](const ScriptedPeer::Frame& f) {
            if (f.code == command::GetVersion) return dataReply(0x80, textBytes("T1"));
            return Bytes{0x00, 0x00};
        };
    }
};

long long msSince(SteadyClock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - t0).count();
}

// A board whose program prints holds up to 4 KiB ahead of the echo: at
// 19200 bit/s that is 2.1 s, far past the probe's 250 ms. The probe, the
// monitor's detection and a detected exchange all get through, and every
// byte is shown as output, in order.
struct QueuedRow {
    const char* name;
    bool detected;
    bool throughTheMonitor;
};
class OutputAheadOfTheEcho : public ::testing::TestWithParam<QueuedRow> {};

TEST_P(OutputAheadOfTheEcho, IsShownAndTheExchangeGetsThrough) {
    const QueuedRow& row = GetParam();
    PeerBench pb;
    Bytes ahead;
    for (int i = 0; i < 4096; ++i) ahead.push_back(static_cast<std::uint8_t>('a' + i % 26));
    pb.peer.bytesPerSecond = 1920;
    pb.peer.onSync = [&](int n) {
        Bytes out = n == 0 ? ahead : Bytes{};
        out.push_back(0xAA);
        return out;
    };
    pb.peer.start();
    const auto t0 = SteadyClock::now();
    if (row.throughTheMonitor) {
        // Past the port tick and up to the first probe.
        EXPECT_GT(pb.ticksUntil([&] { return pb.state().detected; }, 30), 0);
    } else {
        ASSERT_TRUE(pb.openNow());
        pb.state().detected = row.detected;
        pb.wb().link.SendCommand(command::StopProgram, fixedPayload(command::StopProgram));
    }
    EXPECT_GE(msSince(t0), 1800) << "the output did not come at the line's pace";
    EXPECT_TRUE(pb.state().detected);
    EXPECT_TRUE(pb.bench.notices.notices.empty());
    ASSERT_GE(pb.peer.frames().size(), 1u);
    EXPECT_EQ(pb.peer.frames()[0].code, command::StopProgram);
    const std::string shown = pb.consoleText();
    EXPECT_NE(shown.find(" " + std::string(ahead.begin(), ahead.end())), std::string::npos)
        << "the output ahead of the echo was not shown whole and in order";
}
INSTANTIATE_TEST_SUITE_P(Link, OutputAheadOfTheEcho,
                         ::testing::Values(QueuedRow{"Probe", false, false}, QueuedRow{"Detected", true, false},
                                           QueuedRow{"MonitorDetects", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Output with no echo behind it: the probe waits while the board prints
// and a quiet quarter second after it, but never longer than the whole
// exchange's bound, and a board that is not found yet gets no boxes.
struct ChatterRow {
    const char* name;
    int chatterMs;
    long long atLeastMs, lessThanMs;
};
class ChatterWithoutEcho : public ::testing::TestWithParam<ChatterRow> {};

TEST_P(ChatterWithoutEcho, EndsAQuietMomentAfterItOrAtTheBound) {
    const ChatterRow& row = GetParam();
    PeerBench pb;
    pb.peer.onSync = [](int) { return Bytes{}; };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        const auto end = SteadyClock::now() + std::chrono::milliseconds(row.chatterMs);
        while (!stop && SteadyClock::now() < end) {
            pb.peer.send({'x'});
            std::this_thread::sleep_for(40ms);
        }
    });
    const auto t0 = SteadyClock::now();
    pb.wb().link.ExchangeCommand(command::StopProgram, fixedPayload(command::StopProgram));
    const long long took = msSince(t0);
    stop = true;
    chatter.join();
    EXPECT_GE(took, row.atLeastMs);
    EXPECT_LT(took, row.lessThanMs);
    EXPECT_FALSE(pb.state().detected);
    EXPECT_NE(pb.state().portHandle, kInvalidHandle) << "a board not found yet keeps its port";
    EXPECT_TRUE(pb.bench.notices.notices.empty());
    EXPECT_NE(pb.consoleText().find("xxxx"), std::string::npos);
}
INSTANTIATE_TEST_SUITE_P(Probe, ChatterWithoutEcho,
                         ::testing::Values(ChatterRow{"StopsAfterASecond", 1000, 1150, 2500},
                                           ChatterRow{"NeverStops", 8000, 4950, 6500}),
                         [](const auto& info) { return std::string(info.param.name); });

// A board that answers every sync with busy: the wait is bounded, the
// exchange ends in one failure report that says why, and the port is
// closed, whether the board counted as detected or not. The clock is the
// test's own, so ten seconds of busy waits pass at once.
class BusyForever : public ::testing::TestWithParam<bool> {};

TEST_P(BusyForever, EndsInOneFailureReportAfterTenSeconds) {
    PeerBench pb;
    pb.bench.clock.realTime = false;
    pb.peer.onSync = [](int) { return Bytes{0xAB}; };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = GetParam();
    const std::int64_t before = pb.bench.clock.now;
    pb.wb().link.SendCommand(command::GetStatus, fixedPayload(command::GetStatus));
    const std::vector<std::string> expected{"Serial Communications Error (board stayed busy)", kPowerCycle};
    EXPECT_EQ(pb.bench.notices.notices, expected);
    EXPECT_FALSE(pb.state().detected);
    EXPECT_EQ(pb.state().portHandle, kInvalidHandle);
    EXPECT_TRUE(pb.state().reopenRequested);
    const std::int64_t waited = pb.bench.clock.now - before;
    EXPECT_GE(waited, CommandLink::kBusyLimitMs);
    EXPECT_LE(waited, CommandLink::kBusyLimitMs + 2 * CommandLink::kBusyWaitMs);
    EXPECT_TRUE(pb.peer.frames().empty());
    EXPECT_GE(pb.peer.syncCount(), 100);
}
INSTANTIATE_TEST_SUITE_P(DetectedOrNot, BusyForever, ::testing::Bool());

// A run of busy answers that ends in time is still waited out.
TEST(Busy, ARunShorterThanTheBoundIsWaitedOut) {
    PeerBench pb;
    pb.bench.clock.realTime = false;
    pb.peer.onSync = [](int n) { return n < 90 ? Bytes{0xAB} : Bytes{0xAA}; };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = true;
    pb.wb().link.SendCommand(command::GetStatus, fixedPayload(command::GetStatus));
    EXPECT_TRUE(pb.state().detected);
    EXPECT_TRUE(pb.bench.notices.notices.empty());
    EXPECT_EQ(pb.peer.frames().size(), 1u);
}

// The cancel check ends a wait on a board that stays busy or goes quiet;
// with a board that answers or prints the exchange under way ends
// normally, so a client can still stop what it started.
struct CancelRow {
    const char* name;
    Bytes answer;         // to every sync
    bool detected;
    bool failureExpected;
    int bytesPerSecond = 0;
};
class Cancel : public ::testing::TestWithParam<CancelRow> {};

// A second of output at the line rate, then the echo.
Bytes printedThenEcho() {
    Bytes out(1920, 'p');
    out.push_back(0xAA);
    return out;
}

TEST_P(Cancel, EndsTheWaitThroughTheFailurePath) {
    const CancelRow& row = GetParam();
    PeerBench pb;
    pb.peer.onSync = [&](int) { return row.answer; };
    pb.peer.bytesPerSecond = row.bytesPerSecond;
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = row.detected;
    int asked = 0;
    pb.wb().link.cancelRequested = [&] {
        ++asked;
        return true;
    };
    const auto t0 = SteadyClock::now();
    pb.wb().link.SendCommand(command::GetStatus, fixedPayload(command::GetStatus));
    const long long took = msSince(t0);
    if (row.failureExpected) {
        // A busy answer ends it at once; silence after the grace.
        if (row.answer != Bytes{0xAB}) EXPECT_GE(took, CommandLink::kCancelGraceMs - 5);
        EXPECT_LT(took, 2000);
        const std::vector<std::string> expected{"Serial Communications Error (interrupted)", kPowerCycle};
        EXPECT_EQ(pb.bench.notices.notices, expected);
        EXPECT_FALSE(pb.state().detected);
        EXPECT_EQ(pb.state().portHandle, kInvalidHandle);
        EXPECT_GT(asked, 1);
    } else {
        EXPECT_TRUE(pb.state().detected);
        EXPECT_TRUE(pb.bench.notices.notices.empty());
        EXPECT_EQ(pb.peer.frames().size(), 1u);
    }
}
INSTANTIATE_TEST_SUITE_P(
    Link, Cancel,
    ::testing::Values(CancelRow{"BusyForever", {0xAB}, true, true}, CancelRow{"SilentDetected", {}, true, true},
                      CancelRow{"OutputWithoutEcho", {'x'}, true, true},
                      CancelRow{"HealthyBoardFinishes", {0xAA}, true, false},
                      CancelRow{"PrintingBoardFinishes", printedThenEcho(), true, false, 1920}),
    [](const auto& info) { return std::string(info.param.name); });

// An echo that comes after the probe gave up: the next probe must not take
// it for its own echo (and send its frame too early), nor show it.
TEST(LateBytes, AnEchoAfterTheProbeGaveUpIsNotTheNextEcho) {
    PeerBench pb;
    // The first sync is echoed 400 ms late, outside the peer's script, so
    // the peer is ready for the next sync as a board that dropped its
    // frame is.
    pb.peer.onSync = [&](int n) { return n == 0 ? Bytes{} : Bytes{0xAA}; };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    std::thread late([&] {
        std::this_thread::sleep_for(400ms);
        pb.peer.send({0xAA, 0x00, 0x00});
    });
    pb.wb().link.ExchangeCommand(command::StopProgram, fixedPayload(command::StopProgram));
    EXPECT_FALSE(pb.state().detected);
    late.join();
    std::this_thread::sleep_for(100ms);   // the late bytes are in
    // The monitor's next probe.
    pb.state().probeTickCount = Monitor::kProbePeriod;
    pb.ticks(1);
    EXPECT_TRUE(pb.state().detected);
    // Taken for the echo, the late bytes would shift every reply after it
    // by one exchange, and the version request would get none.
    EXPECT_TRUE(pb.bench.notices.notices.empty());
    EXPECT_EQ(pb.peer.frames().size(), 3u);
    EXPECT_STREQ(pb.state().versionText.data(), "T1");
    // The frame went only after the second sync's own echo.
    const Bytes wire = pb.peer.received();
    ASSERT_GE(wire.size(), 3u);
    EXPECT_EQ(wire[0], 0xAA);
    EXPECT_EQ(wire[1], 0xAA);
    EXPECT_EQ(wire[2], command::StopProgram);
    EXPECT_EQ(pb.consoleText().find('\0'), std::string::npos);
    EXPECT_EQ(pb.consoleText().substr(0, 26), " Travin Detected - Version") << "stray bytes shown as output";
}

// A reply that comes after the detected exchange timed out: the failure
// path and the probe after the reopen drop it, so the board is found again
// on a clean line and nothing stray is shown.
TEST(LateBytes, AReplyAfterATimeOutIsDroppedAndTheBoardFoundAgain) {
    PeerBench pb;
    std::atomic<bool> slow{true};
    pb.peer.onFrame = [&](const ScriptedPeer::Frame& f) {
        if (slow) return Bytes{};
        if (f.code == command::GetVersion) return dataReply(0x80, textBytes("T1"));
        return Bytes{0x00, 0x00};
    };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = true;
    std::thread late([&] {
        ASSERT_TRUE(pb.peer.waitForFrames(1, 3s));
        std::this_thread::sleep_for(5300ms);
        slow = false;
        pb.peer.send({0x30, 0x30, 'Q', 0xAA});
    });
    pb.wb().link.SendCommand(command::GetStatus, fixedPayload(command::GetStatus));
    const std::vector<std::string> timeout{"Serial Communications Error (timeout)", kPowerCycle};
    EXPECT_EQ(pb.bench.notices.notices, timeout);
    late.join();
    std::this_thread::sleep_for(100ms);
    const int ticks = pb.ticksUntil([&] { return pb.state().detected; }, 30);
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(pb.bench.notices.notices, timeout) << "one failure report only";
    EXPECT_FALSE(pb.state().inputRequested) << "a stale status was taken";
    EXPECT_EQ(pb.consoleText().find('Q'), std::string::npos) << "a stale byte was shown";
}

}  // namespace
}  // namespace travin::testing
