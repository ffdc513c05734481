// travin-cli as a user runs it: the executable in a child process, talking
// to virtual boards over real pseudo-terminals.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "board/VirtualBoard.h"
#include "tests/support/CliProcess.h"
#include "tests/support/RawPty.h"
#include "tests/support/TestFolder.h"

namespace {

using namespace travin::clitest;

// A program that never ends on its own.
constexpr const char* kEndless = "A = 0\r\nwhile 1 = 1\r\n  A = A + 1\r\nwend\r\n";

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = travin::testing::freshTestFolder("cli").string();
        board = startBoard(folder + "/board.eeprom");
    }
    void TearDown() override {
        board.reset();
        std::filesystem::remove_all(folder);
    }

    std::unique_ptr<vboard::VirtualBoard> startBoard(const std::string& eeprom, int pageWriteMs = 0, bool pace = false) {
        vboard::BoardOptions o;
        o.eepromPath = eeprom;
        o.pageWriteMs = pageWriteMs;
        o.eraseMs = 0;
        o.powerOnRun = false;
        o.pace = pace;
        auto b = std::make_unique<vboard::VirtualBoard>(o);
        b->start();
        return b;
    }
    std::string file(const std::string& name, const std::string& bytes) {
        const std::string path = folder + "/" + name;
        writeFile(path, bytes);
        return path;
    }

    std::string folder;
    std::unique_ptr<vboard::VirtualBoard> board;
};

TEST_F(CliTest, RunShowsTheProgramsOutputByteForByteAndAnswersItsInputFromStdin) {
    const std::string program = file("ask.tn",
                                     "print \"Hello\"\r\n"
                                     "input \"How many\", A\r\n"
                                     "input \"And\", B\r\n"
                                     "print \"Sum \", A + B\r\n"
                                     "end\r\n");
    const Outcome o = runCli({"--port", board->slavePath(), "run", program}, "40\n2\n");
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "Hello\r\nSum 42\r\n");
    EXPECT_EQ(board->inputAnswers(), (std::vector<std::string>{"40", "2"}));
    // The prompts are messages, not output.
    EXPECT_NE(o.err.find("How many"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("Done"), std::string::npos) << o.err;
}

