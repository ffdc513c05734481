// travin-cli keeping control of a board that prints without pause or stays
// busy: the executable in a child process against a virtual board over a
// real pseudo-terminal.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "board/VirtualBoard.h"
#include "link/CommandTable.h"
#include "tests/link/ScriptedPeer.h"
#include "tests/support/CliProcess.h"
#include "tests/support/TestFolder.h"

namespace {

using namespace std::chrono_literals;

using travin::clitest::CliProcess;
using travin::clitest::Outcome;

// travin-cli with stdin empty, stdout and stderr collected; `interruptAfter`
// sends it SIGINT (Ctrl+C) that long after the start.
Outcome runCli(const std::vector<std::string>& args, std::chrono::milliseconds interruptAfter = 0ms) {
    CliProcess cli(args);
    if (interruptAfter.count() > 0) {
        cli.collectFor(static_cast<int>(interruptAfter.count()));
        cli.interrupt();
    }
    return cli.finish();
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

constexpr const char* kPrinter = "while 1 = 1\r\n  print \"abcdefghijklmnopqrstuvwxyz\"\r\nwend\r\n";

class CliControl : public ::testing::Test {
protected:
    void SetUp() override { folder = travin::testing::freshTestFolder("cli-control").string(); }
    void TearDown() override {
        board.reset();
        std::filesystem::remove_all(folder);
    }
    void startBoard(bool pace) {
        vboard::BoardOptions o;
        o.eepromPath = folder + "/board.eeprom";
        o.eraseMs = 0;
        o.powerOnRun = false;
        o.pace = pace;
        // The large buffer: the most output ahead of an echo.
        o.outputQueueBytes = 4096;
        board = std::make_unique<vboard::VirtualBoard>(o);
        board->start();
    }
    // A board whose program prints without pause, for long enough that
    // every queue on the way is full.
    void startPrinter(bool pace) {
        startBoard(pace);
        ASSERT_TRUE(board->storeSource(kPrinter));
        board->runProgram();
        std::this_thread::sleep_for(500ms);
        ASSERT_TRUE(board->running());
    }

    std::string folder;
    std::unique_ptr<vboard::VirtualBoard> board;
};

// stop, upload and console against the virtual board printing without
// pause, unpaced (the board's --no-pace): each reaches the board, none ends
// in "Travin not Detected".
class CliPrinting : public CliControl {};

TEST_F(CliPrinting, StopReachesTheBoard) {
    startPrinter(false);
    const Outcome o = runCli({"--port", board->slavePath(), "stop"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.err.find("not Detected"), std::string::npos) << o.err;
    EXPECT_FALSE(board->running());
}

TEST_F(CliPrinting, UploadGetsTheProgram) {
    startPrinter(false);
    const Outcome o = runCli({"--port", board->slavePath(), "upload"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    // What the program printed ahead of the detection's echo is its output
    // on stdout, as always; the program follows it.
    ASSERT_GE(o.out.size(), std::string(kPrinter).size());
    EXPECT_EQ(o.out.substr(o.out.size() - std::string(kPrinter).size()), kPrinter);
    EXPECT_EQ(o.err.find("Serial Communications Error"), std::string::npos) << o.err;
}

TEST_F(CliPrinting, ConsoleShowsTheOutputUntilCtrlC) {
    startPrinter(false);
    const Outcome o = runCli({"--port", board->slavePath(), "console"}, 2500ms);
    EXPECT_EQ(o.exitCode, 130) << o.err;
    EXPECT_EQ(o.err.find("not Detected"), std::string::npos) << o.err;
    EXPECT_GE(count(o.out, "abcdefghijklmnopqrstuvwxyz\r\n"), 3) << o.out.substr(0, 200);
    EXPECT_TRUE(board->running()) << "console leaves the program running";
}

// At the line rate: a scripted board that holds 4 KiB of output ahead of
// every echo while its program runs (2.1 s at 19200 bit/s), as the virtual
// board does, but paced exactly, whatever the machine's load.
using Bytes = std::vector<std::uint8_t>;

struct PacedPrinter {
    travin::testing::ScriptedPeer peer;
    std::atomic<bool> running{true};
    explicit PacedPrinter(const std::string& folder) : peer(folder + "/", 1) {
        peer.bytesPerSecond = 1920;
        peer.onSync = [this](int) {
            Bytes out;
            if (running) {
                for (int i = 0; i < 4096; ++i) out.push_back(i % 27 == 26 ? '\n' : static_cast<std::uint8_t>('a' + i % 27));
            }
            out.push_back(0xAA);
            return out;
        };
        peer.onFrame = [this](const travin::testing::ScriptedPeer::Frame& f) {
            using namespace travin::command;
            if (f.code == StopProgram) running = false;
            if (f.code == GetVersion) return travin::testing::dataReply(0x80, {'P', '1'});
            if (f.code == GetVariables) return travin::testing::dataReply(0x80, Bytes(106, 0));
            const std::uint8_t status = running ? 0x20 : 0x00;
            return Bytes{status, status};
        };
        peer.start();
    }
};

TEST_F(CliControl, StopReachesABoardPrintingAtTheLineRate) {
    PacedPrinter printer(folder);
    const Outcome o = runCli({"--port", printer.peer.slavePath, "stop"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.err.find("not Detected"), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find("Serial Communications Error"), std::string::npos) << o.err;
    EXPECT_FALSE(printer.running);
    // Every byte held ahead of an echo was shown (stop shows the board's
    // output with its messages).
    EXPECT_GE(o.out.size() + o.err.size(), 4096u) << o.err;
}

TEST_F(CliControl, DetectFindsABoardPrintingAtTheLineRate) {
    PacedPrinter printer(folder);
    const Outcome o = runCli({"--port", printer.peer.slavePath, "detect"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("P1\n"), std::string::npos) << o.err;
    EXPECT_TRUE(printer.running) << "detect leaves the program running";
}

// A board that answers every sync busy: the client gives up on its own,
// with one report that says why, or at once on Ctrl+C.
TEST_F(CliControl, BusyForeverEndsInOneReportAfterTheBound) {
    startBoard(false);
    board->injectBusy(1 << 30);
    const Outcome o = runCli({"--port", board->slavePath(), "stop"});
    EXPECT_EQ(o.exitCode, 2) << o.err;
    EXPECT_EQ(count(o.err, "Serial Communications Error (board stayed busy)"), 1) << o.err;
    EXPECT_GE(o.elapsedMs, 10000);
    EXPECT_LT(o.elapsedMs, 20000);
}

TEST_F(CliControl, CtrlCEndsTheWaitForABusyBoard) {
    startBoard(false);
    board->injectBusy(1 << 30);
    const Outcome o = runCli({"--port", board->slavePath(), "detect"}, 1500ms);
    EXPECT_EQ(o.exitCode, 130) << o.err;
    EXPECT_LT(o.elapsedMs, 4000) << o.err;
    EXPECT_EQ(count(o.err, "Serial Communications Error (interrupted)"), 1) << o.err;
    EXPECT_EQ(o.err.find("not Detected"), std::string::npos) << o.err;
}

// The port's device goes away while the client watches the program (an
// adapter pulled out): the client says so, not only that the board is gone.
TEST_F(CliControl, ADeviceThatGoesAwayIsNamed) {
    startPrinter(false);
    const std::string device = board->slavePath();
    std::thread pull([&] {
        std::this_thread::sleep_for(1500ms);
        board->hangUp();
    });
    const Outcome o = runCli({"--port", device, "console"});
    pull.join();
    EXPECT_EQ(o.exitCode, 2) << o.err;
    EXPECT_EQ(count(o.err, "the device went away"), 1) << o.err;
    EXPECT_NE(o.err.find(device + ": the device went away"), std::string::npos) << o.err;
}

}  // namespace
