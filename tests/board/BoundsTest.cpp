// What the board holds in memory stays bounded however long a program
// prints: the output queue a small board has, and the trace it keeps.
#include "BoardFixture.h"

#include <algorithm>

namespace boardtest {
namespace {

// One line of output per statement, printed as fast as the board runs.
const char* kFlood = "again:\nprint \"abcdefghij\"\ngoto again\n";
constexpr std::size_t kFloodLine = 12;  // "abcdefghij\r\n"

struct QueueRow {
    const char* name;
    std::size_t option;  // 0: the default
    std::size_t bound;
};

class OutputQueueTest : public BoardTest, public ::testing::WithParamInterface<QueueRow> {};

// A paced board printing without pause, read by the client at the line's
// pace: the output waiting on the board fills up to the queue's size and
// never passes it by more than one line.
TEST_P(OutputQueueTest, TheQueueFillsToItsSizeAndNoFurther) {
    options_.pace = true;
    if (GetParam().option) options_.outputQueueBytes = GetParam().option;
    startBoard();
    store(kFlood);
    ASSERT_EQ(client_.exchange(2, bytesOf("Run Comm")).status, 0x20);
    std::size_t most = 0;
    std::size_t received = 0;
    const auto end = std::chrono::steady_clock::now() + Ms(1500);
    while (std::chrono::steady_clock::now() < end) {
        most = std::max(most, board_->consoleWaiting());
        received += client_.drain(Ms(1)).size();
    }
    EXPECT_LE(most, GetParam().bound + kFloodLine);
    // It did fill: the program outran the line and waited for it.
    EXPECT_GE(most, GetParam().bound);
    EXPECT_GT(received, 0u);
    // The whole queue goes out ahead of the echo: 4 KiB take about 2.1 s.
    ASSERT_TRUE(client_.exchange(3, bytesOf("Stop Com"), Ms(6000)).ok);
}

INSTANTIATE_TEST_SUITE_P(Sizes, OutputQueueTest,
                         ::testing::Values(QueueRow{"SmallBoardByDefault", 0, 256}, QueueRow{"Large", 4096, 4096},
                                           QueueRow{"Tiny", 16, 16}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace boardtest
