// The workbench against the virtual board, in-process over real
// pseudo-terminals: detection, busy and console traffic, link failures with
// re-detection, switching ports, short replies and a console flood. The
// board's record shows what reached the wire; ticks are driven by hand.
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "LinkBench.h"
#include "board/VirtualBoard.h"
#include "link/CommandTable.h"
#include "link/SerialCatalogue.h"

namespace travin::testing {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

const std::string kPowerCycle = "Power Cycle Target, then Press OK to Reestablish Communications";

// CPU time of the calling thread only: the board's thread shares the process.
double threadCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

vboard::BoardOptions boardOn(const std::string& folder, int com) {
    vboard::BoardOptions o;
    o.eepromPath = folder + "board" + std::to_string(com) + ".eeprom";
    o.linkDir = folder;
    o.comNumber = com;
    o.powerOnRun = false;
    return o;
}

vboard::BoardOptions slowBoardOn(const std::string& folder, int com) {
    vboard::BoardOptions o = boardOn(folder, com);
    o.linesPerSecond = 2;   // a program keeps running while the test looks
    return o;
}

struct BoardBench : LinkBench {
    vboard::VirtualBoard board;
    explicit BoardBench(vboard::BoardOptions (*options)(const std::string&, int) = boardOn)
        : board(options(folder.path, 1)) {
        board.start();
    }
    int detectionLines() const {
        int n = 0;
        for (const auto& line : bench.wb->console.lines()) {
            if (line.rfind(" Travin Detected - Version ", 0) == 0) ++n;
        }
        return n;
    }
    void detect() {
        ASSERT_GT(ticksUntil([&] { return state().detected; }, 60), 0) << "board never detected";
    }
};

TEST(BoardDetection, TimelineOrderAndMessage) {
    BoardBench bb;
    bb.ticks(19);
    EXPECT_EQ(bb.state().portHandle, kInvalidHandle);
    bb.ticks(1);
    EXPECT_NE(bb.state().portHandle, kInvalidHandle);
    bb.ticks(3);
    EXPECT_TRUE(bb.board.record().syncs().empty());
    bb.ticks(1);
    ASSERT_TRUE(bb.state().detected);
    const auto ex = bb.board.record().exchanges();
    ASSERT_EQ(ex.size(), 3u);
    EXPECT_EQ(ex[0].code, command::StopProgram);
    EXPECT_EQ(ex[0].payload, Bytes({'S', 't', 'o', 'p', ' ', 'C', 'o', 'm'}));
    EXPECT_EQ(ex[1].code, command::ResetProgram);
    EXPECT_TRUE(ex[1].payload.empty());
    EXPECT_EQ(ex[2].code, command::GetVersion);
    for (const auto& e : ex) EXPECT_TRUE(e.checksumOk);
    EXPECT_EQ(bb.consoleText(), " Travin Detected - Version Travin VB 1.0\r\n \n");
    EXPECT_TRUE(bb.bench.notices.notices.empty());

    // From here the status poll runs every fifth tick, with "Stat".
    bb.ticks(10);
    const auto later = bb.board.record().exchanges();
    ASSERT_EQ(later.size(), 5u);
    EXPECT_EQ(later[3].code, command::GetStatus);
    EXPECT_EQ(later[3].payload, Bytes({'S', 't', 'a', 't'}));
}

TEST(BoardHandshake, BusyThreeTimesThenEcho) {
    BoardBench bb;
    bb.detect();
    const std::size_t before = bb.board.record().syncs().size();
    bb.board.injectBusy(3);
    bb.wb().link.SendCommand(command::GetStatus, fixedPayload(command::GetStatus));
    EXPECT_TRUE(bb.state().detected);
    const auto syncs = bb.board.record().syncs();
    ASSERT_EQ(syncs.size(), before + 4);
    const std::uint8_t answers[] = {0xAB, 0xAB, 0xAB, 0xAA};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(syncs[before + i].answer, answers[i]);
    for (int i = 1; i < 4; ++i) {
        const auto gap = syncs[before + i].ms - syncs[before + i - 1].ms;
        EXPECT_GE(gap, 95u);
        EXPECT_LT(gap, 250u);
    }
    EXPECT_EQ(bb.board.record().exchanges().back().code, command::GetStatus);
}

TEST(BoardHandshake, ConsoleBeforeTheEchoComesFirstAndInOrder) {
    BoardBench bb;
    bb.detect();
    bb.board.injectConsoleBeforeEcho("ab\r\ncd");
    bb.wb().link.SendCommand(command::GetStatus, fixedPayload(command::GetStatus));
    EXPECT_TRUE(bb.state().detected);
    const auto& lines = bb.wb().console.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], " ab\r");
    EXPECT_EQ(lines.back(), " cd");
}

