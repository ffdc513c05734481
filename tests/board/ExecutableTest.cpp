// travin-board as people run it: flags, the link, the trace, clean exits
// and clear refusals.
#include "BoardFixture.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

extern char** environ;

namespace boardtest {
namespace {

namespace fs = std::filesystem;

class ExecutableTest : public ::testing::Test {
protected:
    // Starts travin-board with `args`; stdout and stderr go to files.
    pid_t spawn(std::vector<std::string> args, const std::string& tag, const std::string& input = "/dev/null") {
        args.insert(args.begin(), TRAVIN_BOARD_EXE);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 0, input.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 1, dir_.file(tag + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&fa, 2, dir_.file(tag + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&fa);
        return pid;
    }
    int wait(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string read(const std::string& name) {
        std::ifstream in(dir_.file(name));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool waitForLink(const std::string& link) {
        for (int i = 0; i < 300; ++i) {
            if (fs::is_symlink(link) && fs::exists(link)) return true;
            std::this_thread::sleep_for(Ms(10));
        }
        return false;
    }
    std::vector<std::string> common(int com) {
        return {"--com", std::to_string(com), "--link-dir", dir_.path(), "--eeprom", dir_.file("board.eeprom"),
                "--page-write-ms", "0", "--erase-ms", "0"};
    }
    TempDir dir_;
};

TEST_F(ExecutableTest, ServesTheStoredProgramTracesAndRemovesTheLinkOnSigterm) {
    { std::ofstream(dir_.file("p.tn")) << "print \"hi\"\n' note\n"; }
    auto args = common(6);
    args.insert(args.end(), {"--program", dir_.file("p.tn"), "--trace", "--no-autorun"});
    pid_t pid = spawn(args, "board");
    ASSERT_TRUE(waitForLink(dir_.file("com6"))) << read("board.err");
    {
        TestClient c(dir_.file("com6"));
        auto r = c.exchange(13, u16(0));
        ASSERT_TRUE(r.ok) << r.failure;
        const std::string text(r.data.begin() + 2, r.data.begin() + 2 + 20);
        EXPECT_EQ(text, "print \"hi\"\r\n' note\r\n");
        EXPECT_EQ(r.data[22], 0);
        EXPECT_TRUE(c.exchange(20).ok);
    }
    ::kill(pid, SIGTERM);
    EXPECT_EQ(wait(pid), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir_.file("com6"))));
    const std::string out = read("board.out");
    EXPECT_NE(out.find("UploadBlock 00 00 | status 80 | reply 80 82 00 00 70 72"), std::string::npos) << out;
    EXPECT_NE(out.find("GetVersion - | status 80 | reply 80 0D 54 72"), std::string::npos) << out;
}

TEST_F(ExecutableTest, ASecondBoardOnTheSameComNumberExitsWithAnError) {
    pid_t first = spawn(common(7), "first");
    ASSERT_TRUE(waitForLink(dir_.file("com7")));
    auto args = common(7);
    args[5] = dir_.file("second.eeprom");
    pid_t second = spawn(args, "second");
    EXPECT_NE(wait(second), 0);
    EXPECT_NE(read("second.err").find("another board already serves COM7"), std::string::npos) << read("second.err");
    EXPECT_TRUE(fs::exists(dir_.file("com7")));  // the first board's link stays
    ::kill(first, SIGINT);
    EXPECT_EQ(wait(first), 0);
}

TEST_F(ExecutableTest, FaultsCanBeTypedOnTheTraceConsole) {
    { std::ofstream(dir_.file("in.txt")) << "busy 2\nbit6\nstatus\n"; }
    pid_t pid = spawn(common(5), "console", dir_.file("in.txt"));
    ASSERT_TRUE(waitForLink(dir_.file("com5")));
    for (int i = 0; i < 300 && read("console.out").find("ok: bit6") == std::string::npos; ++i)
        std::this_thread::sleep_for(Ms(10));
    {
        TestClient c(dir_.file("com5"));
        auto r = c.exchange(8, bytesOf("Stat"));
        ASSERT_TRUE(r.ok) << r.failure;
        EXPECT_EQ(r.busyCount, 2);
        EXPECT_EQ(r.raw, (Bytes{0x40, 0x40}));
        EXPECT_EQ(c.exchange(8, bytesOf("Stat")).raw, (Bytes{0x00, 0x00}));
    }
    ::kill(pid, SIGTERM);
    EXPECT_EQ(wait(pid), 0);
    EXPECT_NE(read("console.out").find("19200 bit/s, program stopped"), std::string::npos) << read("console.out");
}

// The README's several boards: each started with --com alone, in one
// self-contained folder (a copy of the executable, so the default image
// lands in the test's folder), each keeping its own program.
TEST_F(ExecutableTest, BoardsOnTwoComNumbersKeepTheirOwnImagesByDefault) {
    const std::string bin = dir_.file("bin");
    fs::create_directory(bin);
    const std::string exe = bin + "/travin-board";
    fs::copy_file(TRAVIN_BOARD_EXE, exe);
    auto startBoth = [&](const std::string& tag) {
        std::vector<pid_t> pids;
        for (int com : {3, 4}) {
            std::vector<std::string> args{"--com", std::to_string(com), "--no-autorun", "--page-write-ms", "0",
                                          "--no-pace"};
            args.insert(args.begin(), exe);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            posix_spawn_file_actions_t fa;
            posix_spawn_file_actions_init(&fa);
            posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
            const std::string err = dir_.file(tag + std::to_string(com) + ".err");
            posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            pid_t pid = -1;
            EXPECT_EQ(posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ), 0);
            posix_spawn_file_actions_destroy(&fa);
            pids.push_back(pid);
        }
        return pids;
    };
    auto pids = startBoth("first");
    ASSERT_TRUE(waitForLink(bin + "/com3")) << read("first3.err");
    ASSERT_TRUE(waitForLink(bin + "/com4")) << read("first4.err");
    for (int com : {3, 4}) {
        TestClient c(bin + "/com" + std::to_string(com));
        Bytes page = u16(0);
        page.resize(130, static_cast<std::uint8_t>('0' + com));
        auto r = c.exchange(1, page);
        ASSERT_TRUE(r.ok) << r.failure;
        EXPECT_EQ(r.status & 0x01, 0);
    }
    for (pid_t pid : pids) ::kill(pid, SIGTERM);
    for (pid_t pid : pids) EXPECT_EQ(wait(pid), 0);
    EXPECT_TRUE(fs::exists(bin + "/board-com3.eeprom"));
    EXPECT_TRUE(fs::exists(bin + "/board-com4.eeprom"));

