// Port dialog flows and the port file, with fake screens.
#include <sys/stat.h>

#include <fstream>
#include <gtest/gtest.h>
#include <optional>

#include "LinkBench.h"

namespace travin::testing {
namespace {

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct PortFileRow {
    const char* name;
    std::optional<std::string> content;   // nullopt: no file
    int port;
};
class PortFileRead : public ::testing::TestWithParam<PortFileRow> {};

TEST_P(PortFileRead, SelectsTheDigitOrLeavesComOne) {
    LinkBench lb;
    if (GetParam().content) writeFile(lb.folder.path + "tnport", *GetParam().content);
    lb.wb().port.ReadPortFile();
    EXPECT_EQ(lb.state().selectedPort, GetParam().port);
    EXPECT_EQ(lb.state().openPort, GetParam().port);
    EXPECT_EQ(lb.bench.main.portLabel, "COM" + std::to_string(GetParam().port));
    EXPECT_TRUE(lb.bench.notices.notices.empty());
}
INSTANTIATE_TEST_SUITE_P(
    Cases, PortFileRead,
    ::testing::Values(PortFileRow{"Three", "3", 3}, PortFileRow{"Eight", "8", 8}, PortFileRow{"Zero", "0", 1},
                      PortFileRow{"Nine", "9", 1}, PortFileRow{"Letter", "A", 1}, PortFileRow{"TwoDigits", "12", 1},
                      PortFileRow{"LineEndIgnored", "5\r\n", 5}, PortFileRow{"Empty", "", 1},
                      PortFileRow{"HighByte", "\xB3", 1}, PortFileRow{"Missing", std::nullopt, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PortFileWrite, RecordsTheLastOpenedPortNotTheChosenOne) {
    LinkBench lb;
    writeFile(lb.folder.path + "tnport", "4");
    lb.wb().port.ReadPortFile();
    // COM5 chosen, but it never opened (no com5 anywhere).
    lb.bench.main.onPortDialog = [&](int) { lb.wb().port.Button1Click(4); };
    lb.wb().port.SelectPortMenuClick();
    EXPECT_EQ(lb.state().selectedPort, 5);
    lb.wb().port.WritePortFile();
    EXPECT_EQ(readFile(lb.folder.path + "tnport"), "4");
}

TEST(PortFileWrite, NoFileAndNoOpenPortWritesOne) {
    LinkBench lb;
    lb.wb().port.ReadPortFile();
    lb.wb().port.WritePortFile();
    EXPECT_EQ(readFile(lb.folder.path + "tnport"), "1");
}

TEST(PortFileWrite, UnwritableFileIsSkippedSilently) {
    LinkBench lb;
    // A folder where the file should be cannot be opened for writing, also
    // not by root.
    ASSERT_EQ(::mkdir((lb.folder.path + "tnport").c_str(), 0755), 0);
    lb.wb().port.WritePortFile();
    EXPECT_TRUE(lb.bench.notices.notices.empty());
    EXPECT_TRUE(lb.bench.notices.errorBoxes.empty());
}

TEST(PortFileWrite, CancelAtTheCloseQueryStillWritesIt) {
    LinkBench lb;
    lb.state().unsavedChanges = true;
    lb.state().openPort = 6;
    lb.bench.notices.answers.push_back(Answer::Cancel);
    EXPECT_FALSE(lb.wb().files.FormCloseQuery());
    ASSERT_EQ(lb.bench.notices.questions.size(), 1u);
    EXPECT_EQ(readFile(lb.folder.path + "tnport"), "6");
}

TEST(SelectPort, MenuShowsTheSelectedItemThenLabelsAndRequestsReopen) {
    LinkBench lb;
    lb.state().selectedPort = 3;
    lb.state().reopenRequested = false;
    lb.bench.timer.on = true;
    lb.bench.main.onPortDialog = [&](int) {
        // The menu leaves the timer running while the dialog is up.
        EXPECT_TRUE(lb.bench.timer.on);
        lb.wb().port.Button1Click(6);
    };
    lb.wb().port.SelectPortMenuClick();
    EXPECT_EQ(lb.bench.main.portDialogItems, std::vector<int>{2});
    EXPECT_EQ(lb.state().selectedPort, 7);
    EXPECT_EQ(lb.bench.main.portLabel, "COM7");
    EXPECT_TRUE(lb.state().reopenRequested);
}

TEST(SelectPort, DialogClosedWithoutOkKeepsThePort) {
    LinkBench lb;
    lb.state().selectedPort = 2;
    lb.wb().port.SelectPortMenuClick();
    EXPECT_EQ(lb.state().selectedPort, 2);
    EXPECT_EQ(lb.bench.main.portLabel, "COM2");
}

TEST(SelectPort, ButtonStopsTheTimerAroundTheDialogAndFocusesTheListing) {
    LinkBench lb;
    lb.bench.timer.on = true;
    bool timerDuringDialog = true;
    lb.bench.main.onPortDialog = [&](int) { timerDuringDialog = lb.bench.timer.on; };
    lb.wb().port.SelectPortButtonClick();
    EXPECT_FALSE(timerDuringDialog);
    EXPECT_TRUE(lb.bench.timer.on);
    EXPECT_EQ(lb.bench.main.listingFocus, 1);
}

TEST(SelectPort, ButtonRefusedWhileRunningButMenuStillOpensTheDialog) {
    LinkBench lb;
    // A link failure while the program ran leaves running set.
    lb.state().running = true;
    lb.wb().port.SelectPortButtonClick();
    EXPECT_EQ(lb.bench.notices.notices, std::vector<std::string>{"Must Stop Travin Before Sending Select Port"});
    EXPECT_TRUE(lb.bench.main.portDialogItems.empty());
    lb.wb().port.SelectPortMenuClick();
    EXPECT_EQ(lb.bench.main.portDialogItems.size(), 1u);
}

}  // namespace
}  // namespace travin::testing
