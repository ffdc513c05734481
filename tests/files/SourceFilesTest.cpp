// New, Open, Save, Save As, Exit and the close query, through the core with
// fake screens and real files in a scratch folder.
#include <gtest/gtest.h>

#include "tests/support/TestFolder.h"

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "workbench/SourceFiles.h"
#include "tests/support/FakeScreens.h"

namespace {

namespace fs = std::filesystem;
using travin::Answer;
using travin::kEmptySlot;
using travin::testing::FakeBench;

using travin::testing::readBytes;
using travin::testing::writeBytes;

class SourceFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = travin::testing::freshTestFolder("travin-files");
        bench = std::make_unique<FakeBench>(folder.string() + "/");
    }
    void TearDown() override {
        bench.reset();
        fs::remove_all(folder);
    }

    travin::Workbench& wb() { return *bench->wb; }

    // An edit as the monitor tick turns it into flags.
    void edit(const std::vector<std::string>& lines) {
        bench->listing.type(lines);
        wb().state.unsavedChanges = true;
        wb().state.downloadNeeded = true;
        bench->listing.setModified(false);
    }

    void openFile(const fs::path& p) {
        bench->desktop.openAnswers.push_back(p.string());
        wb().files.FileOpenExecute();
    }

    void setBreakpoints() { wb().state.breakpoints = {0, 2, 5}; }
    bool noBreakpoints() {
        for (auto slot : wb().state.breakpoints)
            if (slot != kEmptySlot) return false;
        return true;
    }

    fs::path folder;
    std::unique_ptr<FakeBench> bench;
};

TEST_F(SourceFilesTest, UntitledSaveGoesToSaveAsPresetWithUntitledAndCancelKeepsTheChanges) {
    edit({"A=1"});
    wb().files.FileSaveExecute();   // the save dialog answers Cancel (queue empty)
    ASSERT_EQ(bench->desktop.savePresets, std::vector<std::string>{"Untitled.txt"});
    EXPECT_TRUE(wb().state.unsavedChanges);
    EXPECT_EQ(wb().state.fileName, "Untitled.txt");

    const fs::path target = folder / "first.tn";
    bench->desktop.saveAnswers.push_back(target.string());
    wb().files.FileSaveExecute();
    EXPECT_EQ(readBytes(target), "A=1\r\n");
    EXPECT_EQ(wb().state.fileName, target.string());
    EXPECT_EQ(bench->main.status, "first.tn");
    EXPECT_FALSE(wb().state.unsavedChanges);
}

TEST_F(SourceFilesTest, AFileReallyNamedUntitledSavesStraightBackWithoutADialog) {
    const fs::path file = folder / "Untitled.txt";
    writeBytes(file, "old\r\n");
    openFile(file);
    edit({"new"});
    wb().files.FileSaveExecute();
    EXPECT_TRUE(bench->desktop.savePresets.empty());
    EXPECT_EQ(readBytes(file), "new\r\n");
    EXPECT_FALSE(wb().state.unsavedChanges);
}

TEST_F(SourceFilesTest, SaveAsPresetsTheFullPathAndKeepsTheBreakpoints) {
    const fs::path file = folder / "axis.tn";
    writeBytes(file, "X");
    openFile(file);
    setBreakpoints();
    bench->desktop.saveAnswers.push_back((folder / "copy.txt").string());
    wb().files.FileSaveAsExecute();
    EXPECT_EQ(bench->desktop.savePresets, std::vector<std::string>{file.string()});
    EXPECT_EQ(bench->main.status, "copy.txt");
    EXPECT_EQ(readBytes(folder / "copy.txt"), "X\r\n");
    wb().files.FileSaveExecute();
    EXPECT_FALSE(noBreakpoints());
}

TEST_F(SourceFilesTest, TheQuestionNamesTheFilePartInQuotesAndNothingAfter) {
    const fs::path file = folder / "axis.tn";
    writeBytes(file, "X\r\n");
    openFile(file);
    edit({"Y"});
    bench->notices.answers.push_back(Answer::Cancel);
    EXPECT_FALSE(wb().files.QuerySaveChanges());
    ASSERT_EQ(bench->notices.questions.size(), 1u);
    EXPECT_EQ(bench->notices.questions[0].title, "");
    EXPECT_EQ(bench->notices.questions[0].text, "Do you want to save the changes you made to \"axis.tn\"");
}

