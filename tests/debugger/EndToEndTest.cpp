// Program control against the virtual board over a real pseudo-terminal,
// read back from the board's record of the wire.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "BoardBench.h"
#include "debugger/ProgramImage.h"
#include "link/CommandTable.h"

namespace travin {
namespace {

using testing::BoardBench;
namespace cmd = command;

std::vector<std::uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

std::vector<int> downloadOrder(std::size_t pages, int last) {
    std::vector<int> order{cmd::ResetProgram, cmd::GetVariables, cmd::ChangeBaud, cmd::GetStatus};
    order.insert(order.end(), pages, cmd::DownloadBlock);
    for (int c : {int{cmd::ChangeBaud}, int{cmd::GetStatus}, int{cmd::SetBreakpoints}, last}) order.push_back(c);
    return order;
}

std::uint32_t u32(const std::vector<std::uint8_t>& p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

class Execution : public BoardBench {};

// An edit typed just before Run or Single Step, before any monitor tick saw
// it, still counts: the board gets the listing as it stands, never the
// program that was there before.
TEST_F(Execution, AnEditNoTickHasSeenYetIsDownloadedBeforeRunAndStep) {
    listing().setLines({"print \"old\"", "end"});
    state().downloadNeeded = true;
    wb().execution.DebuggerRunExecute();
    ASSERT_TRUE(tickUntilStopped());
    ASSERT_FALSE(state().downloadNeeded);
    for (const bool step : {false, true}) {
        const std::vector<std::string> edited{step ? "print \"stepped\"" : "print \"new\"", "end"};
        listing().setLines(edited);
        listing().setModified(true);  // as the pane marks a keystroke
        forget();
        if (step) wb().execution.DebuggerSingleStepExecute();
        else wb().execution.DebuggerRunExecute();
        EXPECT_EQ(board->program(), streamOf(edited)) << (step ? "step" : "run");
        EXPECT_FALSE(exchangesOf(cmd::DownloadBlock).empty()) << (step ? "step" : "run");
        ASSERT_TRUE(tickUntilStopped());
    }
}

TEST_F(Execution, RunDownloadsFirstThenOnlyBreakpointsAndRun) {
    const std::vector<std::string> program{"A = 1", "print \"ran\"", "end"};
    listing().setLines(program);
    state().downloadNeeded = true;

    wb().execution.DebuggerRunExecute();
    EXPECT_EQ(codes(), downloadOrder(1, cmd::RunProgram));
    const auto bauds = exchangesOf(cmd::ChangeBaud);
    ASSERT_EQ(bauds.size(), 2u);
    EXPECT_EQ(u32(bauds[0].payload), 115200u);
    EXPECT_EQ(u32(bauds[1].payload), 19200u);
    for (const auto& page : exchangesOf(cmd::DownloadBlock)) EXPECT_EQ(page.baud, 115200u);
    for (const auto& e : exchangesOf(cmd::SetBreakpoints)) EXPECT_EQ(e.baud, 19200u);
    EXPECT_EQ(board->record().noiseBytes(), 0u);
    EXPECT_EQ(exchangesOf(cmd::RunProgram).at(0).payload, bytes("Run Comm"));
    EXPECT_EQ(exchangesOf(cmd::ResetProgram).at(0).payload, bytes("Reset Co"));
    EXPECT_EQ(board->program(), streamOf(program));
    EXPECT_FALSE(state().downloadNeeded);
    EXPECT_NE(consoleText().find("Downloading....Done\r"), std::string::npos) << consoleText();

    ASSERT_TRUE(tickUntilStopped());
    EXPECT_NE(consoleText().find("ran"), std::string::npos);
    forget();
    wb().execution.DebuggerRunExecute();
    EXPECT_EQ(codes(), (std::vector<int>{cmd::SetBreakpoints, cmd::RunProgram}));

    ASSERT_TRUE(tickUntilStopped());
    forget();
    const auto colours = listing().colours;
    wb().execution.DebuggerSingleStepExecute();
    EXPECT_EQ(codes(), (std::vector<int>{cmd::StepProgram}));
    EXPECT_EQ(exchanges().at(0).payload, bytes("Step Com"));
    EXPECT_EQ(listing().colours, colours) << "a step leaves the colours until the board stops";
}

TEST_F(Execution, SingleStepWithDownloadNeededStepsInsteadOfRunning) {
    listing().setLines({"print \"one\"", "print \"two\"", "print \"three\""});
    state().downloadNeeded = true;
    wb().execution.DebuggerSingleStepExecute();
    EXPECT_EQ(codes(), downloadOrder(1, cmd::StepProgram));
    ASSERT_TRUE(tickUntilStopped());
    EXPECT_EQ(board->position(), listing().lineStart(1));
    EXPECT_EQ(listing().lineColour(1), kBlue);
    EXPECT_EQ(listing().lineColour(0), listing().defaultColour);
}

// A board that runs its program slowly enough to be caught running.
class SlowBoard : public BoardBench {
protected:
    SlowBoard() { options.linesPerSecond = 20; }
    void runLongProgram() {
        listing().setLines(std::vector<std::string>(400, "A = 1"));
        state().downloadNeeded = true;
        wb().execution.DebuggerRunExecute();
        ASSERT_TRUE(state().running);
        forget();
    }
};

TEST_F(SlowBoard, StopWorksWhileRunningAndResetIsRefusedThen) {
    runLongProgram();
    wb().execution.DebuggerResetExecute();
    EXPECT_EQ(notices().notices, (std::vector<std::string>{"Must Stop Travin Before Sending Reset"}));
    EXPECT_TRUE(codes().empty());
    wb().execution.DebuggerStopExecute();
    // The stop shows at once: the reply reports it, and the variables follow.
    EXPECT_EQ(codes(), (std::vector<int>{cmd::StopProgram, cmd::GetVariables}));
    EXPECT_EQ(exchanges().at(0).payload, bytes("Stop Com"));
    EXPECT_FALSE(state().running);
    EXPECT_FALSE(board->running());
    const int line = lineAtPosition(lineStarts(listing().text), board->position());
    EXPECT_EQ(listing().lineColour(line), kBlue);
}

// A line paced as a real one, so that a download can be cut in the middle.
class PacedLine : public BoardBench {
protected:
    PacedLine() { options.pace = true; }
};

TEST_F(PacedLine, HangUpDuringDownloadStopsRunBeforeItsCommand) {
    listing().setLines(std::vector<std::string>(100, std::string(60, 'h')));   // 49 pages
    state().downloadNeeded = true;
    std::thread unplug([this] {
        // Reset, variables, speed change, status and a few pages.
        board->record().waitForExchanges(8, std::chrono::seconds(10));
        board->hangUp();
    });
    wb().execution.DebuggerRunExecute();
    unplug.join();
    EXPECT_FALSE(state().detected);
    EXPECT_TRUE(state().downloadNeeded);
    EXPECT_NE(consoleText().find("Download Failed\r"), std::string::npos) << consoleText();
    EXPECT_EQ(consoleText().find("Done"), std::string::npos);
    EXPECT_TRUE(exchangesOf(cmd::RunProgram).empty());
    EXPECT_LT(exchangesOf(cmd::DownloadBlock).size(), 49u);
}

// --- Pages --------------------------------------------------------------------

struct PageCase {
    const char* name;
    std::vector<std::string> lines;
    std::size_t pages;
    const char* progress;   // the console's download line
};

class Pages : public BoardBench, public ::testing::WithParamInterface<PageCase> {};

TEST_P(Pages, StoredAsTheListingWithProgressDots) {
    const auto& c = GetParam();
    listing().setLines(c.lines);
    wb().download.DebuggerDownloadExecute();
    const auto pages = exchangesOf(cmd::DownloadBlock);
    ASSERT_EQ(pages.size(), c.pages);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        ASSERT_EQ(pages[i].payload.size(), 130u);
        EXPECT_EQ(pages[i].payload[0] | pages[i].payload[1] << 8, static_cast<int>(i));
        EXPECT_EQ(pages[i].baud, 115200u);
    }
    const std::string stream = streamOf(c.lines);
    const auto area = board->programArea();
    EXPECT_EQ(std::string(area.begin(), area.begin() + static_cast<long>(stream.size())), stream);
    // The padded last page leaves zeros after the program.
    const std::size_t written = 128 * pages.size();
    EXPECT_TRUE(std::all_of(area.begin() + static_cast<long>(stream.size()), area.begin() + static_cast<long>(written),
                            [](std::uint8_t b) { return b == 0; }));
    std::vector<int> tail{cmd::ChangeBaud, cmd::GetStatus, cmd::SetBreakpoints};
    const auto all = codes();
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(std::vector<int>(all.end() - 3, all.end()), tail);
    EXPECT_EQ(wb().console.lines().at(0), std::string(" ") + c.progress + "\r");
    EXPECT_FALSE(state().downloadNeeded);
}

std::vector<std::string> repeat(int count, int length) { return std::vector<std::string>(count, std::string(length, 'p')); }

INSTANTIATE_TEST_SUITE_P(
    Download, Pages,
    ::testing::Values(PageCase{"ThreeCharacters", {"abc"}, 1, "Downloading....Done"},
                      PageCase{"Stream130", repeat(2, 63), 2, "Downloading....Done"},
                      PageCase{"StreamMultipleOf128", repeat(4, 62), 3, "Downloading....Done"},
                      PageCase{"EmptyListing", {}, 0, "Downloading....Done"},
                      PageCase{"EightFullPages", repeat(16, 62), 9, "Downloading......Done"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoardBench, OneLineOfThreeCharactersIsExactlyOnePage) {
    listing().setLines({"abc"});
    wb().download.DebuggerDownloadExecute();
    const auto pages = exchangesOf(cmd::DownloadBlock);
    ASSERT_EQ(pages.size(), 1u);
    std::vector<std::uint8_t> expected(130, 0);
    const std::uint8_t head[] = {0, 0, 'a', 'b', 'c', '\r', '\n'};
    std::copy(std::begin(head), std::end(head), expected.begin());
    EXPECT_EQ(pages[0].payload, expected);
    EXPECT_EQ(exchangesOf(cmd::SetBreakpoints).at(0).payload, std::vector<std::uint8_t>(6, 0xFF));
}

// --- Limits -------------------------------------------------------------------

struct LimitCase {
    const char* name;
    std::vector<std::string> lines;
    const char* message;   // nullptr: passes and downloads
    int markedLine;
};

std::vector<std::string> withLine(std::vector<std::string> lines, std::size_t at, std::string line) {
    lines[at] = std::move(line);
    return lines;
}

std::vector<std::string> ofSize(int extra) {
    // 371 lines of 78 and one of 12: 2 + 371 * 80 + 14 = 29696.
    auto l = repeat(371, 78);
    l.push_back(std::string(12 + extra, 's'));
    return l;
}

class Limits : public BoardBench, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(Limits, RefusedWithMarkOrDownloaded) {
    const auto& c = GetParam();
    listing().setLines(c.lines);
    wb().download.DebuggerDownloadExecute();
    if (!c.message) {
        EXPECT_EQ(board->program(), streamOf(c.lines));
        EXPECT_NE(consoleText().find("Done\r"), std::string::npos);
        return;
    }
    EXPECT_TRUE(codes().empty()) << "a refused listing sends nothing";
    EXPECT_NE(consoleText().find(c.message), std::string::npos) << consoleText();
    EXPECT_EQ(listing().lineColour(c.markedLine), kBlue);
    EXPECT_EQ(listing().selStart, listing().lineStart(c.markedLine));
    if (c.markedLine > 0) {
        EXPECT_EQ(listing().lineColour(c.markedLine - 1), listing().defaultColour);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Download, Limits,
    ::testing::Values(
        LimitCase{"Line80", withLine(repeat(5, 10), 2, std::string(80, 'w')), nullptr, 0},
        LimitCase{"Line81", withLine(repeat(5, 10), 2, std::string(81, 'w')), "Line excedes maximum length\n", 2},
        LimitCase{"Lines8192", repeat(8192, 1), nullptr, 0},
        LimitCase{"Lines8193", repeat(8193, 1), "Line excedes maximum number of lines\n", 8192},
        LimitCase{"Size29696", ofSize(0), nullptr, 0},
        LimitCase{"Size29697", ofSize(1), "Program too large (Program Size = 29697, Maximum Size = 29696)\n", 371}),
    [](const auto& info) { return std::string(info.param.name); });

// --- A debugging session --------------------------------------------------------

TEST_F(BoardBench, BreakpointStepSetVariableAndRunToTheEnd) {
    const std::vector<std::string> program{
        "print \"start\"",   // 0
        "print \"one\"",     // 1
        "print \"two\"",     // 2
        "print \"mid\"",     // 3  breakpoint
        "print \"four\"",    // 4
        "print \"last\"",    // 5
        "end",               // 6
    };
    listing().setLines(program);
    listing().setSelection(listing().lineStart(3) + 2, 0);
    wb().breakpoints.DebuggerSetBreakpointExecute();
    ASSERT_EQ(state().breakpoints[0], 3);
    state().downloadNeeded = true;

    wb().execution.DebuggerRunExecute();
    EXPECT_EQ(exchangesOf(cmd::SetBreakpoints).at(0).payload,
              (std::vector<std::uint8_t>{static_cast<std::uint8_t>(listing().lineStart(3)), 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    ASSERT_TRUE(tickUntilStopped());
    EXPECT_EQ(board->position(), listing().lineStart(3));
    EXPECT_EQ(listing().lineColour(3), kMagenta);
    EXPECT_EQ(listing().selStart, listing().lineStart(3));
    ticks(2);   // printed bytes reach the pane on the ticks after the stop
    EXPECT_NE(consoleText().find("two"), std::string::npos) << consoleText();
    EXPECT_EQ(consoleText().find("mid"), std::string::npos);

    // The pane follows the next stop: a value the board changed meanwhile.
    board->setVariable(1, 11);
    wb().execution.DebuggerSingleStepExecute();
    ASSERT_TRUE(tickUntilStopped());
    ticks(2);
    EXPECT_NE(consoleText().find("mid"), std::string::npos);
    EXPECT_EQ(fake->main.variableRows.at(1), "B: 11");
    EXPECT_EQ(listing().lineColour(4), kBlue);
    EXPECT_EQ(listing().lineColour(3), kRed);
    EXPECT_EQ(listing().selStart, listing().lineStart(4));

    forget();
    board->setVariable(0, 10);
    notices().inputAnswers = {std::string("-5")};
    wb().variables.EditVariable(0);
    ASSERT_EQ(notices().inputs.size(), 1u);
    EXPECT_EQ(notices().inputs[0].initial, "0") << "the value box opens with the last refresh";
    EXPECT_EQ(codes(), (std::vector<int>{cmd::SetVariable, cmd::GetVariables}));
    EXPECT_EQ(exchanges().at(0).payload, (std::vector<std::uint8_t>{0, 0xFB, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(board->variables()[0], -5);
    EXPECT_EQ(fake->main.variableRows.at(0), "A:-5");
    EXPECT_EQ(listing().lineColour(4), kBlue) << "setting a variable does not move the mark";

    wb().execution.DebuggerRunExecute();
    ASSERT_TRUE(tickUntilStopped());
    ticks(2);
    EXPECT_NE(consoleText().find("last"), std::string::npos);
    EXPECT_EQ(fake->main.variableRows.at(0), "A:-5");
    EXPECT_EQ(listing().lineColour(6), kBlue);
    EXPECT_EQ(listing().lineColour(3), kRed);

    // Reset: the board's values, no executing mark, breakpoints kept.
    wb().execution.DebuggerResetExecute();
    EXPECT_EQ(fake->main.variableRows.at(0), "A: 0");
    EXPECT_EQ(listing().lineColour(6), listing().defaultColour);
    EXPECT_EQ(listing().lineColour(3), kRed);
}

// --- Breakpoints -----------------------------------------------------------------

TEST_F(BoardBench, BreakpointSlotsOnTheWireAndAnEditClearsThem) {
    listing().setLines(std::vector<std::string>(25, "A = 1"));   // line n starts at 7n
    auto breakAt = [&](int line) {
        listing().setSelection(listing().lineStart(line), 0);
        wb().breakpoints.DebuggerSetBreakpointExecute();
    };
    for (int line : {5, 9, 12, 9, 20}) breakAt(line);
    breakAt(7);
    EXPECT_EQ(notices().notices, (std::vector<std::string>{"Allowed number of breakpoints exceded"}));
    EXPECT_TRUE(codes().empty()) << "Break itself sends nothing";

    wb().download.DebuggerDownloadExecute();
    EXPECT_EQ(exchangesOf(cmd::SetBreakpoints).at(0).payload,
              (std::vector<std::uint8_t>{35, 0, 140, 0, 84, 0}));
    EXPECT_EQ(board->breakpoints(), (std::array<std::uint16_t, 3>{35, 140, 84}));
    listing().modifiedMark = false;

    // Colouring is not an edit: a tick keeps the breakpoints.
    ticks(1);
    EXPECT_EQ(state().breakpoints, (std::array<std::uint16_t, 3>{5, 20, 12}));
    EXPECT_FALSE(state().downloadNeeded);

    listing().setSelection(listing().lineStart(1), 0);
    listing().replaceSelection("B");
    // The edit above reset the fake's colours; paint the marks again.
    wb().breakpoints.PaintBreakpoints();
    listing().modifiedMark = true;
    ticks(1);
    EXPECT_EQ(state().breakpoints, (std::array<std::uint16_t, 3>{kEmptySlot, kEmptySlot, kEmptySlot}));
    for (int line : {5, 12, 20}) EXPECT_EQ(listing().lineColour(line), listing().defaultColour);
    EXPECT_TRUE(state().downloadNeeded);
}

// --- Upload and erase -------------------------------------------------------------

class Memory : public BoardBench {
protected:
    void upload() {
        notices().answers = {Answer::Yes};
        wb().memory.UploadMenuClick();
    }
    // Writes the whole program area with `byte` between line breaks and no
    // zero anywhere, page by page at the normal rate.
    void fillAreaWithoutZero() {
        for (int page = 0; page < 232; ++page) {
            std::uint8_t p[130];
            p[0] = static_cast<std::uint8_t>(page & 0xFF);
            p[1] = static_cast<std::uint8_t>(page >> 8);
            for (int i = 0; i < 128; ++i) p[2 + i] = (i % 32 == 30) ? '\r' : (i % 32 == 31) ? '\n' : 'a' + (page % 26);
            wb().link.SendCommand(cmd::DownloadBlock, p, 130);
            ASSERT_TRUE(state().detected);
        }
    }
};

TEST_F(Memory, UploadOfAProgramEndingInBlockZero) {
    ASSERT_TRUE(board->storeSource("print 1\nA = 2\n"));
    listing().setLines({"old"});
    listing().modifiedMark = false;
    state().fileName = "/somewhere/old.tn";
    state().breakpoints = {0, kEmptySlot, kEmptySlot};
    upload();
    ASSERT_EQ(notices().questions.size(), 1u);
    EXPECT_EQ(notices().questions[0].title, " ");
    EXPECT_EQ(notices().questions[0].text, "Upload Travin Program from EEPROM to screen?");
    EXPECT_EQ(wb().console.lines().at(0), " Uploading.....Done\r");
    EXPECT_EQ(codes(), (std::vector<int>{cmd::ChangeBaud, cmd::GetStatus, cmd::UploadBlock, cmd::ChangeBaud,
                                         cmd::GetStatus}));
    EXPECT_EQ(exchangesOf(cmd::UploadBlock).at(0).baud, 115200u);
    // The whole stored text, its final line break included.
    EXPECT_EQ(listing().joined(), "print 1\r\nA = 2\r\n");
    EXPECT_EQ(state().fileName, "Untitled.txt");
    EXPECT_EQ(fake->main.status, "Untitled.txt");
    EXPECT_EQ(state().breakpoints, (std::array<std::uint16_t, 3>{kEmptySlot, kEmptySlot, kEmptySlot}));
    EXPECT_TRUE(listing().modifiedMark);
    state().downloadNeeded = false;
    ticks(1);
    EXPECT_TRUE(state().unsavedChanges);
    EXPECT_TRUE(state().downloadNeeded);
}

TEST_F(Memory, UploadOfAStreamThatIsAMultipleOf128) {
    const std::vector<std::string> program{std::string(62, 'm'), std::string(62, 'n')};
    listing().setLines(program);
    wb().download.DebuggerDownloadExecute();
    forget();
    upload();
    const auto blocks = exchangesOf(cmd::UploadBlock);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[1].payload, (std::vector<std::uint8_t>{1, 0}));
    EXPECT_EQ(listing().joined(), streamOf(program));
    EXPECT_EQ(wb().console.lines().at(0), " Uploading.....Done\r");
}

TEST_F(Memory, UploadWithoutAnyZeroReadsAll232Blocks) {
    fillAreaWithoutZero();
    forget();
    upload();
    const auto blocks = exchangesOf(cmd::UploadBlock);
    ASSERT_EQ(blocks.size(), 232u);
    EXPECT_EQ(blocks.back().payload, (std::vector<std::uint8_t>{231, 0}));
    EXPECT_EQ(wb().console.lines().at(0), " Uploading...." + std::string(58, '.') + "Done\r");
    // 29696 bytes, ending in a line break: 928 lines and the empty rest.
    ASSERT_EQ(listing().text.size(), 232u * 4 + 1);
    EXPECT_EQ(listing().joined().size(), 29696u);
    EXPECT_EQ(listing().text.front(), std::string(30, 'a'));
    EXPECT_EQ(listing().text.at(232 * 4 - 1), std::string(30, 'a' + 231 % 26));
    EXPECT_EQ(listing().text.back(), "");
}

// A board whose line is paced as a real one, so that a transfer lasts long
// enough to be cut in the middle.
class PacedMemory : public Memory {
protected:
    PacedMemory() { options.pace = true; }
};

TEST_F(PacedMemory, HangUpDuringUploadLeavesTheListingAsItWas) {
    // 40 lines of 78: 3200 bytes, 25 blocks.
    std::string source;
    for (int i = 0; i < 40; ++i) source += std::string(78, 'q') + "\n";
    ASSERT_TRUE(board->storeSource(source));
    const std::vector<std::string> mine{"my program", "second line"};
    listing().setLines(mine);
    listing().modifiedMark = false;
    state().fileName = "/work/mine.tn";
    fake->main.status = "/work/mine.tn";
    state().breakpoints = {1, kEmptySlot, kEmptySlot};
    listing().setSelection(listing().lineStart(1), 0);
    listing().setSelectionColor(kRed);
    const auto colours = listing().colours;

    std::thread unplug([this] {
        // ChangeBaud, GetStatus and three blocks, then the line goes.
        board->record().waitForExchanges(5, std::chrono::seconds(10));
        board->hangUp();
    });
    upload();
    unplug.join();

    const auto blocks = exchangesOf(cmd::UploadBlock).size();
    EXPECT_GE(blocks, 3u);
    EXPECT_LT(blocks, 25u);
    EXPECT_FALSE(state().detected);
    EXPECT_NE(consoleText().find("Upload Failed\r"), std::string::npos) << consoleText();
    EXPECT_EQ(consoleText().find("Done"), std::string::npos);
    EXPECT_EQ(listing().text, mine);
    EXPECT_EQ(listing().colours, colours);
    EXPECT_FALSE(listing().modifiedMark);
    EXPECT_EQ(state().fileName, "/work/mine.tn");
    EXPECT_EQ(fake->main.status, "/work/mine.tn");
    EXPECT_EQ(state().breakpoints[0], 1);
    ASSERT_GE(notices().notices.size(), 2u);
    EXPECT_EQ(notices().notices.back(), "Power Cycle Target, then Press OK to Reestablish Communications");
}

TEST_F(Memory, DownloadThenUploadGivesBackTheSameText) {
    // Empty lines at the end are lines of the program too.
    const std::vector<std::string> program{"' a comment \xE9\xFF", "\tA = 1", "", "print \"x\"\t' tab", "end", "", ""};
    listing().setLines(program);
    wb().download.DebuggerDownloadExecute();
    listing().setLines({"something else"});
    upload();
    EXPECT_EQ(listing().joined(), streamOf(program));
}

// A lone CR or LF inside a stored line cannot live in the listing pane,
// which breaks its line there; the upload names those lines instead of
// letting the next download change the program silently.
TEST_F(Memory, UploadNamesTheLinesThatHoldALoneCrOrLf) {
    const std::string stored = "A = 1\rB = 2\r\nprint A\r\nC\nD\r\nend\r\n";
    std::uint8_t page[130] = {0, 0};
    std::copy(stored.begin(), stored.end(), page + 2);
    wb().link.SendCommand(cmd::DownloadBlock, page, 130);
    ASSERT_TRUE(state().detected);
    upload();
    EXPECT_EQ(listing().joined(), stored);
    ASSERT_FALSE(notices().notices.empty());
    EXPECT_EQ(notices().notices.back(),
              "Lines 1, 3 of the board's program hold a lone CR or LF. The listing shows it as a new line; "
              "the next Download stores CR LF there.");

    // A program of CR LF line breaks only: no notice.
    const auto before = notices().notices.size();
    ASSERT_TRUE(board->storeSource("print 1\nend\n"));
    upload();
    EXPECT_EQ(notices().notices.size(), before);
}

TEST_F(Memory, EraseAsksThenErasesAndLeavesTheListing) {
    ASSERT_TRUE(board->storeSource("print 1\n"));
    listing().setLines({"kept"});
    state().downloadNeeded = false;
    notices().answers = {Answer::Yes};
    fake->timer.on = true;
    wb().memory.EraseMemoryMenuClick();
    EXPECT_EQ(notices().questions.at(0).title, " ");
    EXPECT_EQ(notices().questions.at(0).text, "Erase Travin Program from EEPROM?");
    EXPECT_EQ(codes(), (std::vector<int>{cmd::EraseProgram}));
    EXPECT_EQ(exchanges().at(0).payload.size(), 0u);
    EXPECT_EQ(board->program(), "");
    EXPECT_EQ(wb().console.lines().at(0), " Erasing EEPROM....Done\r");
    EXPECT_TRUE(fake->timer.on);
    EXPECT_EQ(listing().text, (std::vector<std::string>{"kept"}));
    // The board no longer holds the listing's program.
    EXPECT_TRUE(state().downloadNeeded);

    forget();
    notices().answers = {Answer::No};
    wb().memory.EraseButtonClick();
    EXPECT_EQ(notices().questions.size(), 1u);
    EXPECT_TRUE(codes().empty());
}

TEST_F(Memory, RunAfterEraseDownloadsFirst) {
    listing().setLines({"print \"after\""});
    wb().download.DebuggerDownloadExecute();
    ASSERT_FALSE(state().downloadNeeded);
    notices().answers = {Answer::Yes};
    wb().memory.EraseMemoryMenuClick();
    ASSERT_EQ(board->program(), "");
    forget();
    wb().execution.DebuggerRunExecute();
    EXPECT_FALSE(exchangesOf(cmd::DownloadBlock).empty()) << "Run started the erased memory";
    EXPECT_EQ(board->program(), "print \"after\"\r\n");
    ASSERT_TRUE(tickUntilStopped());
    EXPECT_NE(consoleText().find("after"), std::string::npos) << consoleText();
}

TEST_F(Memory, ShortUploadReplyFailsAndTheListingKeepsItsText) {
    ASSERT_TRUE(board->storeSource("print the variables\n"));
    listing().setLines({"mine"});
    listing().modifiedMark = false;
    board->injectShortReply(5);
    upload();
    EXPECT_NE(consoleText().find("Upload Failed\r"), std::string::npos) << consoleText();
    EXPECT_EQ(consoleText().find("Done"), std::string::npos) << consoleText();
    EXPECT_EQ(listing().text, (std::vector<std::string>{"mine"}));
    EXPECT_FALSE(listing().modifiedMark);
    ASSERT_GE(notices().notices.size(), 2u);
    EXPECT_EQ(notices().notices[0], "Serial Communications Error (reply length error)");
}

// --- Start-up time -----------------------------------------------------------------

struct StartupCase {
    const char* name;
    std::optional<std::string> answer;
    int sent;   // -1: nothing sent
};

class StartupTime : public BoardBench, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(StartupTime, ClampedAndBlockPassedBack) {
    std::array<std::uint8_t, 24> block{};
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(0xA0 + i);
    block[0] = 12;   // outside 1..7: shown as it is
    board->setStartupBlock(block);
    notices().inputAnswers = {GetParam().answer};
    wb().memory.StartupTimeMenuClick();

    ASSERT_EQ(notices().inputs.size(), 1u);
    EXPECT_EQ(notices().inputs[0].caption, "Startup Time Dialog Box");
    EXPECT_EQ(notices().inputs[0].prompt, "Enter New Startup Time (1-7 seconds)");
    EXPECT_EQ(notices().inputs[0].initial, "12");
    if (GetParam().sent < 0) {
        EXPECT_EQ(codes(), (std::vector<int>{cmd::GetStartupTime}));
        EXPECT_EQ(notices().notices, (std::vector<std::string>{"Startup Time Not Changed"}));
        EXPECT_EQ(board->startupBlock(), block);
        return;
    }
    EXPECT_EQ(codes(), (std::vector<int>{cmd::GetStartupTime, cmd::SetStartupTime}));
    auto expected = block;
    expected[0] = static_cast<std::uint8_t>(GetParam().sent);
    EXPECT_EQ(exchangesOf(cmd::SetStartupTime).at(0).payload, std::vector<std::uint8_t>(expected.begin(), expected.end()));
    EXPECT_EQ(board->startupBlock(), expected);
    EXPECT_EQ(notices().notices, (std::vector<std::string>{"Startup Time Set to " + std::to_string(GetParam().sent)}));
}

INSTANTIATE_TEST_SUITE_P(
    Memory, StartupTime,
    ::testing::Values(StartupCase{"Zero", "0", 1}, StartupCase{"Negative", "-3", 1}, StartupCase{"Nine", "9", 7},
                      StartupCase{"ThreeAndText", "3abc", 3}, StartupCase{"Five", " 5", 5},
                      StartupCase{"Empty", "", -1}, StartupCase{"Letters", "abc", -1},
                      StartupCase{"Cancelled", std::nullopt, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoardBench, StartupTimeDefaultIsSigned) {
    std::array<std::uint8_t, 24> block{};
    block[0] = 0xF6;
    board->setStartupBlock(block);
    wb().memory.StartupTimeMenuClick();
    ASSERT_EQ(notices().inputs.size(), 1u);
    EXPECT_EQ(notices().inputs[0].initial, "-10");
}

// --- A line that is gone ----------------------------------------------------------

struct FailureCase {
    const char* name;
    std::function<void(Workbench&, testing::FakeNotices&)> action;
    const char* line;   // the operation's own console line; nullptr: none
};

class LineGone : public BoardBench, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(LineGone, TheFailedExchangeEndsInItsConsoleLine) {
    listing().setLines({"print 1", "end"});
    state().downloadNeeded = false;
    board->hangUp();
    GetParam().action(wb(), notices());

    EXPECT_FALSE(state().detected);
    // The link's two boxes come last (the driver may have reported first).
    const auto& boxes = notices().notices;
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[boxes.size() - 2].rfind("Serial Communications Error (", 0), 0u) << boxes[boxes.size() - 2];
    EXPECT_EQ(boxes.back(), "Power Cycle Target, then Press OK to Reestablish Communications");
    const std::string shown = consoleText();
    if (GetParam().line) {
        EXPECT_NE(shown.find(std::string(GetParam().line) + "\r\n"), std::string::npos) << shown;
    } else {
        EXPECT_EQ(shown.find("Failed"), std::string::npos) << shown;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, LineGone,
    ::testing::Values(
        FailureCase{"Stop", [](Workbench& w, testing::FakeNotices&) { w.execution.DebuggerStopExecute(); }, "Stop Failed"},
        FailureCase{"Reset", [](Workbench& w, testing::FakeNotices&) { w.execution.DebuggerResetExecute(); }, "Reset Failed"},
        FailureCase{"Step", [](Workbench& w, testing::FakeNotices&) { w.execution.DebuggerSingleStepExecute(); }, "Single Step Failed"},
        FailureCase{"RunBreakpoints", [](Workbench& w, testing::FakeNotices&) { w.execution.DebuggerRunExecute(); }, "Set Breakpoint Failed"},
        FailureCase{"Download", [](Workbench& w, testing::FakeNotices&) { w.download.DebuggerDownloadExecute(); }, "Downloading....Download Failed"},
        FailureCase{"Upload",
                    [](Workbench& w, testing::FakeNotices& n) {
                        n.answers = {Answer::Yes};
                        w.memory.UploadMenuClick();
                    },
                    "Uploading....Upload Failed"},
        FailureCase{"Erase",
                    [](Workbench& w, testing::FakeNotices& n) {
                        n.answers = {Answer::Yes};
                        w.memory.EraseButtonClick();
                    },
                    "Erasing EEPROM....Erase Failed"},
        FailureCase{"StartupTime", [](Workbench& w, testing::FakeNotices&) { w.memory.StartupTimeMenuClick(); }, "Set Startup Time Failed"},
        FailureCase{"SetVariable",
                    [](Workbench& w, testing::FakeNotices& n) {
                        n.inputAnswers = {std::string("5")};
                        w.variables.EditVariable(1);
                    },
                    "Set Variable Failed"},
        FailureCase{"Refresh", [](Workbench& w, testing::FakeNotices&) { w.variables.RefreshVariables(); }, "Refresh Variables Failed"},
        FailureCase{"SendCharacter",
                    [](Workbench& w, testing::FakeNotices& n) {
                        n.inputAnswers = {std::string("x")};
                        w.state.running = true;  // the only time the button is offered
                        w.input.DebuggerSendCharacterExecute();
                    },
                    "Send Character Failed"},
        FailureCase{"SendAci", [](Workbench& w, testing::FakeNotices&) { w.input.SendACIExecute(); }, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// The monitor goes on polling while a value box is open; when the board is
// lost then, the box's answer is not sent into the closed port.
struct LostInBoxCase {
    const char* name;
    std::function<void(Workbench&)> action;
    int code;           // the command that must not follow the box
    const char* line;   // the operation's console line
};

class LostWhileBoxOpen : public BoardBench, public ::testing::WithParamInterface<LostInBoxCase> {};

TEST_P(LostWhileBoxOpen, NothingIsSentAndTheLossIsReportedOnce) {
    notices().inputAnswers = {std::string("3")};
    notices().onInputBox = [this] {
        notices().onInputBox = nullptr;
        wb().link.LinkFailure("timeout");   // what a failed status poll ends in
    };
    GetParam().action(wb());

    EXPECT_EQ(notices().notices, (std::vector<std::string>{"Serial Communications Error (timeout)",
                                                           "Power Cycle Target, then Press OK to Reestablish Communications"}));
    EXPECT_TRUE(exchangesOf(GetParam().code).empty());
    EXPECT_NE(consoleText().find(std::string(GetParam().line) + "\r\n"), std::string::npos) << consoleText();
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, LostWhileBoxOpen,
    ::testing::Values(LostInBoxCase{"SetVariable", [](Workbench& w) { w.variables.EditVariable(1); }, cmd::SetVariable,
                                    "Set Variable Failed"},
                      LostInBoxCase{"StartupTime", [](Workbench& w) { w.memory.StartupTimeMenuClick(); },
                                    cmd::SetStartupTime, "Set Startup Time Failed"},
                      LostInBoxCase{"SendCharacter", [](Workbench& w) { w.input.DebuggerSendCharacterExecute(); },
                                    cmd::SendCharacter, "Send Character Failed"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoardBench, RunWhoseResetFailsStopsAtTheDownloadsCheck) {
    listing().setLines({"print 1"});
    state().downloadNeeded = true;
    board->hangUp();
    wb().execution.DebuggerRunExecute();
    const std::string shown = consoleText();
    EXPECT_NE(shown.find("Reset Failed\r\n"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Downloading"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Run Failed"), std::string::npos) << shown;
    const auto& boxes = notices().notices;
    ASSERT_GE(boxes.size(), 3u);
    EXPECT_EQ(boxes[boxes.size() - 2], "Power Cycle Target, then Press OK to Reestablish Communications");
    EXPECT_EQ(boxes.back(), "Travin not Detected (command not sent)");
    EXPECT_TRUE(state().downloadNeeded);
}

// --- Console input --------------------------------------------------------------------

TEST_F(SlowBoard, SendCharacterSendsOnlyTheFirstCharacter) {
    runLongProgram();
    notices().inputAnswers = {std::string("xyz"), std::string(" ")};
    wb().input.DebuggerSendCharacterExecute();
    wb().input.DebuggerSendCharacterExecute();
    const auto sent = exchangesOf(cmd::SendCharacter);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].payload, bytes("x"));
    EXPECT_EQ(sent[1].payload, (std::vector<std::uint8_t>{0x20}));
    EXPECT_EQ(board->pendingCharacters(), 2u);
    EXPECT_GT(listing().focusCount, 0);
    wb().execution.DebuggerStopExecute();
}

// The program ended while the box was open: the character is not left on
// the board for the next run.
TEST_F(BoardBench, SendCharacterAfterTheProgramEndedSendsNothing) {
    ASSERT_FALSE(state().running);
    notices().inputAnswers = {std::string("x")};
    wb().input.DebuggerSendCharacterExecute();
    EXPECT_TRUE(exchangesOf(cmd::SendCharacter).empty());
    EXPECT_EQ(board->pendingCharacters(), 0u);
    EXPECT_NE(consoleText().find("Send Character Failed\r\n"), std::string::npos) << consoleText();
}

TEST_F(BoardBench, SendAciSendsTheLineAsItIs) {
    const std::string full(39, 'k');
    const std::pair<std::string, std::string> cases[] = {{"", ""}, {"A = 5", "A = 5"}, {full, full},
                                                         {full + "overflow", full}};
    for (const auto& [line, wire] : cases) {
        forget();
        fake->main.aci = line;
        wb().input.ACIEditKeyPress('\r');
        ASSERT_EQ(codes(), (std::vector<int>{cmd::SendAci})) << line;
        EXPECT_EQ(exchanges().at(0).payload, bytes(wire));
    }
    forget();
    wb().input.SendACIExecute();
    EXPECT_EQ(codes(), (std::vector<int>{cmd::SendAci}));
}

}  // namespace
}  // namespace travin
