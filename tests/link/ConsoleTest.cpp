// The console's line rules, driven through the core with fake screens.
#include <gtest/gtest.h>

#include "tests/support/FakeScreens.h"

#include <chrono>
#include <thread>

#include "core/LineTimes.h"

namespace travin::testing {
namespace {

struct ConsoleFixture : ::testing::Test {
    FakeBench bench{"/nonexistent/"};
    Console& console() { return bench.wb->console; }
    std::vector<std::string> lines() { return {console().lines().begin(), console().lines().end()}; }
    void SetUp() override { console().DebuggerClearWindowExecute(); }
};

TEST_F(ConsoleFixture, ClearLeavesOneSpaceLineAndShowsIt) {
    console().ConsoleWrite("abc\nxyz");
    console().DebuggerClearWindowExecute();
    EXPECT_EQ(lines(), std::vector<std::string>{" "});
    EXPECT_EQ(bench.console.shown, std::vector<std::string>{" "});
}

TEST_F(ConsoleFixture, CrStaysOnTheLineAndLfStartsASpaceLine) {
    for (std::uint8_t b : {'A', 'B', '\r', '\n', 'C'}) console().ConsoleWriteChar(b);
    EXPECT_EQ(lines(), (std::vector<std::string>{" AB\r", " C"}));
}

TEST_F(ConsoleFixture, ZeroByteAppendsNothingAndHighBytesSurvive) {
    console().ConsoleWriteChar(0);
    console().ConsoleWriteChar(0xE9);
    console().ConsoleWriteChar(0xFF);
    EXPECT_EQ(lines(), std::vector<std::string>{" \xE9\xFF"});
}

TEST_F(ConsoleFixture, ByteIntoAnEmptiedPaneBecomesItsOnlyLine) {
    bench.console.shown.clear();
    console().paneEdited();   // the user deleted the whole text
    console().ConsoleWriteChar('x');
    EXPECT_EQ(lines(), std::vector<std::string>{"x"});
}

// Output written after the last hand-over ("Run Failed" after an exchange)
// is not lost when the user edits the pane before the next one: it follows
// the edited text and reaches the pane.
TEST_F(ConsoleFixture, OutputNotYetInThePaneSurvivesAUserEdit) {
    console().ConsoleWrite("first\n");
    console().flush();
    console().ConsoleWrite("Run Failed\n");  // not handed over yet
    bench.console.shown = {" first", " typed"};  // the user's edit of what the pane had
    console().paneEdited();
    console().flush();
    EXPECT_EQ(bench.console.shown, (std::vector<std::string>{" first", " typedRun Failed", " "}));

    // With nothing pending, an edit is taken as it stands and not handed back.
    bench.console.shown = {" only"};
    console().paneEdited();
    EXPECT_EQ(lines(), std::vector<std::string>{" only"});
    bench.console.shown.clear();
    console().flush();
    EXPECT_TRUE(bench.console.shown.empty());
}

TEST_F(ConsoleFixture, WriteStopsAtTheTerminatingZero) {
    console().ConsoleWrite(std::string_view("ab\0cd", 5));
    EXPECT_EQ(lines(), std::vector<std::string>{" ab"});
}

// With 102 lines, a byte that is not LF trims to 101; an LF keeps 102.
struct TrimRow {
    std::uint8_t byte;
    std::size_t linesAfter;
};
class ConsoleTrim : public ConsoleFixture, public ::testing::WithParamInterface<TrimRow> {};

TEST_P(ConsoleTrim, HundredAndTwoLinesPlusOneByte) {
    // " 1" .. " 101" and an empty " ": 102 lines, none trimmed on the way.
    for (int i = 1; i <= 101; ++i) console().ConsoleWrite(std::to_string(i) + "\n");
    ASSERT_EQ(console().lines().size(), 102u);
    ASSERT_EQ(console().lines().front(), " 1");
    console().ConsoleWriteChar(GetParam().byte);
    EXPECT_EQ(console().lines().size(), GetParam().linesAfter);
    EXPECT_EQ(console().lines().back(), GetParam().byte == '\n' ? " " : " x");
    // The oldest line went.
    EXPECT_EQ(console().lines().front(), " 2");
}
INSTANTIATE_TEST_SUITE_P(Rules, ConsoleTrim, ::testing::Values(TrimRow{'x', 101}, TrimRow{'\n', 102}),
                         [](const auto& info) { return info.param.byte == '\n' ? "LineFeed" : "OtherByte"; });

TEST_F(ConsoleFixture, LongFloodSettlesAtTheLastLinesOfTheStream) {
    std::string stream;
    for (int i = 0; i < 5000; ++i) stream += "line " + std::to_string(i) + "\r\n";
    console().ConsoleWrite(stream);
    const auto& kept = console().lines();
    ASSERT_GE(kept.size(), 101u);
    ASSERT_LE(kept.size(), 102u);
    EXPECT_EQ(kept.back(), " ");
    EXPECT_EQ(kept[kept.size() - 2], " line 4999\r");
    EXPECT_EQ(kept[kept.size() - 101], " line 4900\r");
}

TEST_F(ConsoleFixture, PaneIsHandedTheLinesOnlyOnFlushAndOnlyWhenChanged) {
    const int before = bench.console.updates;
    for (int i = 0; i < 1000; ++i) console().ConsoleWriteChar('z');
    EXPECT_EQ(bench.console.updates, before);
    console().flush();
    console().flush();
    EXPECT_EQ(bench.console.updates, before + 1);
    EXPECT_EQ(bench.console.shown.back().size(), 1001u);
}

// A line that never ends (a status line redrawn with CR) keeps only what the
// pane can show, the newest 65536 characters at the least, instead of growing
// for as long as the program prints.
TEST_F(ConsoleFixture, ALineThatNeverEndsKeepsItsNewestCharactersOnly) {
    std::string stream;
    for (int i = 0; stream.size() < 400000; ++i) stream += "pos " + std::to_string(i) + "\r";
    console().ConsoleWrite(stream);
    ASSERT_EQ(console().lines().size(), 1u);
    const std::string& line = console().lines().back();
    EXPECT_LE(line.size(), 2u * 65536u);
    ASSERT_GE(line.size(), 65536u);
    EXPECT_EQ(line, stream.substr(stream.size() - line.size()));

    // The next line starts as always, and the long one stays as it was cut.
    const std::string before = line;
    console().ConsoleWrite("\nnext");
    ASSERT_EQ(console().lines().size(), 2u);
    EXPECT_EQ(console().lines().front(), before);
    EXPECT_EQ(console().lines().back(), " next");
}

// Streams that exercise every rule: line breaks, CR, zero bytes, high bytes,
// the trimming to 101/102 lines, and a line longer than the pane holds.
std::string streamNamed(const std::string& name) {
    std::string s;
    if (name == "Lines") {
        for (int i = 0; i < 40; ++i) s += "line " + std::to_string(i) + "\r\n";
    } else if (name == "ZerosAndHighBytes") {
        for (int i = 0; i < 300; ++i) s += std::string("a\0\xE9", 3) + (i % 7 ? "" : "\n") + std::string(1, '\0');
    } else if (name == "FloodPastTheKeptLines") {
        for (int i = 0; i < 3000; ++i) s += "flood " + std::to_string(i) + (i % 3 ? "\r\n" : "\n");
    } else if (name == "ZerosAtTheLimit") {
        s = std::string(101, '\n') + std::string(5, '\0') + "x" + std::string(3, '\0') + "\n\n";
    } else if (name == "LongLineThenLines") {
        for (int i = 0; s.size() < 150000; ++i) s += "pos " + std::to_string(i) + "\r";
        for (int i = 0; i < 120; ++i) s += "\nafter " + std::to_string(i);
    }
    return s;
}

struct BatchRow {
    const char* stream;
    std::size_t batch;  // bytes a tick takes
};
class ConsoleBatch : public ::testing::TestWithParam<BatchRow> {};

// A tick's bytes reach the pane as one change; the pane must end with the
// lines it would have had with every byte handed over on its own.
TEST_P(ConsoleBatch, OneChangePerTickLeavesTheLinesOfByteAtATime) {
    const std::string stream = streamNamed(GetParam().stream);
    ASSERT_FALSE(stream.empty());
    FakeBench single("/nonexistent/"), batched("/nonexistent/");
    single.wb->console.DebuggerClearWindowExecute();
    batched.wb->console.DebuggerClearWindowExecute();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stream.data());
    for (std::size_t i = 0; i < stream.size(); ++i) single.wb->console.ConsoleWriteChar(bytes[i]);
    single.wb->console.flush();
    for (std::size_t at = 0; at < stream.size(); at += GetParam().batch) {
        batched.wb->console.ConsoleWriteBytes(bytes + at, std::min(GetParam().batch, stream.size() - at));
        batched.wb->console.flush();
        const auto& now = batched.wb->console.lines();
        ASSERT_EQ(batched.console.shown, std::vector<std::string>(now.begin(), now.end())) << "after byte " << at;
    }
    EXPECT_EQ(batched.console.shown, single.console.shown);
    EXPECT_GT(batched.console.updates, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ConsoleBatch,
    ::testing::Values(BatchRow{"Lines", 7}, BatchRow{"ZerosAndHighBytes", 5}, BatchRow{"FloodPastTheKeptLines", 192},
                      BatchRow{"FloodPastTheKeptLines", 4096}, BatchRow{"ZerosAtTheLimit", 1},
                      BatchRow{"ZerosAtTheLimit", 3}, BatchRow{"LongLineThenLines", 4096}),
    [](const auto& info) { return std::string(info.param.stream) + "By" + std::to_string(info.param.batch); });

// The board's bytes reach the listener once each, in order, at the flush;
// the workbench's own lines and the pane's clearing do not.
TEST_F(ConsoleFixture, TheListenerGetsTheBoardsBytesOnlyAtTheFlush) {
    struct Recorder : ConsoleBytesListener {
        std::vector<std::string> chunks;
        void consoleBytesReceived(std::string_view bytes) override { chunks.emplace_back(bytes); }
    } listener;
    console().setBytesListener(&listener);
    for (std::uint8_t b : {'1', ' ', '2'}) console().ConsoleWriteChar(b);
    console().ConsoleWrite("Downloading....Done 3\r\n");
    EXPECT_TRUE(listener.chunks.empty()) << "nothing before the flush";
    console().ConsoleWriteChar('\n');
    console().flush();
    console().flush();
    console().DebuggerClearWindowExecute();
    console().ConsoleWriteChar('7');
    console().flush();
    EXPECT_EQ(listener.chunks, (std::vector<std::string>{"1 2\n", "7"}));
    EXPECT_EQ(lines(), std::vector<std::string>{" 7"}) << "the pane is fed as before";
    console().setBytesListener(nullptr);
}


// --- The history: its length, what it dropped, the lines' times -------------

namespace history {

struct Recorded : ConsoleBytesListener {
    std::string bytes;
    std::vector<std::int64_t> times;
    void consoleBytesReceived(std::string_view b) override { bytes += b; }
    void consoleBytesReceivedAt(std::string_view b, std::int64_t wallMs) override {
        bytes += b;
        times.push_back(wallMs);
    }
};

struct LengthRow {
    std::size_t limit;
    int lines;
    std::uint64_t dropped;  // after `lines` lines and one more byte
    // (the pane settles at the limit after a byte that is not LF)
};
class ConsoleHistory : public ConsoleFixture, public ::testing::WithParamInterface<LengthRow> {};

TEST_P(ConsoleHistory, KeepsItsLengthAndCountsWhatWentUntilCleared) {
    console().setLineLimit(GetParam().limit);
    for (int i = 0; i < GetParam().lines; ++i) console().ConsoleWrite("line " + std::to_string(i) + "\n");
    console().ConsoleWriteChar('x');
    EXPECT_EQ(console().lines().size(), std::min<std::size_t>(GetParam().limit, GetParam().lines + 1u));
    EXPECT_EQ(console().droppedLines(), GetParam().dropped);
    EXPECT_EQ(console().lines().back(), " x");
    console().DebuggerClearWindowExecute();
    EXPECT_EQ(console().droppedLines(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ConsoleHistory, ::testing::Values(
    LengthRow{5, 3, 0}, LengthRow{5, 5, 1}, LengthRow{5, 20, 16}, LengthRow{101, 150, 50},
    LengthRow{100000, 1000, 0}));

TEST_F(ConsoleFixture, LinesCarryTheTimeTheirFirstByteWasReadAndListenersGetTheSame) {
    Recorded plot, log;
    console().addBytesListener(&plot);
    console().addBytesListener(&log);
    console().addBytesListener(&log);  // once only
    const std::int64_t before = wallClockMs();
    console().ConsoleWrite("Travin Detected\n");
    for (std::uint8_t b : std::string("a=1\r\nb=2\r\n")) console().ConsoleWriteChar(b);
    console().flush();
    const std::int64_t after = wallClockMs();
    const std::vector<std::int64_t> times = console().lineTimes();
    ASSERT_EQ(times.size(), 4u);  // " Travin...", " a=1\r", " b=2\r", " "
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_GE(times[i], before);
        EXPECT_LE(times[i], after);
    }
    EXPECT_EQ(times[3], 0) << "nothing arrived in the last line yet";
    // The board's bytes only, once to each listener, with the lines' time.
    EXPECT_EQ(plot.bytes, "a=1\r\nb=2\r\n");
    EXPECT_EQ(log.bytes, plot.bytes);
    ASSERT_EQ(log.times.size(), 1u);
    EXPECT_EQ(log.times[0], times[1]);

    // The next hand-over's lines get their own time; a removed listener
    // hears nothing more.
    console().removeBytesListener(&plot);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (std::uint8_t b : std::string("c=3\r\n")) console().ConsoleWriteChar(b);
    console().flush();
    EXPECT_GT(console().lineTimes()[3], times[1]);
    EXPECT_EQ(plot.bytes, "a=1\r\nb=2\r\n");
    EXPECT_EQ(log.bytes, "a=1\r\nb=2\r\nc=3\r\n");
    console().setBytesListener(nullptr);
}

}  // namespace history

}  // namespace
}  // namespace travin::testing