TEST_F(SourceFilesTest, NewYesThenCancelledSaveDialogKeepsListingNameAndChanges) {
    edit({"keep me"});
    bench->listing.selStart = 3;
    bench->notices.answers.push_back(Answer::Yes);
    wb().files.FileNewExecute();   // the save dialog is cancelled
    EXPECT_EQ(bench->listing.text, std::vector<std::string>{"keep me"});
    EXPECT_EQ(wb().state.fileName, "Untitled.txt");
    EXPECT_TRUE(wb().state.unsavedChanges);
    EXPECT_TRUE(wb().state.downloadNeeded);
    EXPECT_EQ(bench->desktop.savePresets.size(), 1u);
}

TEST_F(SourceFilesTest, NewNoEmptiesWithoutSavingAndResetsTheFlags) {
    const fs::path file = folder / "axis.tn";
    writeBytes(file, "X\r\n");
    openFile(file);
    edit({"changed"});
    setBreakpoints();
    bench->listing.modifiedMark = true;
    bench->notices.answers.push_back(Answer::No);
    wb().files.FileNewExecute();
    EXPECT_TRUE(bench->listing.text.empty());
    EXPECT_EQ(readBytes(file), "X\r\n");
    EXPECT_EQ(wb().state.fileName, "Untitled.txt");
    EXPECT_EQ(bench->main.status, "Untitled.txt");
    EXPECT_TRUE(noBreakpoints());
    EXPECT_FALSE(bench->listing.modifiedMark);
    EXPECT_FALSE(wb().state.downloadNeeded);
    EXPECT_FALSE(wb().state.unsavedChanges);
}

TEST_F(SourceFilesTest, NothingChangedMeansNoQuestionOnNewOpenOrClose) {
    const fs::path file = folder / "a.tn";
    writeBytes(file, "A\r\n");
    wb().files.FileNewExecute();
    openFile(file);
    EXPECT_TRUE(wb().files.FormCloseQuery());
    EXPECT_TRUE(bench->notices.questions.empty());
    EXPECT_EQ(bench->listing.text.front(), "A");
}

TEST_F(SourceFilesTest, OpenShowsTheFilePartClearsBreakpointsAndNeedsADownload) {
    fs::create_directories(folder / "work");
    const fs::path file = folder / "work" / "axis.tn";
    writeBytes(file, "10 A=1\r\n20 END\r\n");
    setBreakpoints();
    wb().state.downloadNeeded = false;
    bench->listing.modifiedMark = true;
    bench->listing.selStart = 1;
    // The mark is an edit the tick has not seen: its question is declined.
    bench->notices.answers.push_back(Answer::No);
    openFile(file);
    EXPECT_EQ(bench->main.status, "axis.tn");
    EXPECT_EQ(wb().state.fileName, file.string());
    EXPECT_EQ(bench->listing.joined(), "10 A=1\r\n20 END\r\n");
    EXPECT_TRUE(noBreakpoints());
    EXPECT_TRUE(wb().state.downloadNeeded);
    EXPECT_FALSE(wb().state.unsavedChanges);
    EXPECT_FALSE(bench->listing.modifiedMark);
    EXPECT_EQ(bench->listing.selStart, 0);
    EXPECT_EQ(bench->listing.selLength, 0);
    EXPECT_GT(bench->listing.focusCount, 0);
}

TEST_F(SourceFilesTest, OpenCancelledLeavesEverythingAsItWas) {
    edit({"mine"});
    bench->notices.answers.push_back(Answer::No);
    wb().files.FileOpenExecute();   // open dialog cancelled
    EXPECT_EQ(bench->listing.text, std::vector<std::string>{"mine"});
    EXPECT_TRUE(wb().state.unsavedChanges);
}

// Reading the file fully before touching the listing: an unreadable file
// leaves the old listing under its old name, so no later Save can write an
// empty listing over the old file.
TEST_F(SourceFilesTest, AFileThatCannotBeReadLeavesListingNameAndFlags) {
    const fs::path file = folder / "axis.tn";
    writeBytes(file, "X\r\n");
    openFile(file);
    setBreakpoints();
    wb().state.downloadNeeded = false;

    for (const fs::path& bad : {folder / "missing.tn", folder}) {
        openFile(bad);
        ASSERT_FALSE(bench->notices.errorBoxes.empty());
        EXPECT_EQ(bench->notices.errorBoxes.back(), "Cannot open file " + bad.string() + ".");
        EXPECT_EQ(bench->listing.text, std::vector<std::string>({"X", ""}));
        EXPECT_EQ(wb().state.fileName, file.string());
        EXPECT_EQ(bench->main.status, "axis.tn");
        EXPECT_FALSE(noBreakpoints());
        EXPECT_FALSE(wb().state.downloadNeeded);
    }
    EXPECT_EQ(bench->notices.errorBoxes.size(), 2u);
}

