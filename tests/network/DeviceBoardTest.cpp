// The virtual board serving an existing serial device: two pseudo-terminal
// pairs joined master to master by a relay thread stand in for two USB
// adapters on a null-modem cable. The board serves one end, the
// command-line client opens the other, and the relay notes the rate the
// board's end is set to whenever bytes cross, so the test sees the board
// apply the speed change it agreed to.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "board/Pty.h"
#include "board/VirtualBoard.h"
#include "tests/support/CliProcess.h"
#include "tests/support/RawPty.h"
#include "tests/support/TestFolder.h"

namespace travin::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Copies bytes both ways between two masters until stopped (or 120 s).
class NullModem {
public:
    NullModem(int boardMaster, int clientMaster) : board(boardMaster), client(clientMaster) {
        worker = std::thread([this] { relay(); });
    }
    ~NullModem() {
        stopping = true;
        worker.join();
    }
    std::set<std::uint32_t> boardRates() {
        std::lock_guard lock(mutex);
        return rates;
    }

private:
    void relay() {
        const auto deadline = Clock::now() + std::chrono::seconds(120);
        while (!stopping && Clock::now() < deadline) {
            pollfd fds[2] = {{board, POLLIN, 0}, {client, POLLIN, 0}};
            if (::poll(fds, 2, 20) <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                if (!(fds[i].revents & POLLIN)) continue;
                std::uint8_t buffer[4096];
                const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) continue;
                (void)!::write(fds[1 - i].fd, buffer, static_cast<std::size_t>(n));
                termios t{};
                if (::tcgetattr(board, &t) == 0) {
                    std::lock_guard lock(mutex);
                    rates.insert(vboard::baudFromSpeed(::cfgetospeed(&t)));
                }
            }
        }
    }

    int board, client;
    std::thread worker;
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::set<std::uint32_t> rates;
};

// travin-cli in a child process (at most 120 s); its outputs are kept for
// the failure message.
clitest::Outcome runCli(const std::vector<std::string>& args) {
    return clitest::CliProcess(args).finish(120);
}

TEST(BoardOnADevice, ServesTheDeviceAndSetsItToTheRateItAgreedTo) {
    const auto folder = freshTestFolder("device-board");
    RawPty boardEnd, clientEnd;
    ASSERT_FALSE(boardEnd.slave.empty());
    ASSERT_FALSE(clientEnd.slave.empty());
    NullModem cable(boardEnd.master, clientEnd.master);

    vboard::BoardOptions o;
    o.eepromPath = (folder / "board.eeprom").string();
    o.devicePath = boardEnd.slave;
    o.pageWriteMs = 0;
    o.eraseMs = 0;
    o.powerOnRun = false;
    vboard::VirtualBoard board(o);
    board.start();
    EXPECT_EQ(board.slavePath(), boardEnd.slave);
    EXPECT_EQ(board.linkPath(), "") << "no com<N> link for a served device";

    std::string text;
    for (int i = 0; i < 60; ++i) text += "print \"line " + std::to_string(i) + " over the cable\"\r\n";
    writeBytes(folder / "p.tn", text);
    const clitest::Outcome cli = runCli({"--port", clientEnd.slave, "download", (folder / "p.tn").string()});
    ASSERT_EQ(cli.exitCode, 0) << cli.err;
    EXPECT_EQ(board.program(), text);
    EXPECT_EQ(cable.boardRates(), (std::set<std::uint32_t>{19200, 115200}))
        << "the board's device ran at the download rate and at the normal one";
    // Back at the normal rate once the client went back to it.
    termios t{};
    ASSERT_EQ(::tcgetattr(boardEnd.master, &t), 0);
    EXPECT_EQ(vboard::baudFromSpeed(::cfgetospeed(&t)), 19200u);
    board.stop();
    std::filesystem::remove_all(folder);
}

TEST(BoardOnADevice, ASecondBoardOnTheSameDeviceIsRefused) {
    const auto folder = freshTestFolder("device-board-twice");
    RawPty line;
    vboard::BoardOptions o;
    o.eepromPath = (folder / "board.eeprom").string();
    o.devicePath = line.slave;
    vboard::VirtualBoard first(o);
    first.start();
    vboard::VirtualBoard second(o);
    EXPECT_THROW(second.start(), std::runtime_error);
    o.devicePath = (folder / "no-such-device").string();
    vboard::VirtualBoard third(o);
    EXPECT_THROW(third.start(), std::runtime_error);
    first.stop();
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace travin::testing
