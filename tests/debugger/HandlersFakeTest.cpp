// Program control handlers over fake screens, in the paths that do not
// reach the wire: guards, refusals, the limit marks and the colouring.
#include <gtest/gtest.h>

#include "debugger/ProgramImage.h"
#include "tests/support/FakeScreens.h"

namespace travin {
namespace {

using testing::FakeBench;

std::string consoleText(Workbench& wb) {
    std::string all;
    for (const auto& l : wb.console.lines()) all += l + "|";
    return all;
}

struct Bench : ::testing::Test {
    FakeBench fb{"/nonexistent-travin-folder/"};
    Workbench& wb = *fb.wb;
    testing::FakeListing& listing = fb.listing;

    Bench() { wb.console.DebuggerClearWindowExecute(); }

    void stopped() {
        wb.state.detected = true;
        wb.state.running = false;
    }
    void numberedLines(int count) {
        std::vector<std::string> l;
        for (int i = 0; i < count; ++i) l.push_back("line " + std::to_string(i));
        listing.setLines(l);
    }
    // The colour of every position of a line's extent (text and break).
    bool lineIs(int line, Rgb colour) {
        const int end = line + 1 < listing.lineCount() ? listing.lineStart(line + 1) : listing.textLength();
        for (int p = listing.lineStart(line); p < end; ++p)
            if (!(listing.colourAt(p) == colour)) return false;
        return true;
    }
};

// --- Colouring ------------------------------------------------------------

class Colouring : public Bench, public ::testing::WithParamInterface<bool> {};

TEST_P(Colouring, PaintsExtentsAndKeepsModifiedMarkAndCaret) {
    numberedLines(6);
    listing.setSelectionColor(kBlue);   // stale colour somewhere
    listing.setSelection(9, 3);
    listing.setSelectionColor(kBlue);
    wb.state.breakpoints = {4, kEmptySlot, 1};
    listing.modifiedMark = GetParam();
    listing.setSelection(15, 4);

    wb.breakpoints.ResetListingColors();
    wb.breakpoints.PaintBreakpoints();

    for (int line = 0; line < 6; ++line)
        EXPECT_TRUE(lineIs(line, line == 1 || line == 4 ? kRed : listing.defaultColour)) << line;
    EXPECT_EQ(listing.modifiedMark, GetParam());
    EXPECT_EQ(listing.selStart, 15);
    EXPECT_EQ(listing.selLength, 0);

    wb.state.executingPosition = listing.lineStart(2) + 3;
    wb.breakpoints.MarkExecutingLine();
    EXPECT_TRUE(lineIs(2, kBlue));
    EXPECT_TRUE(lineIs(1, kRed));
    EXPECT_EQ(listing.selStart, listing.lineStart(2));
    EXPECT_EQ(listing.selLength, 0);
    EXPECT_GT(listing.focusCount, 0);
    EXPECT_EQ(listing.modifiedMark, GetParam());
}

INSTANTIATE_TEST_SUITE_P(ModifiedMark, Colouring, ::testing::Bool());

TEST_F(Bench, ExecutingLineOnABreakpointIsMagenta) {
    numberedLines(5);
    wb.state.breakpoints = {kEmptySlot, 3, kEmptySlot};
    wb.state.executingPosition = listing.lineStart(3);
    wb.breakpoints.MarkExecutingLine();
    EXPECT_TRUE(lineIs(3, kMagenta));
    // Beyond the text: the last line.
    wb.state.executingPosition = 10'000;
    wb.breakpoints.MarkExecutingLine();
    EXPECT_TRUE(lineIs(4, kBlue));
    EXPECT_EQ(listing.selStart, listing.lineStart(4));
}

TEST_F(Bench, EmptyListingMarksNothing) {
    listing.setLines({});
    wb.state.executingPosition = 12;
    wb.breakpoints.MarkExecutingLine();
    wb.breakpoints.PaintBreakpoints();
    EXPECT_EQ(listing.selStart, 0);
    EXPECT_EQ(listing.selLength, 0);
}

// --- The Break operation ----------------------------------------------------

TEST_F(Bench, BreakTableFillsFreedSlotAndRefusesAFourth) {
    stopped();
    numberedLines(30);
    auto breakAt = [&](int line, int offset = 0) {
        listing.setSelection(listing.lineStart(line) + offset, 0);
        wb.breakpoints.DebuggerSetBreakpointExecute();
    };
    breakAt(5);
    breakAt(9, 2);
    breakAt(12, 6);   // just before the line break
    breakAt(9);       // clears 9, slot 1 stays free
    EXPECT_EQ(wb.state.breakpoints, (std::array<std::uint16_t, 3>{5, kEmptySlot, 12}));
    breakAt(20);
    EXPECT_EQ(wb.state.breakpoints, (std::array<std::uint16_t, 3>{5, 20, 12}));
    for (int line : {5, 12, 20}) EXPECT_TRUE(lineIs(line, kRed)) << line;
    EXPECT_TRUE(lineIs(9, listing.defaultColour));

    const auto colours = listing.colours;
    breakAt(3, 1);
    ASSERT_EQ(fb.notices.notices, (std::vector<std::string>{"Allowed number of breakpoints exceded"}));
    EXPECT_EQ(wb.state.breakpoints, (std::array<std::uint16_t, 3>{5, 20, 12}));
    EXPECT_EQ(listing.colours, colours);
    EXPECT_EQ(listing.selStart, listing.lineStart(3) + 1);

    // Caret at the very end of the text: the last line.
    listing.setSelection(listing.textLength(), 0);
    wb.state.breakpoints = {kEmptySlot, kEmptySlot, kEmptySlot};
    wb.breakpoints.DebuggerSetBreakpointExecute();
    EXPECT_EQ(wb.state.breakpoints[0], 29);
    EXPECT_EQ(listing.selStart, listing.textLength());
}

TEST_F(Bench, BreakOnEmptyListingSetsNothing) {
    stopped();
    listing.setLines({});
    wb.breakpoints.DebuggerSetBreakpointExecute();
    EXPECT_EQ(wb.state.breakpoints, (std::array<std::uint16_t, 3>{kEmptySlot, kEmptySlot, kEmptySlot}));
}

// The board's table holds 16-bit lines and 0xFFFF marks a free slot.
struct BreakLineCase {
    int line;
    bool accepted;
};
class BreakLimit : public Bench, public ::testing::WithParamInterface<BreakLineCase> {};

TEST_P(BreakLimit, LinesTheTableCannotHoldAreRefusedWithANotice) {
    stopped();
    numberedLines(65537);
    wb.state.breakpoints = {3, kEmptySlot, kEmptySlot};
    listing.setSelection(listing.lineStart(GetParam().line) + 2, 0);
    wb.breakpoints.DebuggerSetBreakpointExecute();
    if (GetParam().accepted) {
        EXPECT_TRUE(fb.notices.notices.empty());
        EXPECT_EQ(wb.state.breakpoints, (std::array<std::uint16_t, 3>{3, 65534, kEmptySlot}));
        return;
    }
    EXPECT_EQ(fb.notices.notices,
              (std::vector<std::string>{"Breakpoints can be set on the first 65535 lines only"}));
    EXPECT_EQ(wb.state.breakpoints, (std::array<std::uint16_t, 3>{3, kEmptySlot, kEmptySlot}));
}

INSTANTIATE_TEST_SUITE_P(Lines, BreakLimit,
                         ::testing::Values(BreakLineCase{65534, true}, BreakLineCase{65535, false},
                                           BreakLineCase{65536, false}),
                         [](const auto& info) { return "Line" + std::to_string(info.param.line); });

// --- Guards -----------------------------------------------------------------

struct GuardCase {
    const char* name;
    std::function<void(Workbench&)> handler;
    const char* operation;   // nullptr: no must-stop check
};

class Guards : public Bench, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(Guards, RefuseWithoutBoardAndWhileRunning) {
    numberedLines(3);
    wb.state.detected = false;
    GetParam().handler(wb);
    EXPECT_EQ(fb.notices.notices, (std::vector<std::string>{"Travin not Detected (command not sent)"}));
    fb.notices.notices.clear();

