// The Input-Output pane takes each tick's output as one change of its end;
// its text must be the text it would show given every line anew.
#include <gtest/gtest.h>

#include "tests/support/FakeScreens.h"
#include "tests/support/QtTestApp.h"

#include "app/ConsolePane.h"

namespace travin::testing {
namespace {

struct PaneRow {
    const char* name;
    std::string stream;
    std::size_t batch;
};


std::string linesOf(int count, const char* end) {
    std::string s;
    for (int i = 0; i < count; ++i) s += "line " + std::to_string(i) + end;
    return s;
}

std::string longLineThenLines() {
    // Longer than the pane holds, so its start is cut; then lines that push
    // the long one out.
    std::string s;
    for (int i = 0; s.size() < 70000; ++i) s += "pos " + std::to_string(i) + " ";
    for (int i = 0; i < 110; ++i) s += "\nafter " + std::to_string(i);
    return s;
}

class PaneChange : public ::testing::TestWithParam<PaneRow> {};

TEST_P(PaneChange, TextEqualsTheWholeLinesShownAnew) {
    ensureQtApplication();
    const PaneRow& row = GetParam();
    FakeBench fake("/nonexistent/");
    ConsolePane pane;
    Workbench wb(Screens{fake.listing, pane, fake.notices, fake.main, fake.timer, fake.clock, fake.desktop},
                 "/nonexistent/");
    wb.console.DebuggerClearWindowExecute();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(row.stream.data());
    for (std::size_t at = 0; at < row.stream.size(); at += row.batch) {
        wb.console.ConsoleWriteBytes(bytes + at, std::min(row.batch, row.stream.size() - at));
        wb.console.flush();
        ConsolePane anew;
        anew.setConsoleLines({wb.console.lines().begin(), wb.console.lines().end()});
        ASSERT_EQ(pane.toPlainText(), anew.toPlainText()) << "after byte " << at;
    }
    EXPECT_EQ(pane.consoleLines(), std::vector<std::string>(wb.console.lines().begin(), wb.console.lines().end()));
    EXPECT_LE(pane.document()->characterCount() - 1, ConsolePane::kMaxCharacters);
    // The caret follows the newest output.
    EXPECT_EQ(pane.textCursor().position(), pane.document()->characterCount() - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, PaneChange,
    ::testing::Values(PaneRow{"LinesInPieces", linesOf(30, "\n"), 5},
                      PaneRow{"CrLfPastTheKeptLines", linesOf(400, "\r\n"), 192},
                      PaneRow{"BareCrInsideAndAtTheEnd", linesOf(150, "\rstatus\r\r\n\r"), 13},
                      PaneRow{"ZerosAtTheLimit", std::string(101, '\n') + std::string("\0\0x\0\n", 5), 1},
                      PaneRow{"LongLineThenLines", longLineThenLines(), 4096}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace travin::testing
