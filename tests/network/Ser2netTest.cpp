// Boards behind a real ser2net: the virtual board on a pseudo-terminal,
// ser2net serving that line over Telnet with the COM-PORT option on
// 127.0.0.1, and the command-line client and the workbench's link reaching
// it by its rfc2217:// address. The board answers only while the line's
// rate is the one it agreed to, so every exchange at 115200 proves that the
// rate change went through ser2net to the line. Skipped where ser2net is
// not installed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Ser2net.h"
#include "board/VirtualBoard.h"
#include "link/CommandTable.h"
#include "tests/support/CliProcess.h"
#include "tests/support/FakeScreens.h"
#include "tests/support/TestFolder.h"

namespace travin::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

using clitest::Launch;
using clitest::Outcome;
using clitest::readFile;

// travin-cli in a child process, standard input given, both outputs read to
// their end (at most 120 s).
Outcome runCli(const std::vector<std::string>& args, const std::string& input = {}) {
    return clitest::CliProcess(args, Launch::withInput(input)).finish(120);
}

// The largest program the limits allow: 29 696 bytes in the board.
std::vector<std::string> largestProgram() {
    std::vector<std::string> lines;
    for (int i = 0; i < 371; ++i) {
        std::string line = "print \"line " + std::to_string(i) + "\"";
        line.resize(78, ' ');
        lines.push_back(line);
    }
    lines.emplace_back("end         ");
    return lines;
}