TEST_F(CliTest, RunStopsAtABreakpointAndSaysWhere) {
    const std::string program = file("loop.tn", "S = 0\r\nfor I = 1 to 3\r\n  S = S + I\r\nnext I\r\nend\r\n");
    Outcome o = runCli({"--port", board->slavePath(), "run", program, "--break", "3"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.err.find("Break at line 3:   S = S + I"), std::string::npos) << o.err;
    EXPECT_FALSE(board->running());

    // A later client goes on from there: the step names the line the board
    // stopped at, from the program it holds, and the variable changed.
    o = runCli({"--port", board->slavePath(), "step"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "4: next I\n");
    o = runCli({"--port", board->slavePath(), "vars", "--json"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("\"I\": 1, "), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"S\": 1, "), std::string::npos) << o.out;
}

TEST_F(CliTest, UploadGivesBackEveryByteAListingLineCanHold) {
    // Bytes 1 to 255 but CR and LF, in lines no longer than the board takes.
    std::string bytes;
    for (int b = 1; b <= 255; ++b)
        if (b != '\r' && b != '\n') bytes.push_back(static_cast<char>(b));
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 80) text += bytes.substr(i, 80) + "\r\n";
    const std::string source = file("bytes.tn", text);

    Outcome o = runCli({"--port", board->slavePath(), "download", source});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(board->program(), text);

    const std::string copy = folder + "/copy.tn";
    o = runCli({"--port", board->slavePath(), "upload", "-o", copy});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(readFile(copy), text);
    EXPECT_TRUE(o.out.empty());

    o = runCli({"--port", board->slavePath(), "upload"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, text);
}

TEST_F(CliTest, DetectAndVarsLeaveARunningProgramRunning) {
    ASSERT_TRUE(board->storeSource(kEndless));
    board->setVariable(25, -7);
    board->runProgram();
    ASSERT_TRUE(board->running());

    Outcome o = runCli({"--port", board->slavePath(), "detect"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "Travin VB 1.0\n");
    EXPECT_TRUE(board->running());

    o = runCli({"--port", board->slavePath(), "vars"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("\nZ=-7\n"), std::string::npos) << o.out;
    EXPECT_TRUE(board->running());

    // Setting a variable needs the program stopped: the workbench's refusal.
    o = runCli({"--port", board->slavePath(), "vars", "B=3"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("Must Stop Travin Before Sending Set Variable"), std::string::npos) << o.err;
    EXPECT_TRUE(board->running());
}

// --- Exit codes from real causes ---------------------------------------------

TEST_F(CliTest, NoBoardOnThePortExitsTwo) {
    // A pseudo-terminal nobody answers on.
    travin::testing::RawPty pty;
    ASSERT_FALSE(pty.slave.empty());
    const std::string silent = pty.slave;

    Outcome o = runCli({"--port", silent, "detect"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("Travin not Detected (command not sent)"), std::string::npos) << o.err;
    pty.hangUp();

    o = runCli({"--port", folder + "/no-such-device", "download", file("p.tn", "end\r\n")});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("Cannot open"), std::string::npos) << o.err;
}

TEST_F(CliTest, ARefusedProgramExitsThreeNamingTheLineFromOne) {
    const std::string program = file("long.tn", "print 1\r\nprint 2\r\n" + std::string(81, 'x') + "\r\nend\r\n");
    const Outcome o = runCli({"--port", board->slavePath(), "download", program});
    EXPECT_EQ(o.exitCode, 3);
    EXPECT_NE(o.err.find(program + ":3: Line excedes maximum length"), std::string::npos) << o.err;
    EXPECT_EQ(board->program(), "") << "nothing was sent";
}

TEST_F(CliTest, ABoardThatHangsUpMidDownloadExitsTwoWithTheWorkbenchsReason) {
    // The board's own fault option; slow pages make sure the line goes in
    // the middle of the download.
    const std::string dir = folder;
    std::string big;
    for (int i = 0; i < 200; ++i) big += "print \"line " + std::to_string(i) + " of a long program\"\r\n";
    const std::string program = file("big.tn", big);
    const pid_t boardPid = ::fork();
    if (boardPid == 0) {
        ::execl(TRAVIN_BOARD_EXE, TRAVIN_BOARD_EXE, "--com", "4", "--link-dir", dir.c_str(), "--eeprom",
                (dir + "/hang.eeprom").c_str(), "--no-autorun", "--page-write-ms", "40", "--hang-up-after", "1500",
                "--come-back-after", "60000", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_TRUE(waitFor([&] { return ::access((dir + "/com4").c_str(), F_OK) == 0; }, 5000));
    const Outcome o = runCli({"--port", dir + "/com4", "download", program});
    ::kill(boardPid, SIGTERM);
    ::waitpid(boardPid, nullptr, 0);
    EXPECT_EQ(o.exitCode, 2) << o.err;
    EXPECT_NE(o.err.find("Downloading"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("Serial Communications Error ("), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("Download Failed"), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find("Press OK"), std::string::npos) << "advice for the window: " << o.err;
}

TEST_F(CliTest, TimeoutStopsTheProgramAndExitsFour) {
    const std::string program = file("endless.tn", kEndless);
    const Outcome o = runCli({"--port", board->slavePath(), "run", program, "--timeout", "1"});
    EXPECT_EQ(o.exitCode, 4) << o.err;
    EXPECT_GE(o.elapsedMs, 1000);
    EXPECT_FALSE(board->running()) << "the program is stopped before the client leaves";
}

TEST_F(CliTest, CtrlCStopsTheProgramAndExits130) {
    const std::string program = file("endless.tn", kEndless);
    CliProcess cli({"--port", board->slavePath(), "run", program});
    ASSERT_TRUE(waitFor([&] { return board->running(); }, 10000));
    cli.interrupt();
    const Outcome o = cli.finish();
    EXPECT_EQ(o.exitCode, 130) << o.err;
    EXPECT_FALSE(board->running());
}

TEST_F(CliTest, UsageErrorsExitOneWithOneLineAndTheHelpHintBeforeAnyByteIsSent) {
    const std::string port = board->slavePath();
    const std::string program = file("ten.tn", "A = 1\r\n' a comment\r\nstart:\r\nprint A\r\nend\r\n");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"fly"},
             {"download"},
             {"erase"},
             {"--port", "COM9", "detect"},
             {"--port", "COM1", "--port", "COM2", "vars"},
             {"--port", port, "--port", port, "stop"},
             {"--port", "COM1", "--port", "com1", "stop"},
             {"--port", port, "vars", "AB"},
             {"--port", port, "vars", "A=0x10"},
             {"--port", port, "vars", "A=12x"},
             {"--port", port, "vars", "A=1", "B=abc", "C=3"},
             {"--port", port, "vars", "A=2147483648"},
             {"--port", port, "run", "--detach", "--timeout", "2"},
             {"--port", port, "upload", "-o", ""},
             {"--port", port, "upload", "-o", folder + "/missing/out.tn"},
             {"--port", port, "run", program, "--break", "1", "--break", "4", "--break", "5", "--break", "1"},
             {"--port", port, "run", program, "--break", "1", "--break", "4", "--break", "5", "--break", "6"},
             {"--port", port, "run", program, "--break", "99"},
             {"--port", port, "run", program, "--break", "2"},
             {"--port", port, "run", program, "--break", "3"},
             {"--port", port, "aci", "A = 1234567890 + 1234567890 + 1234567890"},
             {"--port", port, "--json", "erase", "--yes"},
             {"--port=", "detect"},
             {"--port", port, "--input", "COM3=answers.txt", "run"},
             {"--port", port, "--input", port, "run"},
             {"--port", port, "--input", port + "=a.txt", "--input", port + "=b.txt", "run"},
         }) {
        const Outcome o = runCli(args);
        EXPECT_EQ(o.exitCode, 1) << testing::PrintToString(args) << o.err;
        EXPECT_NE(o.err.find("try 'travin-cli --help'"), std::string::npos) << o.err;
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 2) << o.err;
        EXPECT_EQ(o.out, "");
    }
    EXPECT_TRUE(board->record().syncs().empty()) << "nothing reached the board";
}

// Every output line behind "HH:MM:SS.mmm ", the times in order; the lines
// without their times.
std::vector<std::string> unstampedLines(const std::string& text, bool& timesInOrder) {
    std::vector<std::string> lines;
    std::string last;
    timesInOrder = true;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t lf = text.find('\n', from);
        const std::string line = text.substr(from, lf == std::string::npos ? std::string::npos : lf + 1 - from);
        from = lf == std::string::npos ? text.size() : lf + 1;
        const bool stamped = line.size() > 13 && line[2] == ':' && line[5] == ':' && line[8] == '.' && line[12] == ' ';
        EXPECT_TRUE(stamped) << line;
        if (!stamped) continue;
        const std::string time = line.substr(0, 12);
        if (time < last) timesInOrder = false;  // no run here crosses midnight
        last = time;
        lines.push_back(line.substr(13));
    }
    return lines;
}

TEST_F(CliTest, RunWithTimestampsAndALogStampsEveryLineOnceInOrder) {
    const std::string program = file("count.tn", "for I = 1 to 40\r\n  print \"line \", I\r\nnext I\r\nend\r\n");
    const std::string log = folder + "/run.log";
    writeFile(log, "kept from before\n");
    const Outcome o = runCli({"--port", board->slavePath(), "run", program, "--timestamps", "--log", log});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    std::vector<std::string> expected;
    for (int i = 1; i <= 40; ++i) expected.push_back("line " + std::to_string(i) + "\r\n");
    bool inOrder = false;
    EXPECT_EQ(unstampedLines(o.out, inOrder), expected);
    EXPECT_TRUE(inOrder);
    // The log is appended to, in the same format.
    const std::string logged = readFile(log);
    ASSERT_EQ(logged.rfind("kept from before\n", 0), 0u);
    EXPECT_EQ(unstampedLines(logged.substr(17), inOrder), expected);
    EXPECT_TRUE(inOrder);
    // Messages are never stamped.
    EXPECT_NE(o.err.find("Done"), std::string::npos);

    // The log alone leaves stdout as it was.
    const std::string plainLog = folder + "/plain.log";
    const Outcome plain = runCli({"--port", board->slavePath(), "run", "--log", plainLog});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    std::string unstampedOut;
    for (const auto& line : expected) unstampedOut += line;
    EXPECT_EQ(plain.out, unstampedOut);
    EXPECT_EQ(unstampedLines(readFile(plainLog), inOrder), expected);

    // A log that cannot be written is said once, however soon the run ends,
    // and the output goes on.
    if (std::filesystem::exists("/dev/full")) {
        const Outcome full = runCli({"--port", board->slavePath(), "run", "--log", "/dev/full"});
        EXPECT_EQ(full.exitCode, 0) << full.err;
        EXPECT_EQ(full.out, unstampedOut);
        const std::size_t said = full.err.find("Cannot write the log /dev/full");
        EXPECT_NE(said, std::string::npos) << full.err;
        EXPECT_EQ(full.err.find("Cannot write the log", said + 1), std::string::npos) << full.err;
    }
}

TEST_F(CliTest, TimestampsAndLogGoWithRunAndConsoleOnly) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"detect", "--timestamps"}, {"vars", "--log", folder + "/x.log"}, {"run", "--log"}}) {
        const Outcome o = runCli(args);
        EXPECT_EQ(o.exitCode, 1) << testing::PrintToString(args);
        EXPECT_NE(o.err.find("try 'travin-cli --help'"), std::string::npos) << o.err;
    }
    const Outcome o = runCli({"--port", board->slavePath(), "console", "--log", folder + "/no/such/folder.log"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("Cannot open the log"), std::string::npos) << o.err;
}

