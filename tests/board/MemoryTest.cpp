// The EEPROM: pages in and out, erase, the start-up block, and the image
// surviving a restart.
#include "BoardFixture.h"

#include "board/Eeprom.h"

#include <fstream>
#include <iterator>

namespace boardtest {
namespace {

using MemoryTest = BoardTest;

Bytes pattern(std::size_t size, unsigned seed) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>((i * 7 + seed) % 251 + 1);
    return b;
}

Bytes pagePayload(unsigned page, const Bytes& area) {
    Bytes p = u16(page);
    p.insert(p.end(), area.begin() + 128 * page, area.begin() + 128 * (page + 1));
    return p;
}

TEST_F(MemoryTest, DownloadedPagesComeBackByUpload) {
    const Bytes area = pattern(128 * 5, 3);
    for (unsigned page : {0u, 3u, 1u, 4u, 2u}) ASSERT_TRUE(client_.exchange(1, pagePayload(page, area)).ok);
    for (unsigned block = 0; block < 5; ++block) {
        auto r = client_.exchange(13, u16(block));
        ASSERT_TRUE(r.ok) << r.failure;
        ASSERT_EQ(r.data.size(), 130u);
        EXPECT_EQ(u16At(r.data, 0), block);  // the board puts the block number in the unused bytes
        EXPECT_TRUE(std::equal(r.data.begin() + 2, r.data.end(), area.begin() + 128 * block)) << "block " << block;
    }
    const auto stored = board_->programArea();
    EXPECT_TRUE(std::equal(area.begin(), area.end(), stored.begin()));
    EXPECT_EQ(stored[128 * 5], 0);
}

TEST_F(MemoryTest, TheLastPageOfTheAreaIsPage231) {
    Bytes p = u16(231);
    p.resize(130, 'z');
    ASSERT_TRUE(client_.exchange(1, p).ok);
    EXPECT_EQ(board_->programArea().back(), 'z');
    Bytes beyond = u16(232);
    beyond.resize(130, 'y');
    auto r = client_.exchange(1, beyond);
    EXPECT_EQ(r.status & 0x01, 0x01);  // refused, nothing written
}

TEST_F(MemoryTest, ImageSurvivesARestart) {
    const Bytes area = pattern(256, 9);
    ASSERT_TRUE(client_.exchange(1, pagePayload(0, area)).ok);
    ASSERT_TRUE(client_.exchange(1, pagePayload(1, area)).ok);
    Bytes block(24, 0);
    block[0] = 6;
    block[23] = 0x5A;
    ASSERT_TRUE(client_.exchange(16, block).ok);
    board_->setStoredValue(249, -123456);

    client_.close();
    board_->stop();
    board_->start();
    ASSERT_TRUE(client_.open(board_->slavePath()));
    auto r = client_.exchange(13, u16(1));
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(std::equal(r.data.begin() + 2, r.data.end(), area.begin() + 128));
    EXPECT_EQ(client_.exchange(15).data, block);
    EXPECT_EQ(board_->storedValue(249), -123456);

    // And a new board object on the same file reads the same image.
    client_.close();
    board_.reset();
    vboard::EepromImage image(options_.eepromPath);
    image.loadOrCreate();
    EXPECT_EQ(image.startupBlock()[0], 6);
    EXPECT_EQ(image.storedValue(249), -123456);
    EXPECT_TRUE(std::equal(area.begin(), area.end(), image.programArea().begin()));
}

TEST_F(MemoryTest, FreshImageHasNoProgramAndThreeSeconds) {
    std::ifstream in(options_.eepromPath, std::ios::binary);
    Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(file.size(), static_cast<std::size_t>(vboard::kImageSize));
    EXPECT_EQ(file[0], 0);
    EXPECT_EQ(file[vboard::kProgramAreaSize], 3);
    EXPECT_EQ(board_->program(), "");
}

TEST_F(MemoryTest, ImageOfTheWrongSizeIsRefusedWithAMessage) {
    client_.close();
    board_.reset();
    { std::ofstream(options_.eepromPath, std::ios::binary | std::ios::trunc) << "short"; }
    vboard::VirtualBoard board(options_);
    try {
        board.start();
        FAIL() << "started on a broken image";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("5 bytes"), std::string::npos) << e.what();
    }
}

TEST_F(MemoryTest, EraseRemovesTheProgram) {
    store("print \"x\"\n");
    EXPECT_EQ(board_->program(), "print \"x\"\r\n");
    ASSERT_TRUE(client_.exchange(14).ok);
    EXPECT_EQ(board_->program(), "");
    auto r = client_.exchange(13, u16(0));
    EXPECT_EQ(r.data, Bytes(130, 0));
}

TEST(EepromImageTest, SourceIsStoredAsTheDownloadSendsIt) {
    TempDir dir;
    vboard::EepromImage image(dir.file("e"));
    ASSERT_TRUE(image.storeSource("abc\r\n\nlast"));
    EXPECT_EQ(image.program(), "abc\r\n\r\nlast\r\n");
    EXPECT_EQ(image.programArea()[13], 0);
    std::string tooBig(vboard::kProgramAreaSize, 'x');
    EXPECT_FALSE(image.storeSource(tooBig));
    EXPECT_EQ(image.program(), "abc\r\n\r\nlast\r\n");
}

TEST(EepromImageTest, SaveLeavesNoTemporaryFileBehind) {
    TempDir dir;
    vboard::EepromImage image(dir.file("e"));
    image.setStoredValue(0, 7);
    image.save();
    EXPECT_TRUE(std::filesystem::exists(dir.file("e")));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename(), "e") << "left behind";
    EXPECT_EQ(std::filesystem::file_size(dir.file("e")), static_cast<std::uintmax_t>(vboard::kImageSize));
}

}  // namespace
}  // namespace boardtest
