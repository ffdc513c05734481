// travin-cli as a script relies on it: exit codes that mean what they say,
// stdout that holds the result alone, files replaced only by a whole
// result, and no way out that leaves a program running or answers for the
// user. The real client in a child process, against virtual boards and a
// small scripted board, over real pseudo-terminals.
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
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

// Command codes as the board knows them.
constexpr std::uint8_t kDownloadBlock = 1, kRunProgram = 2, kSetVariable = 10, kSendInput = 12, kEraseProgram = 14,
                       kSetStartupTime = 16, kSendCharacter = 18, kSendAci = 19, kResetProgram = 7;

// A program that prints without end, a line each few milliseconds.
constexpr const char* kTicking = "I = 0\r\nwhile 1 = 1\r\n  I = I + 1\r\n  print \"tick \", I\r\n  delay 5\r\nwend\r\n";
constexpr const char* kEndless = "A = 0\r\nwhile 1 = 1\r\n  A = A + 1\r\nwend\r\n";
constexpr const char* kAsks = "print \"before\"\r\ninput \"Position\", P\r\nprint \"moved to \", P\r\nend\r\n";

std::vector<std::uint8_t> codesSent(const vboard::VirtualBoard& board) {
    std::vector<std::uint8_t> codes;
    for (const auto& e : board.record().exchanges()) codes.push_back(e.code);
    return codes;
}

