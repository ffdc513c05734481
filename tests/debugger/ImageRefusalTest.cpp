// A board that cannot keep what it is sent (its EEPROM image cannot be
// written) refuses the command; the workbench then reports the operation as
// failed, never "Done", and keeps the line usable.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "BoardBench.h"
#include "link/CommandTable.h"

namespace travin {
namespace {

using testing::BoardBench;

struct RefusedCase {
    const char* name;
    std::function<void(Workbench&, testing::FakeNotices&)> action;
    const char* failure;       // the operation's own console line
    const char* noticeNotShown;  // the success box that must not come, or nullptr
};

class ImageCannotBeWritten : public BoardBench, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(ImageCannotBeWritten, TheOperationFailsInsteadOfSayingDone) {
    ASSERT_TRUE(board->storeSource("print \"old\"\n"));
    listing().setLines({"print \"new\"", "end"});
    state().downloadNeeded = true;
    // A folder in the image's place: no write reaches it, for root as for anyone.
    std::filesystem::remove(options.eepromPath);
    std::filesystem::create_directory(options.eepromPath);

    GetParam().action(wb(), notices());

    const std::string shown = consoleText();
    EXPECT_NE(shown.find(std::string(GetParam().failure) + "\r"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Done"), std::string::npos) << shown;
    if (GetParam().noticeNotShown) {
        for (const auto& box : notices().notices) EXPECT_EQ(box.find(GetParam().noticeNotShown), std::string::npos) << box;
    }
    // A refusal is not a broken line: no link-failure boxes, still detected,
    // back at the normal rate, and the board keeps its old program.
    EXPECT_TRUE(state().detected);
    for (const auto& box : notices().notices) EXPECT_EQ(box.find("Serial Communications Error"), std::string::npos);
    EXPECT_TRUE(state().downloadNeeded);
    EXPECT_EQ(board->baudRate(), 19200u);
    EXPECT_EQ(board->program(), "print \"old\"\r\n");
    wb().execution.DebuggerStopExecute();
    EXPECT_TRUE(state().detected);
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, ImageCannotBeWritten,
    ::testing::Values(
        RefusedCase{"Download", [](Workbench& w, testing::FakeNotices&) { w.download.DebuggerDownloadExecute(); },
                    "The board did not store page 0\r\n Download Failed", nullptr},
        RefusedCase{"RunDownloadingFirst", [](Workbench& w, testing::FakeNotices&) { w.execution.DebuggerRunExecute(); },
                    "Download Failed", nullptr},
        RefusedCase{"Erase",
                    [](Workbench& w, testing::FakeNotices& n) {
                        n.answers = {Answer::Yes};
                        w.memory.EraseButtonClick();
                    },
                    "Erasing EEPROM....Erase Failed", nullptr},
        RefusedCase{"StartupTime",
                    [](Workbench& w, testing::FakeNotices& n) {
                        n.inputAnswers = {std::string("5")};
                        w.memory.StartupTimeMenuClick();
                    },
                    "Set Startup Time Failed", "Startup Time Set to"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoardBench, RunAfterARefusedDownloadDoesNotStartTheProgram) {
    ASSERT_TRUE(board->storeSource("print \"old\"\n"));
    listing().setLines({"print \"new\""});
    state().downloadNeeded = true;
    std::filesystem::remove(options.eepromPath);
    std::filesystem::create_directory(options.eepromPath);
    wb().execution.DebuggerRunExecute();
    for (const auto& e : board->record().exchanges()) EXPECT_NE(e.code, command::RunProgram);
    EXPECT_FALSE(board->running());
}

}  // namespace
}  // namespace travin