TEST_F(SourceFilesTest, LfCrAndCrLfLineEndsOpenAsTheSameLinesAndSaveAsCrLf) {
    const std::string want = "one\r\ntwo\r\n\r\nfour\r\n";
    for (const std::string& bytes : {std::string("one\ntwo\n\nfour\n"), std::string("one\rtwo\r\rfour\r"),
                                     std::string("one\r\ntwo\r\n\r\nfour\r\n")}) {
        const fs::path file = folder / "ends.tn";
        writeBytes(file, bytes);
        openFile(file);
        EXPECT_EQ(bench->listing.joined(), want);
    }
    std::vector<std::string> lines;
    ASSERT_TRUE(travin::readSourceFile((folder / "ends.tn").string(), lines));
    ASSERT_TRUE(travin::writeSourceFile((folder / "back.tn").string(), {"one", "two", "", "four"}));
    EXPECT_EQ(readBytes(folder / "back.tn"), want);
}

// The fake listing keeps lines as given; the pane's own round trip, with its
// handling of the final line break, is tested with the real pane.
TEST_F(SourceFilesTest, EveryByteValueSurvivesOpenAndSave) {
    std::string all;
    for (int b = 1; b <= 255; ++b)
        if (b != '\r' && b != '\n') all.push_back(static_cast<char>(b));
    const std::string file = all + "\r\n" + all.substr(100);
    writeBytes(folder / "bytes.tn", file);
    openFile(folder / "bytes.tn");
    ASSERT_EQ(bench->listing.text, std::vector<std::string>({all, all.substr(100)}));
    wb().files.FileSaveExecute();
    EXPECT_EQ(readBytes(folder / "bytes.tn"), file + "\r\n");
    EXPECT_TRUE(bench->notices.errorBoxes.empty());
}

TEST_F(SourceFilesTest, AWriteIntoARemovedFolderKeepsNameAndChanges) {
    fs::create_directories(folder / "gone");
    const fs::path file = folder / "gone" / "axis.tn";
    writeBytes(file, "X\r\n");
    openFile(file);
    edit({"Y"});
    fs::remove_all(folder / "gone");
    wb().files.FileSaveExecute();
    ASSERT_EQ(bench->notices.errorBoxes.size(), 1u);
    EXPECT_EQ(bench->notices.errorBoxes[0], "Cannot create file " + file.string() + ".");
    EXPECT_TRUE(wb().state.unsavedChanges);
    EXPECT_EQ(wb().state.fileName, file.string());

    bench->desktop.saveAnswers.push_back((folder / "nowhere" / "b.tn").string());
    wb().files.FileSaveAsExecute();
    EXPECT_EQ(bench->notices.errorBoxes.size(), 2u);
    EXPECT_EQ(wb().state.fileName, file.string());
    EXPECT_EQ(bench->main.status, "axis.tn");
}