    if (!GetParam().operation) return;
    wb.state.detected = true;
    wb.state.running = true;
    GetParam().handler(wb);
    EXPECT_EQ(fb.notices.notices,
              (std::vector<std::string>{std::string("Must Stop Travin Before Sending ") + GetParam().operation}));
    EXPECT_TRUE(fb.notices.questions.empty());
    EXPECT_TRUE(fb.notices.inputs.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, Guards,
    ::testing::Values(
        GuardCase{"Run", [](Workbench& w) { w.execution.DebuggerRunExecute(); }, "Run"},
        GuardCase{"Step", [](Workbench& w) { w.execution.DebuggerSingleStepExecute(); }, "Step"},
        GuardCase{"Reset", [](Workbench& w) { w.execution.DebuggerResetExecute(); }, "Reset"},
        GuardCase{"Stop", [](Workbench& w) { w.execution.DebuggerStopExecute(); }, nullptr},
        GuardCase{"Download", [](Workbench& w) { w.download.DownloadProgram(); }, "Download"},
        GuardCase{"Break", [](Workbench& w) { w.breakpoints.DebuggerSetBreakpointExecute(); }, "Break"},
        GuardCase{"SetVariable", [](Workbench& w) { w.variables.DebuggerSetVariableExecute(); }, "Set Variable"},
        GuardCase{"ListBox", [](Workbench& w) { w.variables.ListBox1SetVariable(); }, "Set Variable"},
        GuardCase{"Upload", [](Workbench& w) { w.memory.UploadMenuClick(); }, "Upload Program"},
        GuardCase{"EraseButton", [](Workbench& w) { w.memory.EraseButtonClick(); }, "Erase EEPROM"},
        GuardCase{"EraseMenu", [](Workbench& w) { w.memory.EraseMemoryMenuClick(); }, "Erase EEPROM"},
        GuardCase{"Startup", [](Workbench& w) { w.memory.StartupTimeMenuClick(); }, "Startup Time"},
        GuardCase{"SendAci", [](Workbench& w) { w.input.SendACIExecute(); }, "Send ACI Command"},
        GuardCase{"AciEnter", [](Workbench& w) { w.input.ACIEditKeyPress('\r'); }, "Send ACI Command"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Bench, AciKeysOtherThanEnterDoNothingAndNoKeyIsConsumed) {
    wb.state.detected = false;
    EXPECT_FALSE(wb.input.ACIEditKeyPress('a'));
    EXPECT_FALSE(wb.input.ACIEditKeyPress('\n'));
    EXPECT_TRUE(fb.notices.notices.empty());
    EXPECT_FALSE(wb.input.ACIEditKeyPress('\r'));
    EXPECT_EQ(fb.notices.notices.size(), 1u);
}

TEST_F(Bench, DownloadMenuChecksLimitsBeforeTheMustStopRefusal) {
    wb.state.detected = true;
    wb.state.running = true;
    listing.setLines({"ok", std::string(81, 'L'), "ok"});
    wb.download.DebuggerDownloadExecute();
    EXPECT_NE(consoleText(wb).find("Line excedes maximum length"), std::string::npos);
    EXPECT_TRUE(fb.notices.notices.empty()) << "a failed limit check sends nothing and asks nothing";
    listing.setLines({"ok"});
    wb.download.DebuggerDownloadExecute();
    EXPECT_EQ(fb.notices.notices, (std::vector<std::string>{"Must Stop Travin Before Sending Download"}));
}

// --- Limit marks --------------------------------------------------------------

struct MarkCase {
    const char* name;
    std::vector<std::string> lines;
    std::string message;
    int line;
};

std::vector<std::string> listingOf(int count, int length) { return std::vector<std::string>(count, std::string(length, 'k')); }

class LimitMarks : public Bench, public ::testing::WithParamInterface<MarkCase> {};

TEST_P(LimitMarks, MessageAndMarkedLine) {
    listing.setLines(GetParam().lines);
    listing.modifiedMark = false;
    EXPECT_FALSE(wb.download.CheckProgramLimits());
    const auto& shown = wb.console.lines();
    ASSERT_GE(shown.size(), 2u);
    // LF alone: the message ends its line and a fresh " " line follows.
    EXPECT_EQ(shown[shown.size() - 2].substr(shown[shown.size() - 2].size() - GetParam().message.size()),
              GetParam().message);
    EXPECT_EQ(shown.back(), " ");
    EXPECT_TRUE(lineIs(GetParam().line, kBlue));
    EXPECT_EQ(listing.selStart, listing.lineStart(GetParam().line));
    EXPECT_GT(listing.focusCount, 0);
    EXPECT_FALSE(listing.modifiedMark);
}

std::vector<std::string> tooLong(int at) {
    auto l = listingOf(10, 20);
    l[at] = std::string(81, 'Q');
    return l;
}

std::vector<std::string> largest(int extra) {
    // 371 x 80 + 2 = 29682; one more line of 12 + extra characters.
    auto l = listingOf(371, 78);
    l.push_back(std::string(12 + extra, 'e'));
    return l;
}

INSTANTIATE_TEST_SUITE_P(
    Download, LimitMarks,
    ::testing::Values(
        MarkCase{"Line81", tooLong(6), "Line excedes maximum length", 6},
        MarkCase{"Line81First", tooLong(0), "Line excedes maximum length", 0},
        MarkCase{"Lines8193", listingOf(8193, 2), "Line excedes maximum number of lines", 8192},
        MarkCase{"Size29697", largest(1), "Program too large (Program Size = 29697, Maximum Size = 29696)", 371}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Bench, LimitsPassAtTheirEdges) {
    for (const auto& lines : {largest(0), listingOf(8192, 1), listingOf(4, 80), std::vector<std::string>{}}) {
        listing.setLines(lines);
        EXPECT_TRUE(wb.download.CheckProgramLimits()) << lines.size();
    }
    EXPECT_EQ(consoleText(wb), " |");
}

// --- Variables ------------------------------------------------------------------

TEST_F(Bench, ValueBoxOpensWithLastRefreshAndRefusesNonNumbers) {
    stopped();
    wb.state.variableValues[2] = -5;
    for (std::optional<std::string> answer :
         {std::optional<std::string>{}, std::optional<std::string>{""}, std::optional<std::string>{"abc"},
          std::optional<std::string>{"2147483648"}, std::optional<std::string>{"-2147483649"}}) {
        fb.notices.notices.clear();
        fb.notices.inputs.clear();
        fb.notices.inputAnswers = {answer};
        wb.variables.EditVariable(2);
        ASSERT_EQ(fb.notices.inputs.size(), 1u);
        EXPECT_EQ(fb.notices.inputs[0].caption, "");
        EXPECT_EQ(fb.notices.inputs[0].prompt, "Enter the value of C:");
        EXPECT_EQ(fb.notices.inputs[0].initial, "-5");
        EXPECT_EQ(fb.notices.notices, (std::vector<std::string>{"Variable 'C' Not Changed"})) << answer.value_or("<cancel>");
    }
    fb.notices.inputs.clear();
    wb.variables.EditVariable(-1);
    wb.variables.EditVariable(26);
    EXPECT_TRUE(fb.notices.inputs.empty());
}

TEST_F(Bench, LetterBoxChoosesTheVariable) {
    stopped();
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {"  b", "Enter the value of B:"}, {"Z", "Enter the value of Z:"}, {"\tq7", "Enter the value of Q:"},
        {"7", ""}, {"-", ""}, {"  ", ""}, {std::nullopt, ""}};
    for (const auto& [letter, prompt] : cases) {
        fb.notices.inputs.clear();
        fb.notices.notices.clear();
        fb.notices.inputAnswers = {letter, std::nullopt};   // then cancel the value box
        wb.variables.DebuggerSetVariableExecute();
        ASSERT_GE(fb.notices.inputs.size(), 1u);
        EXPECT_EQ(fb.notices.inputs[0].prompt, "Enter Variable to Set (A-Z)");
        if (prompt.empty()) {
            EXPECT_EQ(fb.notices.inputs.size(), 1u) << letter.value_or("<cancel>");
            EXPECT_TRUE(fb.notices.notices.empty());
        } else {
            ASSERT_EQ(fb.notices.inputs.size(), 2u);
            EXPECT_EQ(fb.notices.inputs[1].prompt, prompt);
        }
    }
}

TEST_F(Bench, DoubleClickUsesTheSelectedRow) {
    stopped();
    fb.main.currentRow = 3;
    wb.variables.ListBox1SetVariable();
    ASSERT_EQ(fb.notices.inputs.size(), 1u);
    EXPECT_EQ(fb.notices.inputs[0].prompt, "Enter the value of D:");
    fb.main.currentRow = -1;
    fb.notices.inputs.clear();
    fb.notices.notices.clear();
    wb.variables.ListBox1SetVariable();
    EXPECT_TRUE(fb.notices.inputs.empty());
    EXPECT_TRUE(fb.notices.notices.empty());
}

// --- Memory operations and console input that stop before the wire ------------

TEST_F(Bench, UploadAndEraseQuestionsOnlyYesGoesOn) {
    stopped();
    listing.setLines({"keep me"});
    listing.modifiedMark = true;
    wb.state.fileName = "/tmp/mine.tn";
    wb.state.breakpoints = {0, kEmptySlot, kEmptySlot};
    for (Answer a : {Answer::No, Answer::Cancel}) {
        fb.notices.answers = {a, a};
        wb.memory.UploadMenuClick();
        fb.timer.on = true;
        wb.memory.EraseButtonClick();
        EXPECT_TRUE(fb.timer.on) << "the monitor runs again whatever the answer";
    }
    ASSERT_EQ(fb.notices.questions.size(), 4u);
    for (int i = 0; i < 4; i += 2) {
        EXPECT_EQ(fb.notices.questions[i].title, " ");
        EXPECT_EQ(fb.notices.questions[i].text, "Upload Travin Program from EEPROM to screen?");
        EXPECT_EQ(fb.notices.questions[i + 1].title, " ");
        EXPECT_EQ(fb.notices.questions[i + 1].text, "Erase Travin Program from EEPROM?");
        // Enter answers No: neither question's Yes can be undone.
        EXPECT_TRUE(fb.notices.questions[i].defaultNo);
        EXPECT_TRUE(fb.notices.questions[i + 1].defaultNo);
    }
    EXPECT_EQ(listing.text, (std::vector<std::string>{"keep me"}));
    EXPECT_TRUE(listing.modifiedMark);
    EXPECT_EQ(wb.state.fileName, "/tmp/mine.tn");
    EXPECT_EQ(wb.state.breakpoints[0], 0);
    EXPECT_EQ(consoleText(wb), " |");
}

TEST_F(Bench, SendCharacterCancelledOrEmptySendsNothingAndFocusesListing) {
    for (std::optional<std::string> answer : {std::optional<std::string>{}, std::optional<std::string>{""}}) {
        fb.notices.inputAnswers = {answer};
        const int focus = listing.focusCount;
        wb.input.DebuggerSendCharacterExecute();
        EXPECT_EQ(listing.focusCount, focus + 1);
    }
    ASSERT_EQ(fb.notices.inputs.size(), 2u);
    EXPECT_EQ(fb.notices.inputs[0].caption, "Caption Display");
    EXPECT_EQ(fb.notices.inputs[0].prompt, "Enter character to send");
    EXPECT_EQ(fb.notices.inputs[0].initial, "");
    // Nothing reached the link: no failure line, no link-failure boxes.
    EXPECT_EQ(consoleText(wb), " |");
    EXPECT_TRUE(fb.notices.notices.empty());
}

}  // namespace
}  // namespace travin
