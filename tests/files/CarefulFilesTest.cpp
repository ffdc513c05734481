// Open and Save with the files a user really meets: ones that never end or
// never answer, read-only ones, hard links, a folder that takes no new
// file; and the questions that guard unsaved text.
#include <gtest/gtest.h>

#include "tests/support/TestFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "workbench/SourceFiles.h"
#include "tests/support/FakeScreens.h"

namespace {

namespace fs = std::filesystem;
using travin::Answer;
using travin::testing::FakeBench;

using travin::testing::readBytes;
using travin::testing::writeBytes;

class CarefulFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = travin::testing::freshTestFolder("travin-careful");
        bench = std::make_unique<FakeBench>(folder.string() + "/");
        keep = folder / "keep.tn";
        writeBytes(keep, "10 KEEP\r\n");
        open(keep);
        ASSERT_TRUE(bench->notices.errorBoxes.empty());
    }
    void TearDown() override {
        bench.reset();
        fs::permissions(folder, fs::perms::owner_all);
        fs::remove_all(folder);
    }
    travin::Workbench& wb() { return *bench->wb; }
    void open(const fs::path& p) {
        bench->desktop.openAnswers.push_back(p.string());
        wb().files.FileOpenExecute();
    }
    // The listing edited and saved under its own name.
    void saveAs(const fs::path& p, const std::vector<std::string>& lines) {
        bench->listing.type(lines);
        bench->desktop.saveAnswers.push_back(p.string());
        wb().files.FileSaveAsExecute();
    }

    fs::path folder, keep;
    std::unique_ptr<FakeBench> bench;
};

struct OpenCase {
    const char* label;
    std::function<fs::path(const fs::path& folder)> make;
    std::string detail;   // after "Cannot open file <path>."
};

class OpenRefusal : public CarefulFilesTest, public ::testing::WithParamInterface<OpenCase> {};

// None of them may throw, block or eat memory; each is the open error at
// once, and the listing stays with its name.
TEST_P(OpenRefusal, IsTheOpenErrorAtOnceAndKeepsTheListing) {
    const fs::path path = GetParam().make(folder);
    ASSERT_FALSE(path.empty());
    // A reader blocked on a pipe is set free by a writer, so a fault shows
    // as a failure here instead of a hang.
    std::atomic<bool> done{false};
    std::thread release([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!done && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!done && fs::is_fifo(path)) {
            const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        }
    });
    const auto began = std::chrono::steady_clock::now();
    EXPECT_NO_THROW(open(path));
    done = true;
    release.join();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(2));
    ASSERT_EQ(bench->notices.errorBoxes.size(), 1u);
    EXPECT_EQ(bench->notices.errorBoxes[0], "Cannot open file " + path.string() + "." + GetParam().detail);
    EXPECT_EQ(bench->listing.text, std::vector<std::string>({"10 KEEP", ""}));
    EXPECT_EQ(wb().state.fileName, keep.string());
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenRefusal,
    ::testing::Values(
        OpenCase{"ProcessMemory", [](const fs::path&) { return fs::path("/proc/self/mem"); }, ""},
        OpenCase{"EndlessDevice", [](const fs::path&) { return fs::path("/dev/zero"); }, ""},
        OpenCase{"NamedPipe",
                 [](const fs::path& f) {
                     const fs::path p = f / "pipe.tn";
                     return ::mkfifo(p.c_str(), 0600) == 0 ? p : fs::path();
                 },
                 ""},
        OpenCase{"Oversized",
                 [](const fs::path& f) {
                     const fs::path p = f / "huge.tn";
                     writeBytes(p, "");
                     fs::resize_file(p, travin::kMaxSourceFileBytes + 1);   // sparse: no disk used
                     return p;
                 },
                 " It holds 67108865 bytes, more than the 67108864 a listing may have."}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(CarefulFilesTest, AReadOnlyFileIsRefusedAndLeftAsItWas) {
    const fs::path file = folder / "locked.tn";
    writeBytes(file, "10 LOCKED\r\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    struct stat before{};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);

    saveAs(file, {"20 NEW"});
    ASSERT_EQ(bench->notices.errorBoxes.size(), 1u);
    EXPECT_EQ(bench->notices.errorBoxes[0], "Cannot create file " + file.string() + ".");
    struct stat after{};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(readBytes(file), "10 LOCKED\r\n");
    EXPECT_EQ(wb().state.fileName, keep.string());
}

TEST_F(CarefulFilesTest, AHardLinkedFileIsWrittenInPlaceSoEveryNameSeesTheText) {
    const fs::path file = folder / "prog.tn", other = folder / "other-name.tn";
    writeBytes(file, "10 OLD\r\n");
    fs::create_hard_link(file, other);
    saveAs(file, {"10 NEW", "20 END"});
    EXPECT_TRUE(bench->notices.errorBoxes.empty());
    EXPECT_EQ(fs::hard_link_count(file), 2u);
    EXPECT_EQ(readBytes(other), "10 NEW\r\n20 END\r\n");
    // Shorter text leaves nothing of the longer one behind.
    saveAs(file, {"1"});
    EXPECT_EQ(readBytes(other), "1\r\n");
}

// Files already beside the target, under the name the temporary once had
// and others, are never touched, and nothing is left behind.
TEST_F(CarefulFilesTest, FilesNamedLikeTheTemporaryStayAndNoneIsLeft) {
    const fs::path file = folder / "prog.tn";
    writeBytes(file, "10 OLD\r\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    for (const char* name : {"prog.tn.saving~", ".prog.tn.saving", "prog.tn~", "prog.tn.tmp"})
        writeBytes(folder / name, std::string("someone's ") + name);
    const auto countBefore = std::distance(fs::directory_iterator(folder), fs::directory_iterator());
    saveAs(file, {"10 NEW"});
    EXPECT_TRUE(bench->notices.errorBoxes.empty());
    EXPECT_EQ(readBytes(file), "10 NEW\r\n");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    for (const char* name : {"prog.tn.saving~", ".prog.tn.saving", "prog.tn~", "prog.tn.tmp"})
        EXPECT_EQ(readBytes(folder / name), std::string("someone's ") + name) << name;
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), countBefore);
}

// A writable file in a folder that takes no new file: saved in place. The
// super-user may create files anywhere, so the case is made for an
// ordinary user in a child process.
TEST_F(CarefulFilesTest, AWritableFileInAFolderWithoutWritePermissionIsSavedInPlace) {
    const fs::path inner = folder / "shared";
    fs::create_directory(inner);
    const fs::path file = inner / "prog.tn";
    writeBytes(file, "10 OLD\r\n");
    fs::permissions(file, fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec));
    fs::permissions(inner, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    struct stat before{};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        ::_exit(travin::writeSourceFile(file.string(), {"10 NEW"}) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 3) << "could not become an ordinary user";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readBytes(file), "10 NEW\r\n");
    struct stat after{};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    fs::permissions(inner, fs::perms::owner_all);
}