TEST(BoardFailure, SilentBoardTimesOutCheaplyThenIsFoundAgain) {
    BoardBench bb;
    bb.detect();
    bb.board.injectStall(vboard::StallAt::Echo);
    const double cpu0 = threadCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    bb.wb().link.SendCommand(command::GetStatus, fixedPayload(command::GetStatus));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = threadCpuSeconds() - cpu0;
    EXPECT_GE(wall, 5.0);
    EXPECT_LT(wall, 5.6);
    RecordProperty("cpu_ms", std::to_string(static_cast<int>(cpu * 1000)));
    EXPECT_LT(cpu, 0.05 * wall) << "cpu " << cpu << " s during a " << wall << " s wait";
    EXPECT_EQ(bb.bench.notices.notices,
              (std::vector<std::string>{"Serial Communications Error (timeout)", kPowerCycle}));
    EXPECT_EQ(bb.state().portHandle, kInvalidHandle);
    EXPECT_FALSE(bb.state().detected);
    EXPECT_TRUE(bb.state().downloadNeeded);

    // Nothing else to do: the monitor reopens the port and detects again.
    const int took = bb.ticksUntil([&] { return bb.state().detected; }, 30);
    EXPECT_GT(took, 0);
    EXPECT_LE(took, 25);
    EXPECT_EQ(bb.detectionLines(), 2);
    EXPECT_EQ(bb.bench.notices.notices.size(), 2u);
}

TEST(BoardFailure, HangUpIsASiotestFailureAndTheBoardIsFoundWhenBack) {
    BoardBench bb;
    bb.detect();
    bb.board.hangUp();
    bb.ticks(5);
    ASSERT_EQ(bb.bench.notices.notices.size(), 2u);
    const std::string first = bb.bench.notices.notices[0];
    EXPECT_TRUE(first == "Serial Communications Error (SioTest Failed)" ||
                first == "Serial Communications Error (siotest failed)")
        << first;
    EXPECT_EQ(bb.state().portHandle, kInvalidHandle);
    // While it is gone the port does not open, silently.
    bb.ticks(45);
    EXPECT_EQ(bb.state().portHandle, kInvalidHandle);
    EXPECT_EQ(bb.bench.notices.notices.size(), 2u);

    bb.board.comeBack();
    EXPECT_GT(bb.ticksUntil([&] { return bb.state().detected; }, 30), 0);
    EXPECT_EQ(bb.detectionLines(), 2);
}

TEST(BoardFailure, PortHeldByAnotherProgramIsRetriedSilently) {
    BoardBench bb;
    SerialDriver other([](const std::string&) {}, bb.folder.path);
    const int held = other.SioOpen("COM1", 19200);
    ASSERT_NE(held, kInvalidHandle);
    bb.ticks(45);   // two port ticks: both fail
    EXPECT_EQ(bb.state().portHandle, kInvalidHandle);
    EXPECT_TRUE(bb.bench.notices.notices.empty());
    other.SioClose(held);
    EXPECT_GT(bb.ticksUntil([&] { return bb.state().detected; }, 25), 0);
}

