// The workbench's monitor against a virtual board whose program prints
// without pause, in-process over a real pseudo-terminal, paced at the line
// rate and unpaced: the board is found, Stop stops it, and Upload brings
// its program back, with no link failure on the way.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "LinkBench.h"
#include "board/VirtualBoard.h"
#include "link/CommandTable.h"

namespace travin::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kPrinter = "while 1 = 1\r\n  print \"abcdefghijklmnopqrstuvwxyz\"\r\nwend\r\n";

struct PrintingRow {
    const char* name;
    bool pace;
    std::size_t queueBytes;   // output the board holds ahead of an echo
};

struct PrintingBench : LinkBench {
    vboard::VirtualBoard board;
    explicit PrintingBench(const PrintingRow& row) : board(options(folder.path, row)) {
        board.start();
        board.storeSource(kPrinter);
        board.runProgram();
        // Long enough for the output to fill every queue on the way.
        std::this_thread::sleep_for(500ms);
    }
    static vboard::BoardOptions options(const std::string& folder, const PrintingRow& row) {
        vboard::BoardOptions o;
        o.eepromPath = folder + "board.eeprom";
        o.linkDir = folder;
        o.comNumber = 1;
        o.powerOnRun = false;
        o.pace = row.pace;
        o.outputQueueBytes = row.queueBytes;
        return o;
    }
    // Ticks 100 ms apart, as the window's timer runs them.
    int paceTicksUntil(const std::function<bool()>& done, int limit) {
        for (int i = 1; i <= limit; ++i) {
            wb().monitor.BackgroundProcessTimer();
            if (done()) return i;
            std::this_thread::sleep_for(100ms);
        }
        return -1;
    }
};

class PrintingBoard : public ::testing::TestWithParam<PrintingRow> {};

TEST_P(PrintingBoard, IsDetectedStoppedAndUploaded) {
    PrintingBench pb(GetParam());
    ASSERT_TRUE(pb.board.running());
    // The port opens on the 20th tick and the first probe goes out on the
    // 24th. The output queued ahead of the echo takes seconds to cross the
    // line (more than 2 s at 19200 bit/s for 4 KiB; the virtual board paces
    // slower than that on a busy machine), which a probe now waits out;
    // a second probe is allowed for a machine slower still.
    const int ticks = pb.paceTicksUntil([&] { return pb.state().detected; }, 80);
    ASSERT_GT(ticks, 0) << "never detected; syncs " << pb.board.record().syncs().size() << " console "
                        << pb.consoleText().size() << " notices " << pb.bench.notices.notices.size()
                        << " port " << pb.state().portHandle;
    EXPECT_TRUE(pb.bench.notices.notices.empty());
    EXPECT_NE(pb.consoleText().find("Travin Detected - Version"), std::string::npos);
    // The detection stops the program, as the probe always has.
    EXPECT_FALSE(pb.board.running());

    // Running again, printing, with the monitor showing it.
    pb.board.runProgram();
    pb.paceTicksUntil([] { return false; }, 10);
    EXPECT_TRUE(pb.state().running);
    EXPECT_NE(pb.consoleText().find("abcdefghijklmnopqrstuvwxyz"), std::string::npos);
    pb.wb().execution.DebuggerStopExecute();
    EXPECT_TRUE(pb.state().detected);
    EXPECT_FALSE(pb.state().running);
    EXPECT_FALSE(pb.board.running());
    EXPECT_TRUE(pb.bench.notices.notices.empty());

    pb.bench.notices.answers = {Answer::Yes};
    pb.wb().memory.UploadMenuClick();
    EXPECT_TRUE(pb.state().detected);
    std::string uploaded;
    for (const auto& line : pb.bench.listing.lines()) uploaded += (uploaded.empty() ? "" : "\r\n") + line;
    EXPECT_EQ(uploaded, kPrinter);
    EXPECT_TRUE(pb.bench.notices.notices.empty());
}
INSTANTIATE_TEST_SUITE_P(Line, PrintingBoard,
                         ::testing::Values(PrintingRow{"PacedSmallQueue", true, 256},
                                           PrintingRow{"PacedFourKiB", true, 4096},
                                           PrintingRow{"UnpacedFourKiB", false, 4096}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace travin::testing
