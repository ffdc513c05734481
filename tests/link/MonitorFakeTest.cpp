// The monitor's rules that need no wire, and the command table's fixed
// payloads, with fake screens.
#include <gtest/gtest.h>

#include <filesystem>

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
    nb.ticks(100);
    EXPECT_EQ(nb.state().portTickCount, 101);
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

}  // namespace
}  // namespace travin::testing