bool sent(const vboard::VirtualBoard& board, std::uint8_t code) {
    const auto codes = codesSent(board);
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

class Scripting : public ::testing::Test {
protected:
    void SetUp() override { folder = travin::testing::freshTestFolder("cli-scripting").string(); }
    void TearDown() override {
        boards.clear();
        std::filesystem::remove_all(folder);
    }

    vboard::VirtualBoard& startBoard(int pageWriteMs = 0, bool pace = false) {
        vboard::BoardOptions o;
        o.eepromPath = folder + "/board" + std::to_string(boards.size()) + ".eeprom";
        o.pageWriteMs = pageWriteMs;
        o.eraseMs = 0;
        o.powerOnRun = false;
        o.pace = pace;
        boards.push_back(std::make_unique<vboard::VirtualBoard>(o));
        boards.back()->start();
        return *boards.back();
    }
    std::string file(const std::string& name, const std::string& bytes) {
        const std::string path = folder + "/" + name;
        writeFile(path, bytes);
        return path;
    }

    std::string folder;
    std::vector<std::unique_ptr<vboard::VirtualBoard>> boards;
};

// --- A board that will not stop: every refusal exits 2 and changes nothing --

// Answers every frame as a board whose program keeps running (as one whose
// program is started again at once), and records the codes it got.
class RunningBoard {
public:
    RunningBoard() {
        thread = std::thread([this] { serve(); });
    }
    ~RunningBoard() {
        done = true;
        thread.join();
    }
    std::string path() const { return pty.slave; }
    std::vector<std::uint8_t> codes() {
        std::lock_guard guard(lock);
        return received;
    }

private:
    bool readByte(std::uint8_t& byte) {
        while (!done) {
            pollfd entry{pty.master, POLLIN, 0};
            if (::poll(&entry, 1, 50) <= 0) continue;
            if (::read(pty.master, &byte, 1) == 1) return true;
        }
        return false;
    }
    void serve() {
        std::uint8_t byte = 0;
        while (readByte(byte)) {
            if (byte != 0xAA) continue;
            (void)!::write(pty.master, &byte, 1);
            std::uint8_t code = 0, length = 0, sum = 0;
            if (!readByte(code) || !readByte(length)) return;
            for (int i = 0; i <= length; ++i)
                if (!readByte(sum)) return;
            {
                std::lock_guard guard(lock);
                received.push_back(code);
            }
            std::vector<std::uint8_t> reply;
            if (code == 20) {
                const std::string version = "Scripted 1.0";
                const std::uint8_t status = 0x20 | 0x80;
                reply = {status, static_cast<std::uint8_t>(version.size())};
                std::uint8_t check = static_cast<std::uint8_t>(status + version.size());
                for (char c : version) {
                    reply.push_back(static_cast<std::uint8_t>(c));
                    check = static_cast<std::uint8_t>(check + c);
                }
                reply.push_back(check);
            } else {
                reply = {0x20, 0x20};
            }
            (void)!::write(pty.master, reply.data(), reply.size());
        }
    }

    travin::testing::RawPty pty;
    std::atomic<bool> done{false};
    std::mutex lock;
    std::vector<std::uint8_t> received;
    std::thread thread;
};

TEST_F(Scripting, EveryRefusalExitsTwoLeavesStdoutEmptyAndTheFileUntouched) {
    const std::string keep = file("keep.tn", "print \"mine\"\r\n");
    const std::string program = file("p.tn", "print 1\r\nend\r\n");
    const std::string fresh = folder + "/fresh.tn";
    struct Row {
        std::vector<std::string> args;
        std::string refusal;
        std::uint8_t neverSent;
    };
    const std::vector<Row> rows = {
        {{"upload", "-o", keep}, "Must Stop Travin Before Sending Upload Program", 0},
        {{"upload", "-o", fresh}, "Must Stop Travin Before Sending Upload Program", 0},
        {{"upload"}, "Must Stop Travin Before Sending Upload Program", 0},
        {{"erase", "--yes"}, "Must Stop Travin Before Sending Erase EEPROM", kEraseProgram},
        {{"startup-time", "5"}, "Must Stop Travin Before Sending Startup Time", kSetStartupTime},
        {{"startup-time"}, "Must Stop Travin Before Sending Startup Time", 0},
        {{"aci", "A = 1"}, "Must Stop Travin Before Sending Send ACI Command", kSendAci},
        {{"vars", "B=3"}, "Must Stop Travin Before Sending Set Variable", kSetVariable},
        {{"reset"}, "Must Stop Travin Before Sending Reset", kResetProgram},
        {{"download", program}, "Must Stop Travin Before Sending Download", kDownloadBlock},
        {{"run", program}, "Must Stop Travin Before Sending Run", kRunProgram},
        {{"step"}, "Must Stop Travin Before Sending Step", 6},
    };
    for (const Row& row : rows) {
        RunningBoard board;
        std::vector<std::string> args{"--port", board.path()};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const Outcome o = runCli(args);
        const std::string shown = testing::PrintToString(row.args);
        EXPECT_EQ(o.exitCode, 2) << shown << o.err;
        EXPECT_EQ(o.out, "") << shown;
        EXPECT_NE(o.err.find(row.refusal), std::string::npos) << shown << o.err;
        EXPECT_EQ(o.err.find("Press OK"), std::string::npos) << "the window's advice: " << o.err;
        EXPECT_EQ(readFile(keep), "print \"mine\"\r\n") << shown;
        EXPECT_FALSE(std::filesystem::exists(fresh)) << shown;
        if (row.neverSent != 0) {
            const auto codes = board.codes();
            EXPECT_EQ(std::count(codes.begin(), codes.end(), row.neverSent), 0) << shown;
        }
    }
    // No temporary left beside the file either.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 2);
}

TEST_F(Scripting, ALinkThatDiesExitsTwoAndLeavesTheFileUntouched) {
    const std::string keep = file("keep.tn", "print \"mine\"\r\n");
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"upload", "-o", keep}, {"vars", "--json"}, {"detect"}, {"startup-time"}}) {
        travin::testing::RawPty silent;
        std::vector<std::string> args{"--port", silent.slave};
        args.insert(args.end(), command.begin(), command.end());
        const Outcome o = runCli(args);
        EXPECT_EQ(o.exitCode, 2) << testing::PrintToString(command) << o.err;
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(readFile(keep), "print \"mine\"\r\n");
    }
}

// --- stdout holds the result and nothing else ---------------------------------

