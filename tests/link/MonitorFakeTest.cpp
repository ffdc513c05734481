// The monitor's rules that need no wire, and the command table's fixed
// payloads, with fake screens.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "LinkBench.h"
#include "link/CommandTable.h"

namespace travin::testing {
namespace {

struct PayloadRow {
    std::uint8_t code;
    const char* name;
    const char* wire;
};
class FixedPayloads : public ::testing::TestWithParam<PayloadRow> {};

TEST_P(FixedPayloads, CutFromTheirTexts) {
    EXPECT_EQ(fixedPayload(GetParam().code), GetParam().wire);
    EXPECT_EQ(commandName(GetParam().code), GetParam().name);
}
INSTANTIATE_TEST_SUITE_P(
    Table, FixedPayloads,
    ::testing::Values(PayloadRow{command::RunProgram, "RunProgram", "Run Comm"},
                      PayloadRow{command::StopProgram, "StopProgram", "Stop Com"},
                      PayloadRow{command::StepProgram, "StepProgram", "Step Com"},
                      PayloadRow{command::ResetProgram, "ResetProgram", "Reset Co"},
                      PayloadRow{command::GetStatus, "GetStatus", "Stat"},
                      PayloadRow{command::GetVariables, "GetVariables", "get "},
                      PayloadRow{command::GetVersion, "GetVersion", ""},
                      PayloadRow{command::DownloadBlock, "DownloadBlock", ""},
                      PayloadRow{5, "Unknown", ""}),
    [](const auto& info) { return "Code" + std::to_string(info.param.code); });

TEST(CommandTableShape, CodesOneToTwentyWithoutFive) {
    std::vector<int> codes;
    for (const auto& c : commandTable()) codes.push_back(c.code);
    std::vector<int> expected;
    for (int c = 1; c <= 20; ++c) {
        if (c != 5) expected.push_back(c);
    }
    EXPECT_EQ(codes, expected);
}

// No port can open: the com1 entry names nothing.
struct NoPortBench : LinkBench {
    NoPortBench() { std::filesystem::create_symlink(folder.path + "absent", folder.path + "com1"); }
};

TEST(MonitorTick, ListingEditMarksItAndClearsTheBreakpoints) {
    NoPortBench nb;
    nb.bench.listing.type({"a = 1", "print a"});
    nb.state().breakpoints = {1, kEmptySlot, kEmptySlot};
    nb.state().downloadNeeded = false;
    nb.bench.listing.setSelection(0, 5);
    nb.bench.listing.setSelectionColor(kRed);
    nb.ticks(1);
    EXPECT_FALSE(nb.bench.listing.modified());
    EXPECT_TRUE(nb.state().downloadNeeded);
    EXPECT_TRUE(nb.state().unsavedChanges);
    for (auto slot : nb.state().breakpoints) EXPECT_EQ(slot, kEmptySlot);
    // A breakpoint was set, so the colours went back to the default.
    EXPECT_EQ(nb.bench.listing.lineColour(0), nb.bench.listing.defaultColour);
    EXPECT_FALSE(nb.bench.listing.modified()) << "colouring must not count as an edit";
}

TEST(MonitorTick, NoEditNoMark) {
    NoPortBench nb;
    nb.state().downloadNeeded = false;
    nb.ticks(3);
    EXPECT_FALSE(nb.state().downloadNeeded);
    EXPECT_FALSE(nb.state().unsavedChanges);
}

TEST(MonitorTick, PortThatCannotOpenIsRetriedEveryTwentyTicksSilently) {
    NoPortBench nb;
    nb.ticks(105);
    EXPECT_EQ(nb.state().portTickCount, 6);   // 105 counted, kept within one period
    EXPECT_EQ(nb.state().probeTickCount, 1);
    EXPECT_EQ(nb.state().statusTickCount, 1);
    EXPECT_TRUE(nb.state().reopenRequested);
    EXPECT_TRUE(nb.bench.notices.notices.empty());
    EXPECT_EQ(nb.state().openPort, 1);
}

TEST(MonitorTick, EveryTickSwitchesTheTimerOffAndOnAndShowsTheConsole) {
    NoPortBench nb;
    nb.wb().console.ConsoleWrite("pending");
    const int updates = nb.bench.console.updates;
    nb.bench.timer.on = true;
    const int switches = nb.bench.timer.switches;
    nb.ticks(1);
    EXPECT_EQ(nb.bench.timer.switches, switches + 2);
    EXPECT_TRUE(nb.bench.timer.on);
    EXPECT_EQ(nb.bench.console.updates, updates + 1);
    EXPECT_EQ(nb.bench.console.shown.back(), " pending");
}

TEST(MonitorBaud, NotDetectedChangesNothingAndSaysSo) {
    NoPortBench nb;
    nb.bench.timer.on = false;
    EXPECT_FALSE(nb.wb().monitor.ChangeBaudRate(115200));
    EXPECT_TRUE(nb.bench.timer.on);
    EXPECT_TRUE(nb.bench.notices.notices.empty());
}

// StoreReplyData per code, straight from a reply buffer: what each code keeps
// and that nothing past the bytes that came is read.
struct UploadRow {
    const char* name;
    std::vector<std::uint8_t> data;      // the reply data, M bytes
    std::string appended;
    bool end;
};
class UploadBlockStore : public ::testing::TestWithParam<UploadRow> {};

std::vector<std::uint8_t> uploadData(const std::string& text, int size = 130) {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size), 0);
    data[0] = 0xEE;   // the two unused bytes must not reach the stream
    data[1] = 0xEF;
    for (std::size_t i = 0; i < text.size() && 2 + i < data.size(); ++i) {
        data[2 + i] = static_cast<std::uint8_t>(text[i]);
    }
    return data;
}