TEST(BoardPortProblem, TheStatusBarSaysWhyUntilABoardAppearsOnThePort) {
    LinkBench lb;
    const std::string link = lb.folder.path + "com1";
    ASSERT_EQ(::symlink((lb.folder.path + "unplugged").c_str(), link.c_str()), 0);
    lb.ticks(20);
    EXPECT_EQ(lb.state().portHandle, kInvalidHandle);
    EXPECT_EQ(lb.bench.main.portProblem,
              "COM1: " + link + " -> " + lb.folder.path + "unplugged: the link points nowhere (is the adapter unplugged?)");
    EXPECT_TRUE(lb.bench.notices.notices.empty());

    vboard::VirtualBoard board(boardOn(lb.folder.path, 1));
    board.start();
    EXPECT_GT(lb.ticksUntil([&] { return lb.state().portHandle != kInvalidHandle; }, 25), 0);
    EXPECT_EQ(lb.bench.main.portProblem, "");
    EXPECT_GT(lb.ticksUntil([&] { return lb.state().detected; }, 10), 0);
}

class OneAdapter : public SerialDeviceSource {
public:
    int adapters = 1;
    std::vector<SerialDevice> listDevices() override {
        std::vector<SerialDevice> all{{"/dev/ttyS0", "", "16550A", "", "", -1, -1, ""}};
        for (int i = 0; i < adapters; ++i)
            all.push_back({"/dev/ttyUSB" + std::to_string(i), "", "FT232R USB UART", "FTDI", "", 0x0403, 0x6001, ""});
        return all;
    }
};

TEST(BoardPortProblem, AMissingPortPointsAtTheOneAdapterPluggedIn) {
    LinkBench lb;
    OneAdapter devices;
    lb.wb().catalogue.useSource(devices);
    const std::string link = lb.folder.path + "com1";
    ASSERT_EQ(::symlink("/dev/serial/by-id/usb-gone", link.c_str()), 0);
    lb.ticks(20);
    EXPECT_EQ(lb.bench.main.portProblem,
              "COM1: " + link + " -> /dev/serial/by-id/usb-gone: the link points nowhere (is the adapter "
              "unplugged?); one USB serial adapter is plugged in (FT232R USB UART, /dev/ttyUSB0): give it to "
              "COM1 with Select Port > Devices");
    // With two the workbench cannot tell which is the board's.
    devices.adapters = 2;
    lb.ticks(20);
    EXPECT_EQ(lb.bench.main.portProblem.find("adapter is plugged in"), std::string::npos)
        << lb.bench.main.portProblem;
    EXPECT_NE(lb.bench.main.portProblem, "");
}

TEST(BoardPorts, SwitchFromComOneToComTwo) {
    BoardBench bb;
    vboard::VirtualBoard second(boardOn(bb.folder.path, 2));
    second.start();
    bb.detect();
    bb.bench.main.onPortDialog = [&](int item) {
        EXPECT_EQ(item, 0);
        bb.wb().port.Button1Click(1);
    };
    bb.wb().port.SelectPortMenuClick();
    EXPECT_EQ(bb.bench.main.portLabel, "COM2");

    const int closedAfter = bb.ticksUntil([&] { return !bb.bench.notices.notices.empty(); }, 25);
    EXPECT_GT(closedAfter, 0);
    EXPECT_LE(closedAfter, 20);
    EXPECT_EQ(bb.bench.notices.notices,
              (std::vector<std::string>{"Serial Communications Error (Serial Port Closed)", kPowerCycle}));
    EXPECT_EQ(bb.state().portHandle, kInvalidHandle);

    // The next port tick, 20 counted ticks later, opens COM2; then the probe.
    const int openedAfter = bb.ticksUntil([&] { return bb.state().portHandle != kInvalidHandle; }, 25);
    EXPECT_EQ(openedAfter, 20);
    EXPECT_EQ(bb.state().openPort, 2);
    EXPECT_EQ(bb.ticksUntil([&] { return bb.state().detected; }, 10), 4);
    const auto ex = second.record().exchanges();
    ASSERT_EQ(ex.size(), 3u);
    EXPECT_EQ(ex[0].code, command::StopProgram);
    EXPECT_EQ(ex[1].code, command::ResetProgram);
    EXPECT_EQ(ex[2].code, command::GetVersion);
}