// An edit in the last moments before New, Open or closing, which no tick
// has seen yet, still brings the question.
TEST_F(CarefulFilesTest, AnEditNoTickHasSeenBringsTheQuestion) {
    for (const char* operation : {"close", "New", "Open"}) {
        bench->notices.questions.clear();
        wb().state.unsavedChanges = false;
        bench->listing.modifiedMark = true;
        bench->notices.answers.push_back(Answer::Cancel);
        bool went = true;
        if (std::string(operation) == "close") went = wb().files.FormCloseQuery();
        else if (std::string(operation) == "New") wb().files.FileNewExecute();
        else wb().files.FileOpenExecute();
        EXPECT_EQ(bench->notices.questions.size(), 1u) << operation;
        if (std::string(operation) == "close") {
            EXPECT_FALSE(went);
        }
        EXPECT_EQ(wb().state.fileName, keep.string()) << operation;
        EXPECT_TRUE(wb().state.unsavedChanges) << operation;
    }
}

// The monitor ticks inside the question box and the open dialog; a board
// that starts running meanwhile stops New and Open before the listing goes.
TEST_F(CarefulFilesTest, NewAndOpenCheckTheRunningBoardAgainAfterTheirBoxes) {
    const fs::path other = folder / "other.tn";
    writeBytes(other, "20 OTHER\r\n");
    auto startRunning = [this] { wb().state.running = true; };

    wb().state.unsavedChanges = true;
    bench->notices.onQuestion = startRunning;
    bench->notices.answers.push_back(Answer::No);
    wb().files.FileNewExecute();
    EXPECT_EQ(bench->listing.text, std::vector<std::string>({"10 KEEP", ""}));
    EXPECT_EQ(bench->notices.notices, std::vector<std::string>{"Must Stop Travin Before Sending New"});

    wb().state.running = false;
    wb().state.unsavedChanges = false;
    bench->notices.onQuestion = nullptr;
    bench->desktop.onDialog = startRunning;
    open(other);
    EXPECT_EQ(bench->listing.text, std::vector<std::string>({"10 KEEP", ""}));
    EXPECT_EQ(bench->notices.notices.back(), "Must Stop Travin Before Sending Open");
    EXPECT_EQ(wb().state.fileName, keep.string());
}

}  // namespace
