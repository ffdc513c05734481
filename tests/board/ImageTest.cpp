// The EEPROM image on disk: one per COM number, written as little as a
// change needs, never torn, and a board that cannot write it says so.
#include "BoardFixture.h"

#include "board/Eeprom.h"

#include <fstream>
#include <iterator>
#include <mutex>

namespace boardtest {
namespace {

namespace fs = std::filesystem;

Bytes pageOf(unsigned page, char fill) {
    Bytes p = u16(page);
    p.resize(130, static_cast<std::uint8_t>(fill));
    return p;
}

Bytes fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every file in `folder` but `keep`: temporary files left behind.
std::vector<std::string> otherFiles(const std::string& folder, const std::string& keep) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename() != keep) out.push_back(e.path().filename().string());
    return out;
}

// ---------------------------------------------------------------- refusal

struct RefusalRow {
    const char* name;
    std::uint8_t code;
    Bytes payload;
    const char* faultNames;
};

class ImageRefusalTest : public BoardTest, public ::testing::WithParamInterface<RefusalRow> {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        options_.onFault = [this](const std::string& text) {
            std::lock_guard l(faultsMutex_);
            faults_.push_back(text);
        };
        startBoard();
    }
    std::vector<std::string> faults() {
        std::lock_guard l(faultsMutex_);
        return faults_;
    }
    std::mutex faultsMutex_;
    std::vector<std::string> faults_;
};

// The image is replaced by a folder of its name: no write can reach it, for
// root as for anyone. The board refuses the command, keeps what it held,
// and tells its user; once the image can be written again it goes on.
TEST_P(ImageRefusalTest, ABoardThatCannotWriteItsImageRefusesAndKeepsWhatItHeld) {
    store("print \"kept\"\n");
    const auto areaBefore = board_->programArea();
    const auto blockBefore = board_->startupBlock();
    fs::remove(options_.eepromPath);
    fs::create_directory(options_.eepromPath);

    auto r = client_.exchange(GetParam().code, GetParam().payload);
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.status & 0x01, 0x01) << "the reply must carry the refusal";
    EXPECT_EQ(r.status & 0x40, 0x00) << "the command arrived well";
    EXPECT_EQ(board_->programArea(), areaBefore);
    EXPECT_EQ(board_->startupBlock(), blockBefore);
    ASSERT_EQ(faults().size(), 1u);
    EXPECT_NE(faults()[0].find(GetParam().faultNames), std::string::npos) << faults()[0];
    EXPECT_NE(faults()[0].find(options_.eepromPath), std::string::npos) << faults()[0];
    EXPECT_EQ(otherFiles(dir_.path(), "board.eeprom"), std::vector<std::string>{}) << "a temporary file stayed";

    fs::remove(options_.eepromPath);
    r = client_.exchange(GetParam().code, GetParam().payload);
    EXPECT_EQ(r.status & 0x01, 0x00);
    EXPECT_EQ(fileBytes(options_.eepromPath).size(), static_cast<std::size_t>(vboard::kImageSize));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ImageRefusalTest,
    ::testing::Values(RefusalRow{"DownloadBlock", 1, pageOf(0, 'x'), "DownloadBlock of page 0 refused"},
                      RefusalRow{"SetStartupTime", 16, Bytes(24, 5), "SetStartupTime refused"},
                      RefusalRow{"EraseProgram", 14, {}, "EraseProgram refused"}),
    [](const auto& info) { return std::string(info.param.name); });

// --------------------------------------------------------- what is written

using ImageWriteTest = BoardTest;

TEST_F(ImageWriteTest, ADownloadWritesOnlyThePagesThatChanged) {
    const std::uint64_t atStart = board_->imageBytesWritten();
    for (unsigned page = 0; page < 3; ++page) ASSERT_TRUE(client_.exchange(1, pageOf(page, 'a')).ok);
    EXPECT_EQ(board_->imageBytesWritten() - atStart, 3u * 128u);
    // The same program again changes nothing on disk.
    for (unsigned page = 0; page < 3; ++page) ASSERT_TRUE(client_.exchange(1, pageOf(page, 'a')).ok);
    EXPECT_EQ(board_->imageBytesWritten() - atStart, 3u * 128u);
    ASSERT_TRUE(client_.exchange(1, pageOf(1, 'b')).ok);
    EXPECT_EQ(board_->imageBytesWritten() - atStart, 4u * 128u);

    const Bytes file = fileBytes(options_.eepromPath);
    ASSERT_EQ(file.size(), static_cast<std::size_t>(vboard::kImageSize));
    EXPECT_EQ(file[0], 'a');
    EXPECT_EQ(file[128], 'b');
    EXPECT_EQ(file[256 + 127], 'a');
    EXPECT_EQ(file[384], 0);
    EXPECT_EQ(otherFiles(dir_.path(), "board.eeprom"), std::vector<std::string>{});
}

TEST(EepromImageTest, CommitWritesEachChangedUnitInPlaceAndTheFileReadsBackTheSame) {
    TempDir dir;
    vboard::EepromImage image(dir.file("e"));
    image.loadOrCreate();
    const std::uint64_t created = image.bytesWritten();
    EXPECT_EQ(created, static_cast<std::uint64_t>(vboard::kImageSize));
    image.programArea()[5 * 128 + 7] = 'q';
    image.startupBlock()[0] = 7;
    image.setStoredValue(17, -5);
    image.commit();
    EXPECT_EQ(image.bytesWritten() - created, 128u + 24u + 4u);
    image.commit();  // nothing changed
    EXPECT_EQ(image.bytesWritten() - created, 128u + 24u + 4u);

    vboard::EepromImage again(dir.file("e"));
    again.loadOrCreate();
    EXPECT_EQ(again.programArea(), image.programArea());
    EXPECT_EQ(again.startupBlock()[0], 7);
    EXPECT_EQ(again.storedValue(17), -5);
}