TEST(BoardReplies, ShortVariablesReplyIsALinkFaultAndKeepsTheValues) {
    BoardBench bb;
    bb.detect();
    for (int i = 0; i < kVariableCount; ++i) bb.board.setVariable(i, 1000 + i);
    bb.state().variableValues.fill(-1);
    bb.state().executingPosition = 77;
    bb.board.injectShortReply(3);   // 103 bytes with a checksum that fits them
    bb.wb().link.SendCommand(command::GetVariables, fixedPayload(command::GetVariables));
    EXPECT_FALSE(bb.state().detected);
    EXPECT_EQ(bb.bench.notices.notices,
              (std::vector<std::string>{"Serial Communications Error (reply length error)", kPowerCycle}));
    for (auto v : bb.state().variableValues) EXPECT_EQ(v, -1);
    EXPECT_EQ(bb.state().executingPosition, 77);
}

// When the board stops, its com1 link goes; what COM1 then opens (the
// built-in port, or a stand-in device put there) must give way to the board
// once it is back on com1.
class BoardComesBack : public ::testing::TestWithParam<bool> {};

TEST_P(BoardComesBack, IsFoundAgainOnItsLink) {
    const bool standIn = GetParam();
    BoardBench bb;
    bb.detect();
    bb.board.stop();
    ASSERT_GT(bb.ticksUntil([&] { return bb.bench.notices.notices.size() == 2; }, 5), 0);

    int master = -1, slave = -1;
    if (standIn) {
        ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        std::filesystem::create_symlink(::ttyname(slave), bb.folder.path + "com1");
    }
    if (bb.ticksUntil([&] { return bb.state().portHandle != kInvalidHandle; }, 25) < 0) {
        GTEST_SKIP() << "nothing opens as COM1 while the board is away (no built-in port here)";
    }
    bb.ticks(10);   // a silent device: opened, never detected
    EXPECT_FALSE(bb.state().detected);
    ASSERT_EQ(bb.bench.notices.notices.size(), 2u);

    bb.board.start();
    EXPECT_GT(bb.ticksUntil([&] { return bb.state().detected; }, 60), 0) << "the board on com1 was never found";
    ASSERT_EQ(bb.bench.notices.notices.size(), 4u);
    EXPECT_EQ(bb.bench.notices.notices[2], "Serial Communications Error (Serial Port Closed)");
    EXPECT_EQ(bb.detectionLines(), 2);
    if (master >= 0) ::close(master);
    if (slave >= 0) ::close(slave);
}

INSTANTIATE_TEST_SUITE_P(WhileAway, BoardComesBack, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "StandInDevice" : "BuiltInPort"; });

TEST(BoardConsole, FloodReachesTheLinesCheaply) {
    BoardBench bb;
    bb.detect();
    std::string stream;
    for (int i = 0; stream.size() < 100000; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "flood line %05d\r\n", i);
        stream += line;
    }
    stream.resize(100000);
    const std::size_t sentBefore = bb.board.record().consoleSent().size();
    bb.board.queueConsole(stream);

    const double cpu0 = threadCpuSeconds();
    std::size_t seen = 0;
    for (int tick = 0; tick < 400; ++tick) {
        bb.ticks(1);
        // Everything the board sent has been read once nothing waits.
        seen = bb.board.record().consoleSent().size() - sentBefore;
        if (seen == stream.size() && bb.wb().serial.SioTest(bb.state().portHandle) == 0) break;
        std::this_thread::sleep_for(20ms);
    }
    bb.ticks(1);
    const double cpu = threadCpuSeconds() - cpu0;
    ASSERT_EQ(seen, stream.size());
    // 100 000 bytes are 8.7 s of a full 115200 line; a fifth of a core of that.
    RecordProperty("cpu_ms", std::to_string(static_cast<int>(cpu * 1000)));
    EXPECT_LT(cpu, 0.2 * 100000.0 / 11520.0);

    // The lines are what the rules give: the stream's last lines, each
    // starting with a space, and the pane shows exactly them.
    const auto& lines = bb.wb().console.lines();
    ASSERT_GE(lines.size(), 101u);
    ASSERT_LE(lines.size(), 102u);
    const std::size_t lastLf = stream.rfind('\n');
    const std::size_t prevLf = stream.rfind('\n', lastLf - 1);
    EXPECT_EQ(lines.back(), " " + stream.substr(lastLf + 1));
    EXPECT_EQ(lines[lines.size() - 2], " " + stream.substr(prevLf + 1, lastLf - prevLf - 1));
    EXPECT_EQ(lines[lines.size() - 101].substr(0, 12), " flood line ");
    EXPECT_EQ(bb.bench.console.shown, std::vector<std::string>(lines.begin(), lines.end()));
    EXPECT_TRUE(bb.bench.notices.notices.empty());
}

