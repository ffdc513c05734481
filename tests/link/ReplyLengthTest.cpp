// Replies whose data length the command cannot have, malformed start-up
// replies, and a payload too long for a frame, against a scripted far end
// over a real pseudo-terminal.
#include <gtest/gtest.h>

#include <stdexcept>

#include "LinkBench.h"
#include "link/CommandTable.h"

namespace travin::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::vector<std::string> kLengthFailure{"Serial Communications Error (reply length error)",
                                              "Power Cycle Target, then Press OK to Reestablish Communications"};

struct PeerBench : LinkBench {
    ScriptedPeer peer{folder.path, 1};
};

Bytes withData(int count) { return dataReply(0x80, Bytes(static_cast<std::size_t>(count), 'x')); }

struct LengthRow {
    const char* name;
    std::uint8_t code;
    Bytes payload;
    Bytes reply;
    bool fault;
};
class ReplyLength : public ::testing::TestWithParam<LengthRow> {};

TEST_P(ReplyLength, OnlyTheTablesLengthIsTakenAsGood) {
    const LengthRow& row = GetParam();
    PeerBench pb;
    pb.peer.onFrame = [&](const ScriptedPeer::Frame&) { return row.reply; };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = true;
    pb.state().downloadNeeded = false;
    pb.state().variableValues.fill(9);
    pb.state().startupBlock.fill(0x55);
    pb.state().uploadStream.clear();
    pb.state().uploadEnd = false;

    pb.wb().link.SendCommand(row.code, row.payload.data(), static_cast<int>(row.payload.size()));

    if (!row.fault) {
        EXPECT_TRUE(pb.state().detected);
        EXPECT_TRUE(pb.bench.notices.notices.empty());
        return;
    }
    EXPECT_EQ(pb.bench.notices.notices, kLengthFailure);
    EXPECT_FALSE(pb.state().detected);
    EXPECT_EQ(pb.state().portHandle, kInvalidHandle);
    EXPECT_TRUE(pb.state().downloadNeeded);
    // Nothing of the reply was kept.
    for (auto v : pb.state().variableValues) EXPECT_EQ(v, 9);
    for (auto b : pb.state().startupBlock) EXPECT_EQ(b, 0x55);
    EXPECT_TRUE(pb.state().uploadStream.empty());
}

const Bytes kGetVar{'g', 'e', 't', ' '};
const Bytes kBlock0{0, 0};

INSTANTIATE_TEST_SUITE_P(
    Commands, ReplyLength,
    ::testing::Values(LengthRow{"VariablesExact", command::GetVariables, kGetVar, withData(106), false},
                      LengthRow{"VariablesShort", command::GetVariables, kGetVar, withData(105), true},
                      LengthRow{"VariablesLong", command::GetVariables, kGetVar, withData(107), true},
                      LengthRow{"VariablesNoData", command::GetVariables, kGetVar, {0x00, 0x00}, true},
                      LengthRow{"UploadExact", command::UploadBlock, kBlock0, withData(130), false},
                      LengthRow{"UploadShortByFive", command::UploadBlock, kBlock0, withData(125), true},
                      LengthRow{"UploadLong", command::UploadBlock, kBlock0, withData(131), true},
                      LengthRow{"UploadNoData", command::UploadBlock, kBlock0, {0x00, 0x00}, true},
                      LengthRow{"StartupExact", command::GetStartupTime, {}, withData(24), false},
                      LengthRow{"StartupShort", command::GetStartupTime, {}, withData(23), true},
                      LengthRow{"StartupLong", command::GetStartupTime, {}, withData(25), true},
                      // Texts have no fixed length.
                      LengthRow{"PromptEmpty", command::GetInputPrompt, {}, withData(0), false},
                      LengthRow{"PromptLong", command::GetInputPrompt, {}, withData(200), false},
                      LengthRow{"VersionEmpty", command::GetVersion, {}, withData(0), false},
                      LengthRow{"VersionNoData", command::GetVersion, {}, {0x00, 0x00}, false},
                      LengthRow{"VersionLong", command::GetVersion, {}, withData(255), false}),
    [](const auto& info) { return std::string(info.param.name); });

// The start-up operation: a good read first, then one that is malformed. The
// second must end as a link fault and send nothing, in particular not the
// bytes of the first read.
struct StartupRow {
    const char* name;
    Bytes reply;
};
class MalformedStartup : public ::testing::TestWithParam<StartupRow> {};

TEST_P(MalformedStartup, IsALinkFaultAndNothingIsWritten) {
    PeerBench pb;
    Bytes good(24);
    for (std::size_t i = 0; i < good.size(); ++i) good[i] = static_cast<std::uint8_t>(0xA0 + i);
    good[0] = 3;
    int reads = 0;
    pb.peer.onFrame = [&](const ScriptedPeer::Frame& f) {
        if (f.code == command::GetStartupTime) return reads++ == 0 ? dataReply(0x80, good) : GetParam().reply;
        return Bytes{0x00, 0x00};
    };
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = true;

    pb.bench.notices.inputAnswers = {std::nullopt};
    pb.wb().memory.StartupTimeMenuClick();
    ASSERT_EQ(pb.bench.notices.notices, std::vector<std::string>{"Startup Time Not Changed"});
    pb.bench.notices.notices.clear();

    pb.bench.notices.inputAnswers = {std::string("5")};
    pb.wb().memory.StartupTimeMenuClick();
    EXPECT_EQ(pb.bench.notices.notices, kLengthFailure);
    EXPECT_EQ(pb.bench.notices.inputs.size(), 1u) << "the box opened on a malformed read";
    EXPECT_NE(pb.consoleText().find("Set Startup Time Failed\r"), std::string::npos) << pb.consoleText();
    for (const auto& f : pb.peer.frames()) EXPECT_NE(f.code, command::SetStartupTime);
}

INSTANTIATE_TEST_SUITE_P(Replies, MalformedStartup,
                         ::testing::Values(StartupRow{"WithoutData", {0x00, 0x00}},
                                           StartupRow{"EmptyData", dataReply(0x80, {})},
                                           StartupRow{"OneByte", withData(1)},
                                           StartupRow{"TwentyThreeBytes", withData(23)}),
                         [](const auto& info) { return std::string(info.param.name); });

// A payload the length byte cannot carry is the caller's fault and must not
// reach the wire in any form.
TEST(Payload, LongerThanAFrameHoldsThrowsBeforeAnyByte) {
    PeerBench pb;
    pb.peer.start();
    ASSERT_TRUE(pb.openNow());
    pb.state().detected = true;
    const Bytes payload(256, 'p');
    EXPECT_THROW(pb.wb().link.ExchangeCommand(command::SendAci, payload.data(), 256), std::logic_error);
    EXPECT_THROW(pb.wb().link.ExchangeCommand(command::SendAci, payload.data(), -1), std::logic_error);
    EXPECT_EQ(pb.wb().link.exchangeDepth(), 0);
    // The most a frame holds still goes out whole.
    pb.wb().link.ExchangeCommand(command::SendAci, payload.data(), 255);
    ASSERT_TRUE(pb.peer.waitForFrames(1, std::chrono::seconds(2)));
    const auto frames = pb.peer.frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].payload.size(), 255u);
    EXPECT_EQ(pb.peer.received().size(), 255u + 4) << "only the good frame reached the wire";
    EXPECT_TRUE(pb.state().detected);
}

}  // namespace
}  // namespace travin::testing