TEST_F(Scripting, ResultsAreByteExactWhileTheBoardsProgramPrints) {
    auto& board = startBoard();
    const std::string listing = kTicking;
    ASSERT_TRUE(board.storeSource(listing));
    board.setVariable(25, -7);
    struct Row {
        std::vector<std::string> args;
        std::string expected;   // empty: the listing
        bool staysRunning;
    };
    std::string json = "{";
    for (int i = 0; i < 26; ++i) json += std::string(i ? ", " : "") + "\"" + char('A' + i) + "\": " + (i == 25 ? "-7" : i == 8 ? "@" : "0");
    const std::vector<Row> rows = {
        {{"detect"}, "Travin VB 1.0\n", true},
        {{"detect", "--json"}, "", true},
        {{"vars", "--json"}, "", true},
        {{"upload"}, listing, false},
        {{"startup-time"}, "", false},
    };
    for (const Row& row : rows) {
        board.runProgram();
        ASSERT_TRUE(waitFor([&] { return board.record().consoleSent().size() > 200; }, 10000));
        std::vector<std::string> args{"--port", board.slavePath()};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const Outcome o = runCli(args);
        const std::string shown = testing::PrintToString(row.args);
        EXPECT_EQ(o.exitCode, 0) << shown << o.err;
        EXPECT_EQ(o.out.find("tick 1"), std::string::npos) << shown << o.out;
        if (row.args[0] == "vars") {
            // I is whatever the loop reached: the rest is exact.
            ASSERT_GT(o.out.size(), 10u) << o.out;
            EXPECT_TRUE(o.out.starts_with("{\"A\": 0, ")) << o.out;
            EXPECT_TRUE(o.out.ends_with(", \"Z\": -7}\n")) << o.out;
            EXPECT_EQ(std::count(o.out.begin(), o.out.end(), '\n'), 1) << o.out;
        } else if (row.args == std::vector<std::string>{"detect", "--json"}) {
            EXPECT_EQ(o.out, "{\"port\": \"" + board.slavePath() + "\", \"version\": \"Travin VB 1.0\", \"running\": true}\n");
        } else if (row.args[0] == "startup-time") {
            EXPECT_EQ(o.out.size(), 2u) << o.out;
        } else {
            EXPECT_EQ(o.out, row.expected.empty() ? listing : row.expected) << shown;
        }
        // What the board printed meanwhile is not lost: it is on stderr, marked.
        EXPECT_EQ(board.running(), row.staysRunning) << shown;
        board.stopProgram();
    }
}

TEST_F(Scripting, RunShowsOnlyWhatItsOwnProgramPrinted) {
    auto& board = startBoard();
    ASSERT_TRUE(board.storeSource(kTicking));
    board.runProgram();
    ASSERT_TRUE(waitFor([&] { return board.record().consoleSent().size() > 100; }, 10000));
    // Output the old program queued that the client meets before its own run.
    board.queueConsole("old output\r\n");
    const std::string hello = file("hello.tn", "print \"hello\"\r\nend\r\n");
    const Outcome o = runCli({"--port", board.slavePath(), "run", hello});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "hello\r\n");
}

// --- Write errors -------------------------------------------------------------

TEST_F(Scripting, AFullDeviceOnStdoutExitsSixWithItsReason) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full here";
    auto& board = startBoard();
    const std::string hello = file("hello.tn", "print \"hello\"\r\nend\r\n");
    ASSERT_TRUE(board.storeSource("print \"stored\"\r\nend\r\n"));
    for (const std::vector<std::string>& command : {std::vector<std::string>{"upload"}, {"vars"}, {"detect"},
                                                    {"run", hello}, {"--version"}}) {
        std::vector<std::string> args{"--port", board.slavePath()};
        args.insert(args.end(), command.begin(), command.end());
        Launch launch;
        launch.stdoutPath = "/dev/full";
        const Outcome o = CliProcess(args, launch).finish();
        EXPECT_EQ(o.exitCode, 6) << testing::PrintToString(command) << o.err;
        EXPECT_NE(o.err.find("No space left on device"), std::string::npos) << o.err;
        EXPECT_FALSE(board.running());
    }
}

TEST_F(Scripting, UploadWritesThroughADanglingLinkAndDashIsStdout) {
    auto& board = startBoard();
    const std::string listing = "print \"stored\"\r\nend\r\n";
    ASSERT_TRUE(board.storeSource(listing));
    const std::string target = folder + "/target.tn";
    const std::string link = folder + "/link.tn";
    std::filesystem::create_symlink("target.tn", link);

    Outcome o = runCli({"--port", board.slavePath(), "upload", "-o", link});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(target), listing);

    o = runCli({"--port", board.slavePath(), "upload", "-o", "-"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, listing);
}

// --- Every way out stops what the command started -----------------------------

TEST_F(Scripting, EverySignalStopsTheProgramAndExitsWithItsNumber) {
    auto& board = startBoard();
    const std::string program = file("endless.tn", kEndless);
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        CliProcess cli({"--port", board.slavePath(), "run", program});
        ASSERT_TRUE(waitFor([&] { return board.running(); }, 10000));
        cli.signal(number);
        const Outcome o = cli.finish();
        EXPECT_EQ(o.exitCode, 128 + number) << o.err;
        EXPECT_NE(o.err.find("ended by"), std::string::npos) << o.err;
        EXPECT_NE(o.err.find("the program is stopped"), std::string::npos) << o.err;
        EXPECT_FALSE(board.running()) << "signal " << number;
    }
}

