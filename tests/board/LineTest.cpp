// The line: rates, the workbench closing and reopening the port, the com<N>
// link and its lock, and wire pacing.
#include "BoardFixture.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace boardtest {
namespace {

using LineTest = BoardTest;
namespace fs = std::filesystem;

TEST_F(LineTest, TheMasterSeesTheRateTheSlaveSet) {
    vboard::Pty pty;
    pty.open();
    TestClient c(pty.slavePath(), B19200);
    EXPECT_EQ(pty.peerBaud(), 19200u);
    c.setSpeed(B115200);
    EXPECT_EQ(pty.peerBaud(), 115200u);
}

TEST_F(LineTest, BytesAtAnotherRateAreDroppedAsNoise) {
    client_.setSpeed(B115200);
    auto r = client_.exchange(8, bytesOf("Stat"), Ms(300));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failure, "no echo");
    EXPECT_TRUE(board_->record().syncs().empty());
    EXPECT_EQ(board_->record().noiseBytes(), 1u);
    client_.setSpeed(B19200);
    EXPECT_TRUE(client_.exchange(8, bytesOf("Stat")).ok);
}

TEST_F(LineTest, ChangeBaudSwitchesAfterItsReplyAndAForgetfulClientFails) {
    auto r = client_.exchange(17, u32(115200));
    ASSERT_TRUE(r.ok) << r.failure;  // the reply still came at 19200
    EXPECT_EQ(board_->baudRate(), 115200u);
    // Not changing the client's own rate: the board hears only garbage.
    EXPECT_FALSE(client_.exchange(8, {}, Ms(300)).ok);
    client_.setSpeed(B115200);
    auto status = client_.exchange(8, {});
    ASSERT_TRUE(status.ok) << status.failure;
    EXPECT_EQ(board_->record().exchanges().back().baud, 115200u);
    ASSERT_TRUE(client_.exchange(17, u32(19200)).ok);
    client_.setSpeed(B19200);
    EXPECT_TRUE(client_.exchange(8, {}).ok);
    EXPECT_EQ(board_->baudRate(), 19200u);
}

TEST_F(LineTest, BoardSurvivesThePortClosingAndReopening) {
    ASSERT_TRUE(client_.exchange(17, u32(115200)).ok);
    client_.setSpeed(B115200);
    client_.close();
    // Closing the port stands for the power cycle: the board is back at 19200.
    for (int i = 0; i < 100 && board_->attached(); ++i) std::this_thread::sleep_for(Ms(5));
    EXPECT_FALSE(board_->attached());
    EXPECT_EQ(board_->baudRate(), 19200u);
    ASSERT_TRUE(client_.open(board_->slavePath(), B19200));
    auto r = client_.exchange(3, bytesOf("Stop Com"));
    EXPECT_TRUE(r.ok) << r.failure;
    EXPECT_TRUE(board_->attached());
}

TEST_F(LineTest, ConsoleOutputWhileNobodyListensIsLost) {
    client_.close();
    for (int i = 0; i < 100 && board_->attached(); ++i) std::this_thread::sleep_for(Ms(5));
    board_->queueConsole("lost");
    std::this_thread::sleep_for(Ms(50));
    ASSERT_TRUE(client_.open(board_->slavePath()));
    EXPECT_TRUE(client_.drain(Ms(100)).empty());
    board_->queueConsole("heard");
    EXPECT_EQ(client_.drain(Ms(200)), bytesOf("heard"));
}

TEST_F(LineTest, LinkPointsAtTheSlaveAndGoesAwayOnStop) {
    options_.linkDir = dir_.path();
    options_.comNumber = 4;
    fs::create_symlink("/dev/does-not-exist", dir_.file("com4"));  // a stale link
    startBoard();
    EXPECT_EQ(board_->linkPath(), dir_.file("com4"));
    EXPECT_EQ(fs::read_symlink(dir_.file("com4")).string(), board_->slavePath());
    TestClient viaLink(dir_.file("com4"));
    EXPECT_TRUE(viaLink.exchange(20).ok);
    viaLink.close();
    client_.close();
    board_->stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir_.file("com4"))));
    EXPECT_FALSE(fs::exists(dir_.file("com4.lock")));
}

TEST_F(LineTest, ASecondBoardOnTheSameComNumberIsRefused) {
    options_.linkDir = dir_.path();
    options_.comNumber = 2;
    startBoard();
    auto second = options_;
    second.eepromPath = dir_.file("other.eeprom");
    vboard::VirtualBoard other(second);
    try {
        other.start();
        FAIL() << "a second board started on COM2";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("another board already serves COM2"), std::string::npos) << e.what();
    }
    // The first board's link is untouched and it still answers.
    EXPECT_EQ(fs::read_symlink(dir_.file("com2")).string(), board_->slavePath());
    EXPECT_TRUE(client_.exchange(20).ok);
    // Another number is fine.
    second.comNumber = 3;
    vboard::VirtualBoard third(second);
    EXPECT_NO_THROW(third.start());
}

TEST_F(LineTest, ARealFileInPlaceOfTheLinkIsNotReplaced) {
    options_.linkDir = dir_.path();
    options_.comNumber = 5;
    { std::ofstream(dir_.file("com5")) << "keep me"; }
    client_.close();
    board_.reset();
    vboard::VirtualBoard board(options_);
    EXPECT_THROW(board.start(), std::runtime_error);
    EXPECT_TRUE(fs::is_regular_file(dir_.file("com5")));
}

TEST_F(LineTest, PacingTakesTenBitsPerByteAtTheCurrentRate) {
    options_.pace = true;
    startBoard();
    const auto t0 = std::chrono::steady_clock::now();
    auto r = client_.exchange(13, u16(0));  // 1 + 5 bytes in, 1 + 133 bytes out
    const auto ms = std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_TRUE(r.ok) << r.failure;
    const double wire = 140 * 10 * 1000.0 / 19200;  // 72.9 ms
    EXPECT_GE(ms, wire - 2);
    EXPECT_LE(ms, wire + 150);
    auto ex = board_->record().exchanges();
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_GE(ex[0].replyMs - ex[0].frameMs, 65u);  // 134 bytes out at 19200 take 69.8 ms
}

TEST_F(LineTest, WithoutPacingAnUploadIsFast) {
    ASSERT_TRUE(client_.exchange(13, u16(0)).ok);
    auto ex = board_->record().exchanges();
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_LT(ex[0].replyMs - ex[0].frameMs, 20u);  // paced, the same reply takes 70 ms
}

}  // namespace
}  // namespace boardtest