// --- Several boards ------------------------------------------------------------

TEST_F(CliTest, TwoBoardsDownloadAtOnceInAboutTheTimeOfOne) {
    // Paced wires and page writes, so that a download takes a measurable time.
    auto first = startBoard(folder + "/one.eeprom", 10, true);
    auto second = startBoard(folder + "/two.eeprom", 10, true);
    std::string text;
    for (int i = 0; i < 150; ++i) text += "print \"a line of the program number " + std::to_string(i) + "\"\r\n";
    const std::string program = file("many.tn", text);

    const Outcome one = runCli({"--port", first->slavePath(), "download", program});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    const Outcome both =
        runCli({"--port", first->slavePath(), "--port", second->slavePath(), "download", program});
    ASSERT_EQ(both.exitCode, 0) << both.err;
    EXPECT_EQ(first->program(), text);
    EXPECT_EQ(second->program(), text);
    EXPECT_LT(both.elapsedMs, one.elapsedMs * 3 / 2) << "one " << one.elapsedMs << " ms, two " << both.elapsedMs;
    // One line per board, each behind its port.
    EXPECT_NE(both.err.find(first->slavePath() + ": Downloading"), std::string::npos) << both.err;
    EXPECT_NE(both.err.find(second->slavePath() + ": Downloading"), std::string::npos) << both.err;
}