std::string asText(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

class ThroughSer2net : public ::testing::Test {
protected:
    void SetUp() override {
        if (Ser2net::executable().empty()) GTEST_SKIP() << "ser2net is not installed (scripts/setup installs it)";
        folder = freshTestFolder("ser2net");
    }
    void TearDown() override {
        servers.clear();
        boards.clear();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    vboard::VirtualBoard& startBoard(int linesPerSecond = 20000) {
        vboard::BoardOptions o;
        o.eepromPath = (folder / ("board" + std::to_string(boards.size()) + ".eeprom")).string();
        o.pageWriteMs = 0;
        o.eraseMs = 0;
        o.powerOnRun = false;
        o.linesPerSecond = linesPerSecond;
        boards.push_back(std::make_unique<vboard::VirtualBoard>(o));
        boards.back()->start();
        return *boards.back();
    }
    // ser2net in front of the board's line.
    Ser2net& serve(vboard::VirtualBoard& board) {
        servers.push_back(std::make_unique<Ser2net>(folder, board.slavePath()));
        EXPECT_TRUE(servers.back()->start()) << readFile(folder / ("ser2net-" + std::to_string(servers.back()->port()) + ".log"));
        return *servers.back();
    }
    std::string file(const std::string& name, const std::string& bytes) {
        writeBytes(folder / name, bytes);
        return (folder / name).string();
    }

    std::filesystem::path folder;
    std::vector<std::unique_ptr<vboard::VirtualBoard>> boards;
    std::vector<std::unique_ptr<Ser2net>> servers;
};

TEST_F(ThroughSer2net, TheClientDetectsDownloadsAndUploadsTheFullProgramAtTheNegotiatedSpeed) {
    vboard::VirtualBoard& board = startBoard();
    Ser2net& server = serve(board);

    Outcome o = runCli({"--port", server.url(), "detect"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "Travin VB 1.0\n");

    const std::string text = asText(largestProgram());
    const std::string program = file("largest.tn", text);
    board.record().clear();
    o = runCli({"--port", server.url(), "download", program});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(board.program(), text);
    // The pages crossed at 115200, which the board answers only when the
    // line runs at that rate: ser2net applied the change to its line.
    int fastPages = 0;
    bool changed = false;
    for (const auto& e : board.record().exchanges()) {
        if (e.code == command::ChangeBaud && e.payload == Bytes({0x00, 0xC2, 0x01, 0x00})) changed = true;
        if (e.code == command::DownloadBlock && e.baud == 115200) ++fastPages;
    }
    EXPECT_TRUE(changed);
    EXPECT_GE(fastPages, 200);
    EXPECT_EQ(board.baudRate(), 19200u) << "back at the normal rate";

    const std::filesystem::path copy = folder / "copy.tn";
    o = runCli({"--port", server.url(), "upload", "-o", copy.string()});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(readFile(copy), text);
}

TEST_F(ThroughSer2net, ARunShowsItsOutputAndAnswersItsInputAndVarsReadTheResult) {
    vboard::VirtualBoard& board = startBoard();
    Ser2net& server = serve(board);
    const std::string program = file("ask.tn",
                                     "print \"Hello\"\r\n"
                                     "input \"How many\", A\r\n"
                                     "B = A * 2\r\n"
                                     "print \"Twice \", B\r\n"
                                     "end\r\n");
    Outcome o = runCli({"--port", server.url(), "run", program}, "21\n");
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "Hello\r\nTwice 42\r\n");
    EXPECT_EQ(board.inputAnswers(), std::vector<std::string>{"21"});
    EXPECT_NE(o.err.find("How many"), std::string::npos) << o.err;

    o = runCli({"--port", server.url(), "vars"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("A=21\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("B=42\n"), std::string::npos) << o.out;
}

TEST_F(ThroughSer2net, TwoBoardsOnTwoPortsLoadWithOneCommand) {
    vboard::VirtualBoard& first = startBoard();
    vboard::VirtualBoard& second = startBoard();
    Ser2net& one = serve(first);
    Ser2net& two = serve(second);
    std::string text;
    for (int i = 0; i < 120; ++i) text += "print \"a line of the program number " + std::to_string(i) + "\"\r\n";
    const std::string program = file("many.tn", text);
    const Outcome o = runCli({"--port", one.url(), "--port", two.url(), "download", program});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(first.program(), text);
    EXPECT_EQ(second.program(), text);
    EXPECT_NE(o.err.find(one.url() + ": Downloading"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find(two.url() + ": Downloading"), std::string::npos) << o.err;
}

TEST_F(ThroughSer2net, TheClientNamesWhyTheServerCannotBeReached) {
    vboard::VirtualBoard& board = startBoard();
    Ser2net& server = serve(board);
    const std::string url = server.url();
    server.stop();
    const Outcome o = runCli({"--port", url, "detect"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("Cannot open " + url + ": connection refused"), std::string::npos) << o.err;
}

// The workbench's own link on COM1 given the server's address: a download
// with the speed change, then the server stopped in the middle of a run.
TEST_F(ThroughSer2net, TheWorkbenchOnAComNumberGivenTheAddressLoadsAndSurvivesTheServerStopping) {
    vboard::VirtualBoard& board = startBoard(5);
    Ser2net& server = serve(board);
    FakeBench bench(folder.string() + "/");
    bench.clock.realTime = true;
    Workbench& wb = *bench.wb;
    writeBytes(folder / "com1", server.url() + "\n");
    auto detectedWithin = [&](int ticks) {
        for (int i = 0; i < ticks && !wb.state.detected; ++i) {
            wb.monitor.BackgroundProcessTimer();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return wb.state.detected;
    };
    ASSERT_TRUE(detectedWithin(60)) << bench.main.portProblem;

    const auto lines = largestProgram();
    bench.listing.setLines(lines);
    board.record().clear();
    wb.download.DebuggerDownloadExecute();
    ASSERT_TRUE(wb.state.detected);
    EXPECT_FALSE(wb.state.downloadNeeded);
    EXPECT_EQ(board.program(), asText(lines));
    int fastPages = 0;
    for (const auto& e : board.record().exchanges())
        if (e.code == command::DownloadBlock && e.baud == 115200) ++fastPages;
    EXPECT_GE(fastPages, 200);
    EXPECT_TRUE(bench.notices.notices.empty());

    // A slow program runs; the server goes away under it.
    board.runProgram();
    for (int i = 0; i < 20; ++i) wb.monitor.BackgroundProcessTimer();
    ASSERT_TRUE(wb.state.detected);
    server.stop();
    for (int i = 0; i < 45; ++i) {
        wb.monitor.BackgroundProcessTimer();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(bench.notices.notices.size(), 2u) << "reported once";
    EXPECT_EQ(bench.notices.notices[0].rfind("Serial Communications Error (", 0), 0u) << bench.notices.notices[0];
    EXPECT_FALSE(wb.state.detected);
    // While the server is away the status bar says why the port will not open.
    EXPECT_NE(bench.main.portProblem.find("connection refused"), std::string::npos) << bench.main.portProblem;

    ASSERT_TRUE(server.start());
    EXPECT_TRUE(detectedWithin(80)) << bench.main.portProblem;
    EXPECT_EQ(bench.notices.notices.size(), 2u);
    EXPECT_EQ(bench.main.portProblem, "");
}

}  // namespace
}  // namespace travin::testing
