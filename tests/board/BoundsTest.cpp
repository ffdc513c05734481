// What the board holds in memory stays bounded however long a program
// prints: the output queue a small board has, and the record it keeps for
// the trace.
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

// ------------------------------------------------------------- the record

// Drains the line while the board floods it, until `count` console bytes
// have gone out or `limit` passes; everything read, in order.
std::string readFlood(TestClient& client, vboard::VirtualBoard& board, std::size_t count, Ms limit) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (board.record().consoleCount() < count && std::chrono::steady_clock::now() < end) {
        const Bytes b = client.drain(Ms(1));
        got.append(b.begin(), b.end());
    }
    return got;
}

using RecordBoundTest = BoardTest;

TEST_F(RecordBoundTest, TheRecordKeepsTheLatestExchangesAndConsoleBytesOnly) {
    options_.recordLimits = {8, 100};
    startBoard();
    store(kFlood);
    ASSERT_EQ(client_.exchange(2, bytesOf("Run Comm")).status, 0x20);
    std::string seen = readFlood(client_, *board_, 5000, Ms(10000));
    ASSERT_GE(board_->record().consoleCount(), 5000u);
    auto stop = client_.exchange(3, bytesOf("Stop Com"));
    ASSERT_TRUE(stop.ok) << stop.failure;
    seen.append(stop.beforeEcho.begin(), stop.beforeEcho.end());
    for (int i = 0; i < 20; ++i) {
        auto r = client_.exchange(10, Bytes{0, static_cast<std::uint8_t>(i), 0, 0, 0});
        ASSERT_TRUE(r.ok) << r.failure;
        seen.append(r.beforeEcho.begin(), r.beforeEcho.end());
    }
    const Bytes rest = client_.drain(Ms(50));
    seen.append(rest.begin(), rest.end());

    const auto kept = board_->record().exchanges();
    ASSERT_EQ(kept.size(), 8u);
    EXPECT_EQ(board_->record().exchangeCount(), 22u);
    for (std::size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(kept[i].payload.at(1), 12 + i) << "the latest, in order";
    EXPECT_LE(board_->record().syncs().size(), 8u);
    const std::string console = board_->record().consoleSent();
    EXPECT_EQ(board_->record().consoleCount(), seen.size());
    ASSERT_EQ(console.size(), 100u);
    EXPECT_EQ(console, seen.substr(seen.size() - 100)) << "the latest bytes sent";
}

// Unpaced and unthrottled the board sends fast; what it keeps of the flood
// stays within the default bound however much went out.
TEST_F(RecordBoundTest, ByDefaultAFloodKeepsAQuarterMegabyteAtMost) {
    options_.linesPerSecond = 0;
    startBoard();
    store(kFlood);
    const std::size_t bound = vboard::RecordLimits{}.consoleBytes;
    ASSERT_EQ(client_.exchange(2, bytesOf("Run Comm")).status, 0x20);
    readFlood(client_, *board_, 3 * bound, Ms(30000));
    ASSERT_TRUE(client_.exchange(3, bytesOf("Stop Com")).ok);
    EXPECT_GE(board_->record().consoleCount(), 3 * bound);
    EXPECT_EQ(board_->record().consoleSent().size(), bound);
}

}  // namespace
}  // namespace boardtest
