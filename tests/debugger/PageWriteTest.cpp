// The board writes each page while the next one crosses a paced line; the
// old board that is busy for every write stays available for the busy path.
#include <algorithm>

#include "BoardBench.h"
#include "debugger/ProgramImage.h"
#include "link/CommandTable.h"

namespace travin::testing {
namespace {

namespace cmd = travin::command;

struct WriteCase {
    const char* name;
    bool busyWhileWriting;
    int lines;        // of 78 characters, then "end"
    bool expectBusy;  // some sync during the download was answered busy
};

class PageWrite : public BoardBench, public ::testing::WithParamInterface<WriteCase> {
protected:
    PageWrite() {
        options.pace = true;
        options.pageWriteMs = vboard::BoardOptions{}.pageWriteMs;  // the board's default
        options.busyWhileWriting = GetParam().busyWhileWriting;
    }
};

TEST_P(PageWrite, DownloadStoresTheStreamAndMeetsBusyOnlyWhenWritesHoldOff) {
    const auto& c = GetParam();
    std::vector<std::string> program;
    for (int i = 0; i < c.lines; ++i) {
        std::string line = "print \"line " + std::to_string(i) + "\"";
        line.resize(78, ' ');
        program.push_back(line);
    }
    program.emplace_back("end");
    ASSERT_EQ(checkLimits(program).fault, LimitFault::None);
    listing().setLines(program);

    wb().download.DebuggerDownloadExecute();
    ASSERT_TRUE(state().detected);
    ASSERT_FALSE(state().downloadNeeded);

    const std::string stream = streamOf(program);
    const auto pages = exchangesOf(cmd::DownloadBlock);
    ASSERT_EQ(pages.size(), (stream.size() + 127) / 128);
    EXPECT_EQ(pages.front().baud, 115200u);
    std::size_t busy = 0;
    for (const auto& s : board->record().syncs()) busy += s.answer == 0xAB;
    // A page whose sync follows the write before it closely enough meets it;
    // a loaded machine may send some later than the 5 ms write.
    if (c.expectBusy)
        EXPECT_GT(busy, 0u);
    else
        EXPECT_EQ(busy, 0u);

    // Pages in order, whatever the timing: the area holds the stream, then zeros.
    const auto area = board->programArea();
    std::string expected = stream;
    expected.resize(area.size(), '\0');
    EXPECT_EQ(std::string(area.begin(), area.end()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Board, PageWrite,
    ::testing::Values(
        // 371 lines of 80 and "end" CR LF fill all 232 pages.
        WriteCase{"OverlappedFullProgram", false, 371, false},
        // Each busy page costs the protocol's 100 ms wait, so a shorter one.
        WriteCase{"BusyWhileWriting", true, 20, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace travin::testing