TEST(EepromImageTest, RevertGoesBackToWhatTheFileHolds) {
    TempDir dir;
    vboard::EepromImage image(dir.file("e"));
    image.loadOrCreate();
    image.programArea()[0] = 'k';
    image.commit();
    image.programArea()[0] = 'z';
    image.startupBlock()[0] = 1;
    image.revert();
    EXPECT_EQ(image.programArea()[0], 'k');
    EXPECT_EQ(image.startupBlock()[0], vboard::kFreshStartupSeconds);
}

// Saves of one image from two writers at once, and of two images side by
// side: none may fail on the other's temporary file, none may stay behind.
TEST(EepromImageTest, SavesAtTheSameTimeNeverShareATemporaryFile) {
    TempDir dir;
    std::atomic<int> failures{0};
    auto saver = [&](const std::string& name, std::uint8_t fill) {
        vboard::EepromImage image(dir.file(name));
        image.programArea()[0] = fill;
        for (int i = 0; i < 40; ++i) {
            try {
                image.save();
            } catch (const std::exception&) {
                ++failures;
            }
        }
    };
    std::thread a(saver, "same.eeprom", 'a'), b(saver, "same.eeprom", 'b'), c(saver, "other.eeprom", 'c');
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(failures.load(), 0);
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(dir.path())) files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"other.eeprom", "same.eeprom"}));
    const Bytes same = fileBytes(dir.file("same.eeprom"));
    ASSERT_EQ(same.size(), static_cast<std::size_t>(vboard::kImageSize));
    EXPECT_TRUE(same[0] == 'a' || same[0] == 'b');
}

// ------------------------------------------------------ one image per COM

TEST(BoardsSideBySideTest, TwoBoardsOnTwoComNumbersKeepTheirOwnProgramsAcrossARestart) {
    TempDir dir;
    EXPECT_EQ(vboard::defaultImageName(3), "board-com3.eeprom");
    EXPECT_EQ(vboard::deviceImageName("/dev/ttyUSB1"), "board-ttyUSB1.eeprom");
    EXPECT_EQ(vboard::deviceImageName("/dev/serial/by-id/usb-FTDI x"), "board-usb-FTDI_x.eeprom");
    auto optionsFor = [&](int com) {
        vboard::BoardOptions o = quickOptions(dir);
        o.comNumber = com;
        o.linkDir = dir.path();
        o.eepromPath = dir.file(vboard::defaultImageName(com));
        return o;
    };
    vboard::VirtualBoard com3(optionsFor(3)), com4(optionsFor(4));
    // Started together on a folder that holds no image yet.
    std::thread starting([&] { com3.start(); });
    com4.start();
    starting.join();
    ASSERT_TRUE(com3.started());
    {
        TestClient c3(dir.file("com3")), c4(dir.file("com4"));
        ASSERT_TRUE(c3.exchange(1, pageOf(0, '3')).ok);
        ASSERT_TRUE(c4.exchange(1, pageOf(0, '4')).ok);
    }
    com3.stop();
    com4.stop();
    com4.start();
    com3.start();
    TestClient c3(dir.file("com3")), c4(dir.file("com4"));
    auto r3 = c3.exchange(13, u16(0)), r4 = c4.exchange(13, u16(0));
    ASSERT_TRUE(r3.ok && r4.ok);
    EXPECT_EQ(r3.data[2], '3');
    EXPECT_EQ(r4.data[2], '4');
}

// An earlier version kept one image for every COM number: the program in it
// comes along to each COM number's own image on that board's first start,
// and never over an image the board already has.
TEST(BoardsSideBySideTest, TheImageOfEarlierVersionsIsTakenOnceNeverOverAnImageOfItsOwn) {
    TempDir dir;
    {
        vboard::EepromImage old(dir.file(vboard::kSharedImageName));
        ASSERT_TRUE(old.storeSource("10 PRINT \"KEPT\"\n"));
        old.startupBlock()[0] = 9;
        old.save();
    }
    const Bytes oldBytes = fileBytes(dir.file(vboard::kSharedImageName));
    for (int com : {1, 2}) {
        const std::string mine = dir.file(vboard::defaultImageName(com));
        EXPECT_TRUE(vboard::adoptSharedImage(dir.path(), mine)) << "COM" << com;
        EXPECT_EQ(fileBytes(mine), oldBytes) << "COM" << com;
        vboard::EepromImage image(mine);
        image.loadOrCreate();
        EXPECT_EQ(image.program(), "10 PRINT \"KEPT\"\r\n");
        EXPECT_EQ(image.startupBlock()[0], 9);
    }
    EXPECT_EQ(fileBytes(dir.file(vboard::kSharedImageName)), oldBytes) << "the old image is left as it was";

    // A board that has its own image keeps it.
    const std::string own = dir.file(vboard::defaultImageName(3));
    {
        vboard::EepromImage image(own);
        ASSERT_TRUE(image.storeSource("10 END\n"));
        image.save();
    }
    const Bytes ownBytes = fileBytes(own);
    EXPECT_FALSE(vboard::adoptSharedImage(dir.path(), own));
    EXPECT_EQ(fileBytes(own), ownBytes);
    EXPECT_EQ(otherFiles(dir.path(), "").size(), 4u) << "no copy left half-way";

    // A file of that name that is no image is not taken.
    TempDir other;
    std::ofstream(other.file(vboard::kSharedImageName)) << "not an image";
    EXPECT_FALSE(vboard::adoptSharedImage(other.path(), other.file(vboard::defaultImageName(1))));
    EXPECT_FALSE(fs::exists(other.file(vboard::defaultImageName(1))));
}

}  // namespace
}  // namespace boardtest