// A write that fails half-way (here the process's file size limit stands in
// for a full disk) must leave the old file whole, not truncated.
TEST_F(SourceFilesTest, AWriteThatFailsHalfWayKeepsTheOldFile) {
    const fs::path file = folder / "axis.tn";
    const std::string old = "10 OLD PROGRAM\r\n";
    writeBytes(file, old);
    openFile(file);
    edit(std::vector<std::string>(4000, std::string(60, 'Z')));

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    wb().files.FileSaveExecute();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(readBytes(file), old);
    ASSERT_EQ(bench->notices.errorBoxes.size(), 1u);
    EXPECT_EQ(bench->notices.errorBoxes[0], "Cannot create file " + file.string() + ".");
    EXPECT_TRUE(wb().state.unsavedChanges);
    // Nothing is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(SourceFilesTest, SavingThroughALinkReplacesTheFileItNamesAndKeepsItsMode) {
    const fs::path real = folder / "real.tn";
    writeBytes(real, "OLD\r\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, folder / "link.tn");
    openFile(folder / "link.tn");
    edit({"NEW"});
    wb().files.FileSaveExecute();
    EXPECT_TRUE(fs::is_symlink(folder / "link.tn"));
    EXPECT_EQ(readBytes(real), "NEW\r\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(SourceFilesTest, ARefusedCloseStillWritesThePortFile) {
    edit({"A"});
    wb().state.openPort = 4;
    bench->notices.answers.push_back(Answer::Cancel);
    EXPECT_FALSE(wb().files.FormCloseQuery());
    EXPECT_EQ(readBytes(folder / "tnport"), "4");

    // Yes, then the save dialog cancelled: refused as well, port file written.
    fs::remove(folder / "tnport");
    wb().state.openPort = 6;
    bench->notices.answers.push_back(Answer::Yes);
    EXPECT_FALSE(wb().files.FormCloseQuery());
    EXPECT_EQ(readBytes(folder / "tnport"), "6");

    bench->notices.answers.push_back(Answer::No);
    EXPECT_TRUE(wb().files.FormCloseQuery());
}

TEST_F(SourceFilesTest, WhileRunningNewOpenAndExitRefuseButSaveWorks) {
    const fs::path file = folder / "axis.tn";
    writeBytes(file, "X\r\n");
    openFile(file);
    edit({"Y"});
    wb().state.detected = true;
    wb().state.running = true;

    wb().files.FileNewExecute();
    wb().files.FileOpenExecute();
    wb().files.FileExitExecute();
    EXPECT_EQ(bench->notices.notices,
              (std::vector<std::string>{"Must Stop Travin Before Sending New", "Must Stop Travin Before Sending Open",
                                        "Must Stop Travin Before Sending Exit"}));
    EXPECT_TRUE(bench->notices.questions.empty());
    EXPECT_EQ(bench->desktop.closeRequests, 0);
    EXPECT_EQ(bench->listing.text, std::vector<std::string>{"Y"});

    wb().files.FileSaveExecute();
    EXPECT_EQ(readBytes(file), "Y\r\n");

    wb().state.running = false;
    wb().files.FileExitExecute();
    EXPECT_EQ(bench->desktop.closeRequests, 1);
}

}  // namespace

namespace {

// `travin FILE`: the file named on the command line is opened as Open opens
// it, before anything else happened in the listing.
struct StartUpFile {
    const char* name;
    const char* kind;   // "file", "folder" (cannot be read), "missing"
    bool opens;
};

void PrintTo(const StartUpFile& c, std::ostream* os) { *os << c.name; }

class StartUpFileTest : public ::testing::TestWithParam<StartUpFile> {};

TEST_P(StartUpFileTest, OpensAsOpenDoesOrShowsOpensErrorOverTheEmptyListing) {
    const fs::path folder = travin::testing::freshTestFolder("travin-files");
    const fs::path path = folder / "start.tn";
    if (std::string(GetParam().kind) == "file") writeBytes(path, "10 PRINT 1\r\n20 END\r\n");
    if (std::string(GetParam().kind) == "folder") fs::create_directories(path);
    FakeBench bench(folder.string() + "/");
    bench.wb->files.OpenFile(path.string());
    if (GetParam().opens) {
        EXPECT_EQ(bench.listing.text, (std::vector<std::string>{"10 PRINT 1", "20 END", ""}));
        EXPECT_EQ(bench.wb->state.fileName, path.string());
        EXPECT_TRUE(bench.notices.errorBoxes.empty());
        EXPECT_TRUE(bench.wb->state.downloadNeeded);
    } else {
        ASSERT_EQ(bench.notices.errorBoxes.size(), 1u);
        EXPECT_EQ(bench.notices.errorBoxes[0].rfind("Cannot open file " + path.string() + ".", 0), 0u)
            << bench.notices.errorBoxes[0];
        EXPECT_TRUE(bench.listing.text.empty() ||
                    bench.listing.text == std::vector<std::string>{""});
        EXPECT_NE(bench.wb->state.fileName, path.string());
    }
    fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(CommandLine, StartUpFileTest,
                         ::testing::Values(StartUpFile{"Readable", "file", true},
                                           StartUpFile{"Unreadable", "folder", false},
                                           StartUpFile{"Missing", "missing", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