    pids = startBoth("second");
    ASSERT_TRUE(waitForLink(bin + "/com3")) << read("second3.err");
    ASSERT_TRUE(waitForLink(bin + "/com4")) << read("second4.err");
    for (int com : {3, 4}) {
        TestClient c(bin + "/com" + std::to_string(com));
        auto r = c.exchange(13, u16(0));
        ASSERT_TRUE(r.ok) << r.failure;
        EXPECT_EQ(r.data.at(2), '0' + com) << "COM" << com;
    }
    for (pid_t pid : pids) ::kill(pid, SIGTERM);
    for (pid_t pid : pids) EXPECT_EQ(wait(pid), 0);
}

TEST_F(ExecutableTest, AnImageThatCannotBeWrittenIsSaidOnStderr) {
    pid_t pid = spawn(common(2), "nosave");
    ASSERT_TRUE(waitForLink(dir_.file("com2"))) << read("nosave.err");
    fs::remove(dir_.file("board.eeprom"));
    fs::create_directory(dir_.file("board.eeprom"));
    {
        TestClient c(dir_.file("com2"));
        Bytes page = u16(4);
        page.resize(130, 'x');
        auto r = c.exchange(1, page);
        ASSERT_TRUE(r.ok) << r.failure;
        EXPECT_EQ(r.status & 0x01, 0x01);
    }
    ::kill(pid, SIGTERM);
    EXPECT_EQ(wait(pid), 0);
    EXPECT_NE(read("nosave.err").find("travin-board: DownloadBlock of page 4 refused: the EEPROM image cannot be "
                                      "written"),
              std::string::npos)
        << read("nosave.err");
}

// A board killed while it writes pages never leaves a torn image: the file
// keeps its size and every page is one of the two programs sent, whole.
TEST_F(ExecutableTest, ABoardKilledWhileWritingPagesLeavesEveryPageWhole) {
    const std::string image = dir_.file("board.eeprom");
    for (int round = 0; round < 6; ++round) {
        pid_t pid = spawn({"--com", "2", "--link-dir", dir_.path(), "--eeprom", image, "--page-write-ms", "0",
                           "--no-pace", "--no-autorun"},
                          "killed");
        ASSERT_TRUE(waitForLink(dir_.file("com2"))) << read("killed.err");
        std::atomic<bool> sending{true};
        std::thread sender([&] {
            TestClient c(dir_.file("com2"));
            for (unsigned n = 0; sending; ++n) {
                Bytes page = u16(n % 232);
                page.resize(130, static_cast<std::uint8_t>((n / 232) % 2 ? 'b' : 'a'));
                if (!c.exchange(1, page, Ms(300)).ok) break;
            }
        });
        std::this_thread::sleep_for(Ms(50 + 37 * round));
        ::kill(pid, SIGKILL);
        wait(pid);
        sending = false;
        sender.join();
        fs::remove(dir_.file("com2"));
        fs::remove(dir_.file("com2.lock"));

        std::ifstream in(image, std::ios::binary);
        const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_EQ(file.size(), 30720u) << "round " << round;
        for (std::size_t page = 0; page < 232; ++page) {
            const auto first = file.begin() + static_cast<std::ptrdiff_t>(128 * page);
            EXPECT_TRUE(std::all_of(first, first + 128, [&](std::uint8_t b) { return b == *first; }) &&
                        (*first == 0 || *first == 'a' || *first == 'b'))
                << "round " << round << ", page " << page << " is torn";
        }
    }
    std::ifstream in(image, std::ios::binary);
    EXPECT_NE(in.get(), 0) << "pages were written before the kills";
}

struct BadStart {
    const char* name;
    std::vector<std::string> extra;
    const char* message;
};

class ExecutableRefusalTest : public ExecutableTest, public ::testing::WithParamInterface<BadStart> {};

TEST_P(ExecutableRefusalTest, ExitsNonZeroWithAClearMessage) {
    auto args = common(3);
    for (const auto& e : GetParam().extra) args.push_back(e == "@" ? dir_.path() : e);
    pid_t pid = spawn(args, "bad");
    EXPECT_NE(wait(pid), 0);
    EXPECT_NE(read("bad.err").find(GetParam().message), std::string::npos) << read("bad.err");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir_.file("com3"))));
}

INSTANTIATE_TEST_SUITE_P(
    Starts, ExecutableRefusalTest,
    ::testing::Values(
        BadStart{"MissingProgramFile", {"--program", "/nonexistent/p.tn"}, "cannot open program file /nonexistent/p.tn"},
        BadStart{"LinkFolderMissing", {"--link-dir", "/nonexistent/dir"}, "cannot create lock file /nonexistent/dir/com3.lock"},
        BadStart{"UnknownFlag", {"--frobnicate"}, "unknown option --frobnicate"},
        BadStart{"UnknownModuleType", {"--rig", "1=orlen,2=lathe"}, "--rig: unknown module type 'lathe'"},
        BadStart{"EepromIsAFolder", {"--eeprom", "@"}, "EEPROM image"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace boardtest
