// Each fault injection does what it says, once, and the board then answers
// normally again.
#include "BoardFixture.h"

#include <filesystem>

namespace boardtest {
namespace {

using FaultTest = BoardTest;

TEST_F(FaultTest, CorruptChecksumOfAReplyWithoutData) {
    board_->injectCorruptChecksum();
    auto r = client_.exchange(3, bytesOf("Stop Com"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failure, "check byte differs");
    EXPECT_EQ(r.raw, (Bytes{0x00, 0x01}));
    EXPECT_TRUE(client_.exchange(3, bytesOf("Stop Com")).ok);
}

TEST_F(FaultTest, CorruptChecksumOfAReplyWithData) {
    board_->injectCorruptChecksum();
    auto r = client_.exchange(9, bytesOf("get "));
    EXPECT_EQ(r.failure, "checksum differs");
    EXPECT_EQ(r.data.size(), 106u);
    EXPECT_TRUE(client_.exchange(9, bytesOf("get ")).ok);
}

TEST_F(FaultTest, Bit6OnTheNextReply) {
    board_->injectBit6();
    auto r = client_.exchange(8, bytesOf("Stat"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.raw, (Bytes{0x40, 0x40}));
    EXPECT_EQ(client_.exchange(8, bytesOf("Stat")).raw, (Bytes{0x00, 0x00}));
}

TEST_F(FaultTest, StallAtTheEchoAnswersNothing) {
    board_->injectStall();
    auto r = client_.exchange(8, bytesOf("Stat"), Ms(300));
    EXPECT_EQ(r.failure, "no echo");
    auto syncs = board_->record().syncs();
    ASSERT_EQ(syncs.size(), 1u);
    EXPECT_EQ(syncs[0].answer, 0);
    EXPECT_TRUE(client_.exchange(8, bytesOf("Stat")).ok);
}

TEST_F(FaultTest, StallAtTheReplyReadsTheFrameButNeitherExecutesNorAnswersIt) {
    board_->injectStall(vboard::StallAt::Reply);
    auto r = client_.exchange(10, Bytes{1, 5, 0, 0, 0}, Ms(300));
    EXPECT_EQ(r.failure, "no status");
    EXPECT_EQ(board_->variables()[1], 0);
    auto ex = board_->record().exchanges();
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_FALSE(ex[0].replied);
    EXPECT_TRUE(ex[0].reply.empty());
    EXPECT_TRUE(client_.exchange(10, Bytes{1, 5, 0, 0, 0}).ok);
    EXPECT_EQ(board_->variables()[1], 5);
}

TEST_F(FaultTest, ConsoleBytesBeforeTheEcho) {
    board_->injectConsoleBeforeEcho("A\xAF\r\n");
    auto r = client_.exchange(20);
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.beforeEcho, bytesOf("A\xAF\r\n"));
    EXPECT_TRUE(client_.exchange(20).beforeEcho.empty());
}

TEST_F(FaultTest, ShortReplyIsAConsistentFrameWithFewerBytes) {
    board_->injectShortReply(6);
    auto r = client_.exchange(9, bytesOf("get "));
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.data.size(), 100u);
    // Replies without data in between do not use it up.
    board_->injectShortReply(1);
    EXPECT_TRUE(client_.exchange(8, bytesOf("Stat")).ok);
    EXPECT_EQ(client_.exchange(13, u16(0)).data.size(), 129u);
    EXPECT_EQ(client_.exchange(13, u16(0)).data.size(), 130u);
}

TEST_F(FaultTest, CutReplyStopsBeforeItsLastBytes) {
    board_->injectShortReply(2, /*cut=*/true);
    auto r = client_.exchange(15, {}, Ms(300));
    EXPECT_EQ(r.failure, "data stopped");
    EXPECT_EQ(r.data.size(), 22u);
    EXPECT_EQ(r.raw[1], 24);
    EXPECT_TRUE(client_.exchange(15).ok);
}

TEST_F(FaultTest, HangUpIsSeenByTheOpenPortAndComeBackMakesANewLine) {
    options_.linkDir = dir_.path();
    options_.comNumber = 8;
    startBoard();
    const std::string before = board_->slavePath();
    board_->hangUp();
    EXPECT_TRUE(board_->hungUp());
    EXPECT_TRUE(client_.hungUp());
    EXPECT_FALSE(client_.exchange(8, bytesOf("Stat"), Ms(200)).ok);
    client_.close();
    board_->comeBack();
    EXPECT_FALSE(board_->hungUp());
    EXPECT_EQ(std::filesystem::read_symlink(dir_.file("com8")).string(), board_->slavePath());
    ASSERT_TRUE(client_.open(dir_.file("com8")));
    EXPECT_TRUE(client_.exchange(8, bytesOf("Stat")).ok);
    (void)before;
}

TEST_F(FaultTest, HangUpComesBackByItselfAfterTheGivenTime) {
    board_->hangUp(150);
    EXPECT_TRUE(client_.hungUp());
    client_.close();
    for (int i = 0; i < 100 && board_->hungUp(); ++i) std::this_thread::sleep_for(Ms(10));
    EXPECT_FALSE(board_->hungUp());
    ASSERT_TRUE(client_.open(board_->slavePath()));
    EXPECT_TRUE(client_.exchange(20).ok);
}

TEST_F(FaultTest, TheProgramKeepsRunningWhileTheLineIsDown) {
    std::string source;
    for (int i = 0; i < 100; ++i) source += "print \"x\"\n";
    store(source);
    options_.linesPerSecond = 200;
    startBoard();
    ASSERT_TRUE(client_.exchange(2, bytesOf("Run Comm")).ok);
    board_->hangUp();
    std::this_thread::sleep_for(Ms(50));
    EXPECT_TRUE(board_->running());
    board_->comeBack();
    ASSERT_TRUE(client_.open(board_->slavePath()));
    auto r = client_.exchange(3, bytesOf("Stop Com"));
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_GT(board_->position(), 0u);
}

}  // namespace
}  // namespace boardtest