TEST_F(CliTest, TheWorstResultOfSeveralBoardsIsTheExitCode) {
    const std::string program = file("ok.tn", "print 1\r\nend\r\n");
    const Outcome o =
        runCli({"--port", board->slavePath(), "--port", folder + "/gone", "run", program});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_EQ(o.out, board->slavePath() + ": 1\r\n") << "output behind the port it came from";
}

TEST_F(CliTest, ABoardThatCannotStoreWhatItIsSentIsNeverReportedDone) {
    ASSERT_TRUE(board->storeSource("print \"old\"\n"));
    // A folder in the image's place: the board can write nothing.
    std::filesystem::remove(folder + "/board.eeprom");
    std::filesystem::create_directory(folder + "/board.eeprom");
    const std::string program = file("new.tn", "print \"new\"\r\nend\r\n");
    struct {
        std::vector<std::string> args;
        const char* failure;
    } const rows[] = {
        {{"download", program}, "Download Failed"},
        {{"run", program}, "Download Failed"},
        {{"startup-time", "5"}, "Set Startup Time Failed"},
        {{"erase", "--yes"}, "Erase Failed"},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args{"--port", board->slavePath()};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const Outcome o = runCli(args);
        EXPECT_EQ(o.exitCode, 2) << row.args[0] << ": " << o.err;
        EXPECT_EQ(o.err.find("Done"), std::string::npos) << row.args[0] << ": " << o.err;
        EXPECT_NE(o.err.find(row.failure), std::string::npos) << row.args[0] << ": " << o.err;
    }
    EXPECT_EQ(board->program(), "print \"old\"\r\n");
    EXPECT_FALSE(board->running());
}

TEST(CliBuild, LinksNoQtLibrary) {
    FILE* pipe = ::popen((std::string("ldd ") + TRAVIN_CLI_EXE).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string listing;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) listing += buffer;
    ASSERT_EQ(::pclose(pipe), 0);
    EXPECT_NE(listing.find("libc.so"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("libQt"), std::string::npos) << listing;
}

}  // namespace