TEST(BoardBaud, ChangeAndBackAtTheNewRate) {
    BoardBench bb;
    bb.detect();
    ASSERT_TRUE(bb.wb().monitor.ChangeBaudRate(115200));
    EXPECT_EQ(bb.board.baudRate(), 115200u);
    auto ex = bb.board.record().exchanges();
    ASSERT_GE(ex.size(), 2u);
    EXPECT_EQ(ex[ex.size() - 2].code, command::ChangeBaud);
    EXPECT_EQ(ex[ex.size() - 2].payload, Bytes({0x00, 0xC2, 0x01, 0x00}));
    EXPECT_EQ(ex.back().code, command::GetStatus);
    EXPECT_TRUE(ex.back().payload.empty());
    EXPECT_EQ(ex.back().baud, 115200u);
    EXPECT_TRUE(bb.bench.timer.on);

    ASSERT_TRUE(bb.wb().monitor.ChangeBaudRate(19200));
    ex = bb.board.record().exchanges();
    EXPECT_EQ(ex.back().baud, 19200u);
    EXPECT_TRUE(bb.bench.notices.notices.empty());
}

TEST(BoardBaud, RateThePortRefusesIsALinkFailure) {
    BoardBench bb;
    bb.detect();
    // The board refuses 600 in its status byte, which the link does not
    // read; the port then refuses it too.
    EXPECT_FALSE(bb.wb().monitor.ChangeBaudRate(600));
    const auto& boxes = bb.bench.notices.notices;
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[boxes.size() - 2], "Serial Communications Error (Change Baud Failed)");
    EXPECT_EQ(boxes.back(), kPowerCycle);
    EXPECT_EQ(bb.state().portHandle, kInvalidHandle);
}

TEST(BoardRunState, StopSeenByThePollRefreshesVariablesAndMarksTheLine) {
    BoardBench bb(slowBoardOn);
    bb.detect();
    bb.bench.listing.setLines({"print \"a\"", "print \"b\"", "print \"c\""});
    std::string program = "print \"a\"\r\nprint \"b\"\r\nprint \"c\"\r\n";
    ASSERT_TRUE(bb.board.storeSource(program));
    bb.board.runProgram();
    ASSERT_GT(bb.ticksUntil([&] { return bb.state().running; }, 10), 0);
    EXPECT_EQ(bb.bench.main.light, kGreen);
    EXPECT_TRUE(bb.bench.main.enabled[Control::StopButton]);

    bb.board.stopProgram();
    bb.board.setVariable(3, 42);
    ASSERT_GT(bb.ticksUntil([&] { return !bb.state().running; }, 10), 0);
    EXPECT_EQ(bb.bench.main.light, kGrey);
    EXPECT_EQ(bb.state().variableValues[3], 42);
    ASSERT_EQ(bb.bench.main.variableRows.size(), 26u);
    EXPECT_NE(bb.bench.main.variableRows[3].find("42"), std::string::npos);
    EXPECT_EQ(bb.state().executingPosition, bb.board.position());
    // The executing line is coloured and the caret put on it.
    const int line = bb.state().executingPosition / 11;   // each line is 9 characters + CR LF
    EXPECT_EQ(bb.bench.listing.lineColour(line), kBlue);
    EXPECT_EQ(bb.bench.listing.selectionStart(), bb.bench.listing.lineStart(line));
    EXPECT_TRUE(bb.bench.main.enabled[Control::RunButton]);
    const auto ex = bb.board.record().exchanges();
    EXPECT_EQ(ex.back().code, command::GetVariables);
}

}  // namespace
}  // namespace travin::testing