TEST_P(UploadBlockStore, AppendsTheTextBeforeTheFirstZero) {
    NoPortBench nb;
    nb.state().uploadStream = {'>'};
    nb.state().uploadEnd = false;
    const auto& row = GetParam();
    nb.wb().link.StoreReplyData(command::UploadBlock, row.data.data(), static_cast<int>(row.data.size()));
    const std::string stream(nb.state().uploadStream.begin(), nb.state().uploadStream.end());
    EXPECT_EQ(stream, ">" + row.appended);
    EXPECT_EQ(nb.state().uploadEnd, row.end);
}
INSTANTIATE_TEST_SUITE_P(
    Blocks, UploadBlockStore,
    ::testing::Values(UploadRow{"EndsInside", uploadData("a=1\r\n"), "a=1\r\n", true},
                      UploadRow{"FullPage", uploadData(std::string(128, 'x')), std::string(128, 'x'), false},
                      UploadRow{"ZeroFirst", uploadData(""), "", true},
                      UploadRow{"ShortReplyKeepsWhatCame", uploadData("abc", 5), "abc", false},
                      UploadRow{"LongerReplyStopsAtThePage", uploadData(std::string(140, 'y'), 150),
                                std::string(128, 'y'), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplyStore, StartupBlockKeepsTwentyFourBytesAndShortRepliesOnlyWhatCame) {
    NoPortBench nb;
    std::vector<std::uint8_t> data(30);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i + 1);
    nb.wb().link.StoreReplyData(command::GetStartupTime, data.data(), 30);
    for (std::size_t i = 0; i < 24; ++i) EXPECT_EQ(nb.state().startupBlock[i], i + 1) << i;

    nb.state().startupBlock.fill(0x55);
    const std::uint8_t shortReply[3] = {9, 8, 7};
    nb.wb().link.StoreReplyData(command::GetStartupTime, shortReply, 3);
    EXPECT_EQ(nb.state().startupBlock[0], 9);
    EXPECT_EQ(nb.state().startupBlock[2], 7);
    EXPECT_EQ(nb.state().startupBlock[3], 0x55);
}

TEST(ReplyStore, PromptOpensTheUserInputBoxAndTheAnswerIsElevenBytesAtMost) {
    NoPortBench nb;
    // What an earlier, longer answer left behind must not survive.
    nb.state().inputAnswer.fill('#');
    nb.bench.notices.inputAnswers.push_back(std::string("abcdefghijklmnop"));
    const std::string prompt = "Speed?";
    // The text ends after M bytes even without a terminator.
    nb.wb().link.StoreReplyData(command::GetInputPrompt, reinterpret_cast<const std::uint8_t*>(prompt.data()),
                                static_cast<int>(prompt.size()));
    ASSERT_EQ(nb.bench.notices.inputs.size(), 1u);
    EXPECT_EQ(nb.bench.notices.inputs[0].caption, "User Input");
    EXPECT_EQ(nb.bench.notices.inputs[0].prompt, "Speed?");
    EXPECT_EQ(nb.bench.notices.inputs[0].initial, "0");
    const std::array<char, 12> expected{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', '\0'};
    EXPECT_EQ(nb.state().inputAnswer, expected);

    nb.wb().link.StoreReplyData(command::GetInputPrompt, nullptr, 0);   // cancelled: "0"
    const std::array<char, 12> zero{'0'};
    EXPECT_EQ(nb.state().inputAnswer, zero);
}

TEST(ReplyStore, OtherCodesKeepNothing) {
    NoPortBench nb;
    std::vector<std::uint8_t> data(130, 'z');
    for (std::uint8_t code : {command::GetStatus, command::StopProgram, command::SendInput, std::uint8_t{5}}) {
        nb.wb().link.StoreReplyData(code, data.data(), 130);
    }
    EXPECT_TRUE(nb.state().uploadStream.empty());
    EXPECT_EQ(nb.state().startupBlock[0], 0);
    EXPECT_EQ(nb.state().versionText[0], '\0');
    EXPECT_EQ(nb.state().variableValues[0], 0);
    EXPECT_TRUE(nb.bench.notices.inputs.empty());
}

// ShowStopped's order: the light goes grey before the variables are read,
// and the listing's colours are reset only after that read, then the
// breakpoints and the executing line are painted over them.
TEST(ShowStopped, LightFirstThenVariablesThenTheListingMarks) {
    NoPortBench nb;   // the variables read fails at once on the closed port
    nb.bench.listing.setLines({"a = 1", "b = 2"});
    nb.bench.listing.setSelection(0, 5);
    nb.bench.listing.setSelectionColor(kRed);
    nb.bench.listing.setModified(false);
    nb.bench.main.setRunningLight(kGreen);
    nb.state().detected = true;
    nb.state().executingPosition = 7;   // line 1
    std::optional<Rgb> lightAtRead, colourAtRead;
    nb.bench.notices.onNotice = [&](const std::string&) {
        if (lightAtRead) return;
        lightAtRead = nb.bench.main.light;
        colourAtRead = nb.bench.listing.lineColour(0);
    };
    nb.wb().link.ShowStopped();
    ASSERT_TRUE(lightAtRead.has_value()) << "the variables were not read";
    EXPECT_EQ(*lightAtRead, kGrey);
    EXPECT_EQ(*colourAtRead, kRed) << "colours reset before the variables were read";
    EXPECT_EQ(nb.bench.listing.lineColour(0), nb.bench.listing.defaultColour);
    EXPECT_EQ(nb.bench.listing.lineColour(1), kBlue);
    EXPECT_EQ(nb.bench.listing.selectionStart(), 7);
    EXPECT_FALSE(nb.bench.listing.modified());
}

// Each counted step keeps its exact period across the point where an
// endless signed count would overflow.
struct CounterRow {
    const char* name;
    int WorkbenchState::*counter;
    int period;
    bool portOpen, detected;
};
class CounterLimit : public ::testing::TestWithParam<CounterRow> {};

TEST_P(CounterLimit, PeriodHoldsPastTheLargestCount) {
    const CounterRow& row = GetParam();
    LinkBench lb;
    ScriptedPeer peer(lb.folder.path, 1);
    peer.start();
    if (row.portOpen) {
        ASSERT_TRUE(lb.openNow());
    }
    lb.state().detected = row.detected;
    // Just past the last tick that runs the step below the largest int.
    const int last = std::numeric_limits<int>::max() - std::numeric_limits<int>::max() % row.period;
    lb.state().*row.counter = last + 1;
    const auto ran = [&] {
        return row.portOpen ? peer.syncCount() > 0 : lb.state().portHandle != kInvalidHandle;
    };
    for (int i = 1; i < row.period; ++i) {
        lb.ticks(1);
        ASSERT_FALSE(ran()) << "ran after " << i << " ticks";
    }
    lb.ticks(1);
    EXPECT_TRUE(ran()) << "did not run after " << row.period << " ticks";
}

INSTANTIATE_TEST_SUITE_P(
    Counters, CounterLimit,
    ::testing::Values(CounterRow{"PortTick", &WorkbenchState::portTickCount, Monitor::kPortPeriod, false, false},
                      CounterRow{"Probe", &WorkbenchState::probeTickCount, Monitor::kProbePeriod, true, false},
                      CounterRow{"StatusPoll", &WorkbenchState::statusTickCount, Monitor::kStatusPeriod, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace travin::testing