TEST_F(Scripting, AReaderThatGoesAwayStopsTheProgram) {
    auto& board = startBoard();
    const std::string program = file("ticking.tn", kTicking);
    CliProcess cli({"--port", board.slavePath(), "run", program});
    ASSERT_TRUE(cli.awaitOutput("tick 3", 10000));
    cli.closeOutputReader();   // `| head -1`
    const Outcome o = cli.finish(30);
    EXPECT_EQ(o.exitCode, 128 + SIGPIPE) << o.err;
    EXPECT_FALSE(board.running());
}

TEST_F(Scripting, CtrlCDuringTheDownloadStopsItAndNeverStartsTheProgram) {
    auto& board = startBoard(20, true);
    std::string text;
    for (int i = 0; i < 150; ++i) text += "print \"a line of the program number " + std::to_string(i) + "\"\r\n";
    const std::string program = file("big.tn", text);
    for (const char* command : {"download", "run"}) {
        board.record().clear();
        CliProcess cli({"--port", board.slavePath(), command, program});
        ASSERT_TRUE(waitFor([&] { return sent(board, kDownloadBlock); }, 10000));
        cli.interrupt();
        const Outcome o = cli.finish();
        EXPECT_EQ(o.exitCode, 130) << command << o.err;
        EXPECT_NE(o.err.find("download stopped between pages"), std::string::npos) << o.err;
        const auto codes = codesSent(board);
        const auto pages = static_cast<long>((text.size() + 127) / 128);
        EXPECT_LT(std::count(codes.begin(), codes.end(), kDownloadBlock), pages) << "it went on to the end";
        EXPECT_FALSE(sent(board, kRunProgram)) << command;
        EXPECT_FALSE(board.running());
        EXPECT_EQ(board.baudRate(), 19200u) << "the board is left at the normal rate";
    }
}

TEST_F(Scripting, CtrlCDuringTheUploadStopsItAndWritesNothing) {
    constexpr std::uint8_t kUploadBlock = 13;
    auto& board = startBoard(0, true);
    std::string text;
    for (int i = 0; i < 300; ++i) text += ("print \"line " + std::to_string(i) + "\"" + std::string(60, ' ')) + "\r\n";
    ASSERT_TRUE(board.storeSource(text));
    const std::string out = folder + "/out.tn";
    CliProcess cli({"--port", board.slavePath(), "upload", "-o", out});
    ASSERT_TRUE(waitFor([&] { return sent(board, kUploadBlock); }, 10000));
    cli.interrupt();
    const Outcome o = cli.finish();
    EXPECT_EQ(o.exitCode, 130) << o.err;
    EXPECT_NE(o.err.find("upload stopped between pages"), std::string::npos) << o.err;
    const auto codes = codesSent(board);
    EXPECT_LT(std::count(codes.begin(), codes.end(), kUploadBlock), static_cast<long>(text.size() / 128));
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(board.baudRate(), 19200u);
}

// --- Nothing answered for the user ------------------------------------------------

TEST_F(Scripting, AnInputRequestWithoutAnAnswerStopsTheProgramAndSendsNothing) {
    auto& board = startBoard();
    const std::string program = file("asks.tn", kAsks);
    struct Row {
        const char* name;
        std::vector<std::string> extra;
        Launch launch;
        int signal;     // sent once the prompt is shown; 0 for none
        int exitCode;
    };
    const std::vector<Row> rows = {
        {"end of input", {}, Launch(), 0, 5},
        {"closed fd 0", {}, Launch::inputClosed(), 0, 5},
        {"Ctrl+C", {}, Launch::inputOpen(), SIGINT, 130},
        {"SIGTERM", {}, Launch::inputOpen(), SIGTERM, 143},
        {"time-out", {"--timeout", "2"}, Launch::inputOpen(), 0, 4},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args{"--port", board.slavePath(), "run", program};
        args.insert(args.end(), row.extra.begin(), row.extra.end());
        CliProcess cli(args, row.launch);
        if (row.signal != 0) {
            ASSERT_TRUE(cli.awaitMessage("Position", 10000)) << row.name;
            cli.signal(row.signal);
        }
        const Outcome o = cli.finish(30);
        EXPECT_EQ(o.exitCode, row.exitCode) << row.name << o.err;
        EXPECT_EQ(o.out, "before\r\n") << row.name;
        EXPECT_NE(o.err.find("nothing was sent"), std::string::npos) << row.name << o.err;
        EXPECT_TRUE(board.inputAnswers().empty()) << row.name;
        EXPECT_FALSE(board.running()) << row.name;
        if (row.extra.size() == 2) {
            EXPECT_LT(o.elapsedMs, 10000) << "the time-out counts while input is awaited";
        }
    }
}

TEST_F(Scripting, AnAnswerTheUserTypesLaterIsSentAsTyped) {
    auto& board = startBoard();
    const std::string program = file("asks.tn", kAsks);
    CliProcess cli({"--port", board.slavePath(), "run", program}, Launch::inputOpen());
    ASSERT_TRUE(cli.awaitMessage("Position", 10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    cli.type("151\n");
    const Outcome o = cli.finish(30);
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "before\r\nmoved to 151\r\n");
    EXPECT_EQ(board.inputAnswers(), std::vector<std::string>{"151"});
}

TEST_F(Scripting, TwoBoardsNeverRaceForOneStdin) {
    auto& first = startBoard();
    auto& second = startBoard();
    const std::string program = file("asks.tn", kAsks);
    const Outcome o =
        runCli({"--port", first.slavePath(), "--port", second.slavePath(), "run", program}, "111\n222\n");
    EXPECT_EQ(o.exitCode, 5) << o.err;
    EXPECT_TRUE(first.inputAnswers().empty());
    EXPECT_TRUE(second.inputAnswers().empty());
    EXPECT_FALSE(first.running());
    EXPECT_FALSE(second.running());
    EXPECT_NE(o.err.find("not answered with several boards"), std::string::npos) << o.err;
}

TEST_F(Scripting, EachBoardTakesItsAnswersFromItsOwnInputFile) {
    auto& first = startBoard();
    auto& second = startBoard();
    const std::string program = file("asks.tn", kAsks);
    const std::string one = file("one.txt", "111\n");
    const std::string two = file("two.txt", "222\r\n");
    for (int round = 0; round < 3; ++round) {
        const Outcome o = runCli({"--port", first.slavePath(), "--port", second.slavePath(), "--input",
                                  first.slavePath() + "=" + one, "--input=" + second.slavePath() + "=" + two, "run",
                                  program});
        EXPECT_EQ(o.exitCode, 0) << o.err;
        EXPECT_NE(o.out.find(first.slavePath() + ": moved to 111\r\n"), std::string::npos) << o.out;
        EXPECT_NE(o.out.find(second.slavePath() + ": moved to 222\r\n"), std::string::npos) << o.out;
    }
    EXPECT_EQ(first.inputAnswers(), (std::vector<std::string>{"111", "111", "111"}));
    EXPECT_EQ(second.inputAnswers(), (std::vector<std::string>{"222", "222", "222"}));

    // A file with no answer left: nothing sent, that program stopped.
    const Outcome o = runCli({"--port", first.slavePath(), "--input", first.slavePath() + "=" + file("none.txt", ""),
                              "run", program});
    EXPECT_EQ(o.exitCode, 5) << o.err;
    EXPECT_EQ(first.inputAnswers().size(), 3u);
    EXPECT_FALSE(first.running());

    // A file that cannot be read stops the command before any board is asked.
    first.record().clear();
    const Outcome missing = runCli({"--port", first.slavePath(), "--input",
                                    first.slavePath() + "=" + folder + "/missing.txt", "run", program});
    EXPECT_EQ(missing.exitCode, 1) << missing.err;
    EXPECT_NE(missing.err.find("cannot read"), std::string::npos) << missing.err;
    EXPECT_TRUE(first.record().exchanges().empty());
}

TEST_F(Scripting, TwoBoardsPrintingWithoutLineEndsShowTheirOutputAtLowCost) {
    auto& first = startBoard();
    auto& second = startBoard();
    const std::string program = file("dots.tn", "while 1 = 1\r\n  print \"..........\";\r\nwend\r\n");
    CliProcess cli({"--port", first.slavePath(), "--port", second.slavePath(), "run", program});
    ASSERT_TRUE(cli.awaitOutput(first.slavePath() + ": ....", 15000));
    ASSERT_TRUE(cli.awaitOutput(second.slavePath() + ": ....", 15000));
    std::this_thread::sleep_for(std::chrono::seconds(3));
    cli.interrupt();
    const Outcome o = cli.finish(30);
    EXPECT_EQ(o.exitCode, 130) << o.err;
    EXPECT_FALSE(first.running());
    EXPECT_FALSE(second.running());
    // Each piece of output stands behind its board's name.
    std::size_t from = 0;
    int pieces = 0;
    for (auto end = o.out.find('\n'); end != std::string::npos; end = o.out.find('\n', from)) {
        const std::string line = o.out.substr(from, end - from);
        EXPECT_TRUE(line.starts_with(first.slavePath() + ": ") || line.starts_with(second.slavePath() + ": ")) << line;
        from = end + 1;
        ++pieces;
    }
    EXPECT_GT(pieces, 4);
    EXPECT_LT(o.cpuMs, o.elapsedMs / 2) << "the client spins: " << o.cpuMs << " ms of CPU in " << o.elapsedMs;
}

// --- No more board state changed than needed ----------------------------------------

TEST_F(Scripting, TheStoredProgramKeepsItsVariablesAcrossVarsRunAndAci) {
    auto& board = startBoard();
    ASSERT_TRUE(board.storeSource("print \"A is \", A\r\nend\r\n"));
    Outcome o = runCli({"--port", board.slavePath(), "vars", "A=5"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    o = runCli({"--port", board.slavePath(), "startup-time"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    o = runCli({"--port", board.slavePath(), "run"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "A is 5\r\n");
    EXPECT_FALSE(sent(board, kResetProgram)) << "vars, startup-time and run of the stored program never reset";
    o = runCli({"--port", board.slavePath(), "run", "--reset"});
    EXPECT_EQ(o.out, "A is 0\r\n");

    board.record().clear();
    o = runCli({"--port", board.slavePath(), "aci", "Q = 99"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    o = runCli({"--port", board.slavePath(), "aci", "print Q"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "99\r\n");
    EXPECT_FALSE(sent(board, kResetProgram)) << "reading and ACI lines never reset";
    EXPECT_EQ(board.variables()[16], 99);
}

TEST_F(Scripting, SendReachesOnlyARunningProgram) {
    auto& board = startBoard();
    ASSERT_TRUE(board.storeSource(kEndless));
    // Stopped: nothing goes to the board, where it would wait for the next run.
    Outcome o = runCli({"--port", board.slavePath(), "send", "x"});
    EXPECT_EQ(o.exitCode, 2) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_NE(o.err.find("no program is running: the character was not sent"), std::string::npos) << o.err;
    EXPECT_FALSE(sent(board, kSendCharacter));
    EXPECT_EQ(board.pendingCharacters(), 0u);

    // Running: the first character goes, and the program runs on.
    board.runProgram();
    o = runCli({"--port", board.slavePath(), "send", "xy"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(sent(board, kSendCharacter));
    EXPECT_EQ(board.pendingCharacters(), 1u);
    EXPECT_TRUE(board.running());
    board.stopProgram();
}

TEST_F(Scripting, VarsSetsAllOrNothing) {
    auto& board = startBoard();
    const Outcome o = runCli({"--port", board.slavePath(), "vars", "A=1", "B=abc", "C=3"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_EQ(board.variables()[0], 0);
    EXPECT_EQ(board.variables()[2], 0);
    const Outcome ok = runCli({"--port", board.slavePath(), "vars", "A=-2147483648", "c=+12"});
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_EQ(board.variables()[0], INT32_MIN);
    EXPECT_EQ(board.variables()[2], 12);
}

// --- What the run's end means ---------------------------------------------------------

TEST_F(Scripting, TheExitCodeTellsAProgramThatStoppedEarlyFromOneThatEnded) {
    auto& board = startBoard();
    struct Row {
        const char* program;
        int exitCode;
    };
    const std::vector<Row> rows = {
        {"print 1\r\nend\r\nprint 2\r\n", 0},
        {"A = 1\r\nprint A\r\n' done\r\n", 0},
        {"A = 0\r\nB = 1 / A\r\nprint B\r\nend\r\n", 5},
        {"A = 0\r\nagain:\r\nA = A + 1\r\nif A < 3 then\r\n  goto again\r\nendif\r\nprint A\r\n", 0},
        {"for I = 1 to 3\r\n  print I;\r\nnext I\r\n", 0},
        {"A = 1\r\nend if\r\nprint A\r\n", 5},
    };
    for (const Row& row : rows) {
        const Outcome o = runCli({"--port", board.slavePath(), "run", file("p.tn", row.program)});
        EXPECT_EQ(o.exitCode, row.exitCode) << row.program << o.err;
        if (row.exitCode == 5) {
            EXPECT_NE(o.err.find("stopped before its end, at line 2"), std::string::npos) << o.err;
        }
        // The same program as the board holds it, run without a file.
        const Outcome stored = runCli({"--port", board.slavePath(), "run", "--reset"});
        EXPECT_EQ(stored.exitCode, row.exitCode) << row.program << stored.err;
    }
}

// --- Program files refused before sending ------------------------------------------

TEST_F(Scripting, AZeroByteOrAnEmptyProgramIsRefusedWithExitThree) {
    auto& board = startBoard();
    ASSERT_TRUE(board.storeSource("print \"old\"\r\nend\r\n"));
    struct Row {
        std::string bytes;
        std::string message;
    };
    const std::vector<Row> rows = {
        {std::string("print 1\r\nprint \"a\0b\"\r\nend\r\n", 25), "p.tn:2: holds a zero byte"},
        {"", "p.tn: the program is empty"},
        {"\r\n  \r\n' only a comment\r\n", "p.tn: the program is empty"},
    };
    for (const Row& row : rows) {
        for (const char* command : {"download", "run"}) {
            const Outcome o = runCli({"--port", board.slavePath(), command, file("p.tn", row.bytes)});
            EXPECT_EQ(o.exitCode, 3) << command << o.err;
            EXPECT_NE(o.err.find(row.message), std::string::npos) << o.err;
        }
    }
    EXPECT_TRUE(board.record().exchanges().empty());
    EXPECT_EQ(board.program(), "print \"old\"\r\nend\r\n");
}

TEST_F(Scripting, AProgramFromStdinAndTheConventions) {
    auto& board = startBoard();
    Outcome o = runCli({"--port=" + board.slavePath(), "run", "-"}, "print \"piped\"\r\nend\r\n");
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "piped\r\n");

    o = runCli({"--version"});
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_TRUE(o.out.starts_with("travin-cli ")) << o.out;

    o = runCli({"--port", board.slavePath(), "--quiet", "download", file("q.tn", "print 1\r\nend\r\n")});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.err, "");

    o = runCli({"--port", board.slavePath(), "--", "aci", "print -1"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "-1\r\n");
}

}  // namespace

namespace {

TEST_F(Scripting, JsonResultsSeveralPortsAndTheEnvironmentsPort) {
    auto& first = startBoard();
    auto& second = startBoard();
    ASSERT_TRUE(first.storeSource(kEndless));
    ASSERT_TRUE(second.storeSource(kEndless));
    first.runProgram();
    second.runProgram();
    // stop on both boards, one after the other.
    Outcome o = runCli({"--port", first.slavePath(), "--port", second.slavePath(), "stop"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_FALSE(first.running());
    EXPECT_FALSE(second.running());
    o = runCli({"--port", first.slavePath(), "--port", second.slavePath(), "reset"});
    EXPECT_EQ(o.exitCode, 0) << o.err;

    ASSERT_EQ(::setenv("TRAVIN_PORT", first.slavePath().c_str(), 1), 0);
    o = runCli({"startup-time", "--json"});
    ::unsetenv("TRAVIN_PORT");
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.out.starts_with("{\"seconds\": ") && o.out.ends_with("}\n")) << o.out;

    o = runCli({"--port", first.slavePath(), "step", "--json"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.out.starts_with("{\"line\": ") && o.out.ends_with("}\n")) << o.out;

    o = runCli({"ports", "--json"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.out.starts_with("{\"ports\": [{\"name\": \"COM1\"") && o.out.ends_with("]}\n")) << o.out;
}

TEST_F(Scripting, ConsoleEndsWhenTheProgramEndsAndSaysSo) {
    auto& board = startBoard();
    ASSERT_TRUE(board.storeSource("delay 1500\r\nprint \"late\"\r\nend\r\n"));
    board.runProgram();
    const Outcome o = runCli({"--port", board.slavePath(), "console"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "late\r\n");
    EXPECT_NE(o.err.find("the program ended"), std::string::npos) << o.err;
}

TEST_F(Scripting, ATimeOutSaysSo) {
    auto& board = startBoard();
    const Outcome o = runCli({"--port", board.slavePath(), "run", file("e.tn", kEndless), "--timeout", "0.5"});
    EXPECT_EQ(o.exitCode, 4) << o.err;
    EXPECT_NE(o.err.find("time-out"), std::string::npos) << o.err;
    EXPECT_FALSE(board.running());
}

TEST_F(Scripting, ProgressRowsFitANarrowTerminal) {
    auto& first = startBoard(5, true);
    auto& second = startBoard(5, true);
    std::string text;
    for (int i = 0; i < 60; ++i) text += "print \"a line of the program number " + std::to_string(i) + "\"\r\n";
    const std::string program = file("p.tn", text);
    // stderr on a terminal 40 columns wide.
    travin::testing::RawPty terminal;
    winsize size{};
    size.ws_col = 40;
    size.ws_row = 24;
    ASSERT_EQ(::ioctl(terminal.master, TIOCSWINSZ, &size), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(terminal.slave.c_str(), O_RDWR);
        ::dup2(fd, 2);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::execl(TRAVIN_CLI_EXE, TRAVIN_CLI_EXE, "--port", first.slavePath().c_str(), "--port",
                second.slavePath().c_str(), "download", program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::string shown;
    for (;;) {
        pollfd entry{terminal.master, POLLIN, 0};
        if (::poll(&entry, 1, 200) > 0) {
            char buffer[4096];
            const ssize_t n = ::read(terminal.master, buffer, sizeof buffer);
            if (n > 0) shown.append(buffer, static_cast<std::size_t>(n));
        }
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
            break;
        }
    }
    // Every progress row (drawn after clearing its line) stays within the
    // width, so redrawing it in place never leaves a wrapped part behind.
    const std::string clear = "\r\033[K";
    std::size_t longest = 0, rows = 0;
    for (auto at = shown.find(clear); at != std::string::npos; at = shown.find(clear, at + 1)) {
        const auto begin = at + clear.size();
        const auto end = shown.find('\n', begin);
        longest = std::max(longest, (end == std::string::npos ? shown.size() : end) - begin);
        ++rows;
    }
    EXPECT_GT(rows, 2u) << shown;
    EXPECT_NE(shown.find("Downloading"), std::string::npos) << shown;
    EXPECT_LT(longest, 40u) << shown;
}

}  // namespace

namespace {

TEST_F(Scripting, StepReadsTheProgramOnceOrTakesItFromSource) {
    constexpr std::uint8_t kUploadBlock = 13;
    auto& board = startBoard();
    const std::string listing = "A = 1\r\nB = 2\r\nC = 3\r\nend\r\n";
    ASSERT_TRUE(board.storeSource(listing));
    Outcome o = runCli({"--port", board.slavePath(), "step", "2"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "2: B = 2\n3: C = 3\n");
    const auto codes = codesSent(board);
    const auto uploads = std::count(codes.begin(), codes.end(), kUploadBlock);
    EXPECT_GE(uploads, 1);
    EXPECT_LE(uploads, 2) << "one program of one page, read once";

    board.record().clear();
    o = runCli({"--port", board.slavePath(), "step", "--source", file("same.tn", listing)});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "4: end\n");
    EXPECT_FALSE(sent(board, kUploadBlock));

    ASSERT_TRUE(board.storeSource(listing));
    o = runCli({"--port", board.slavePath(), "step", "--source", file("other.tn", "print \"something longer\"\r\nend\r\n")});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "2: B = 2\n");
    EXPECT_NE(o.err.find("is not the board's program"), std::string::npos) << o.err;
}

// The board's single-byte text in a step's JSON: the euro sign and the
// quotation marks as those characters.
TEST_F(Scripting, StepJsonShowsTheLineInTheWorkbenchCharacters) {
    auto& board = startBoard();
    ASSERT_TRUE(board.storeSource("A = 1\r\nprint \"5\x80 \x93ok\x94\"\r\nend\r\n"));
    const Outcome o = runCli({"--port", board.slavePath(), "step", "--json"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "{\"line\": 2, \"text\": \"print \\\"5\\u20ac \\u201cok\\u201d\\\"\"}\n");
}

}  // namespace
