// The Input-Output pane takes each tick's output as one change of its end;
// its text must be the text it would show given every line anew.
#include <gtest/gtest.h>

#include "tests/support/FakeScreens.h"
#include "tests/support/QtTestApp.h"

#include <QApplication>
#include <QClipboard>
#include <QTextBlock>
#include <QTextDocument>
#include <regex>

#include "app/ConsolePane.h"
#include "app/SingleByteQt.h"
#include "core/LineTimes.h"
#include "tests/support/TestFolder.h"

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

// --- Copy All, Save, times, the dropped-lines note ----------------------------

struct PaneBench {
    PaneBench() : wb(Screens{fake.listing, pane, fake.notices, fake.main, fake.timer, fake.clock, fake.desktop},
                     "/nonexistent/") {
        wb.console.DebuggerClearWindowExecute();
    }
    void board(const std::string& bytes) {
        wb.console.ConsoleWriteBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        wb.console.flush();
    }
    // The application comes first: the pane below is a widget, and ctest
    // runs each test in a process of its own.
    QApplication& app = ensureQtApplication();
    FakeBench fake{"/nonexistent/"};
    ConsolePane pane;
    Workbench wb;
};

// Every byte from 0x20 up, the codec's characters 0x80 to 0x9F among them.
std::string everyPrintableByte() {
    std::string bytes;
    for (int b = 0x20; b <= 0xFF; ++b) bytes.push_back(static_cast<char>(b));
    return bytes;
}

TEST(ConsolePaneTools, CopyAllAndSaveGiveThePaneTextByteForByteWithCrLf) {
    PaneBench b;
    b.board("plain\r\n" + everyPrintableByte() + "\r\nstatus 1\rstatus 2\r\nlast");
    // As shown: the codec's characters (the no-break space 0xA0 too, which
    // the document's plain text would turn into a blank), no CR, each line
    // ended by CR LF.
    const std::string asBytes = " plain\r\n " + everyPrintableByte() + "\r\n status 1status 2\r\n last\r\n";
    const QString expected = fromSingleByte(asBytes);
    EXPECT_EQ(b.pane.shownText(), expected);
    EXPECT_TRUE(expected.contains(QChar(0x20AC))) << "0x80 shows as the euro sign";
    b.pane.copyAll();
    EXPECT_EQ(QApplication::clipboard()->text(), expected);

    const auto folder = freshTestFolder("travin-pane-save");
    const std::string path = (folder / "io.txt").string();
    ASSERT_TRUE(b.pane.saveText(path));
    const std::string saved = readBytes(path);
    EXPECT_EQ(saved, asBytes);
    EXPECT_EQ(fromSingleByte(saved), expected);

    // Through the dialog; a cancelled dialog writes nothing.
    QStringList asked;
    b.pane.chooseSavePath = [&](const QString& suggested) {
        asked << suggested;
        return asked.size() == 1 ? QString() : QString::fromStdString((folder / "chosen.txt").string());
    };
    b.pane.SaveAsAction->trigger();
    b.pane.SaveAsAction->trigger();
    EXPECT_EQ(asked, (QStringList{"Input-Output.txt", "Input-Output.txt"}));
    EXPECT_EQ(readBytes(folder / "chosen.txt"), saved);
    std::filesystem::remove_all(folder);
}

TEST(ConsolePaneTools, TimesShowBesideTheTextNeverInIt) {
    PaneBench b;
    b.board("x=1\r\ny=2\r\n");
    const QString text = b.pane.toPlainText();
    const std::vector<std::string> lines = b.pane.consoleLines();
    const std::regex stamp(R"(\d\d:\d\d:\d\d\.\d\d\d)");
    const std::vector<std::int64_t> times = b.wb.console.lineTimes();
    ASSERT_EQ(times.size(), 3u);

    b.pane.TimesAction->trigger();
    ASSERT_TRUE(b.pane.timesShown());
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(b.pane.timeOfLine(i).toStdString(), timeOfDay(times[static_cast<std::size_t>(i)]));
        EXPECT_TRUE(std::regex_match(b.pane.timeOfLine(i).toStdString(), stamp));
    }
    EXPECT_EQ(b.pane.timeOfLine(2), "") << "the empty line after the last LF has no time";
    // Not in the text, the lines handed back or a find.
    EXPECT_EQ(b.pane.toPlainText(), text);
    EXPECT_EQ(b.pane.consoleLines(), lines);
    EXPECT_TRUE(b.pane.document()->find(b.pane.timeOfLine(0)).isNull());
    // Copy All and Save take them when shown, and the empty line gets blanks.
    const QString shownWithTimes = b.pane.shownText();
    EXPECT_EQ(shownWithTimes, b.pane.timeOfLine(0) + "  x=1\r\n" + b.pane.timeOfLine(1) + "  y=2\r\n" +
                                  QString(13, QChar(' ')) + " \r\n");

    // The user types with the times shown: the core gets the text alone.
    b.pane.moveCursor(QTextCursor::End);
    b.pane.insertPlainText("typed");
    b.wb.console.paneEdited();
    EXPECT_EQ(std::vector<std::string>(b.wb.console.lines().begin(), b.wb.console.lines().end()),
              (std::vector<std::string>{" x=1", " y=2", " typed"}));

    b.pane.TimesAction->trigger();
    EXPECT_FALSE(b.pane.timesShown());
    EXPECT_FALSE(b.pane.shownText().contains(b.pane.timeOfLine(0)));
}

TEST(ConsolePaneTools, EveryLineKeepsItsTimeAcrossHandOvers) {
    PaneBench b;
    b.board("first");
    b.board(" line\r\nsecond\r\n");
    b.board("third\r\n");
    const std::vector<std::int64_t> times = b.wb.console.lineTimes();
    ASSERT_EQ(times.size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(b.pane.timeOfLine(i).toStdString(), timeOfDay(times[static_cast<std::size_t>(i)])) << "line " << i;
    EXPECT_EQ(b.pane.timeOfLine(3), "");

    // Also while older lines are dropped from the top.
    b.wb.console.setLineLimit(5);
    for (int round = 0; round < 4; ++round) {
        std::string lines;
        for (int i = 0; i < 3; ++i) lines += "r" + std::to_string(round) + " " + std::to_string(i) + "\r\n";
        b.board(lines + "part");
        const std::vector<std::int64_t> now = b.wb.console.lineTimes();
        ASSERT_EQ(static_cast<std::size_t>(b.pane.document()->blockCount()), now.size());
        for (std::size_t i = 0; i < now.size(); ++i)
            EXPECT_EQ(b.pane.timeOfLine(static_cast<int>(i)).toStdString(), now[i] ? timeOfDay(now[i]) : "")
                << "round " << round << " line " << i;
    }
}

TEST(ConsolePaneTools, TypingIntoThePaneKeepsTheTimesOfTheLinesAlreadyThere) {
    PaneBench b;
    // As the main window wires it: the core takes the user's edit at once.
    b.pane.onUserEdit = [&b] { b.wb.console.paneEdited(); };
    b.pane.setTimesShown(true);
    b.board("x=1\r\ny=2\r\n");
    const std::vector<std::int64_t> times = b.wb.console.lineTimes();
    ASSERT_EQ(times.size(), 3u);
    // The user types on the last line, and on the first; then the board
    // prints on.
    b.pane.moveCursor(QTextCursor::End);
    b.pane.insertPlainText("typed");
    b.pane.moveCursor(QTextCursor::Start);
    b.pane.moveCursor(QTextCursor::EndOfLine);
    b.pane.insertPlainText("!");
    b.board("\nz=3\r\n");
    ASSERT_EQ(b.pane.toPlainText(), QString(" x=1!\n y=2\n typed\n z=3\n "));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(b.pane.timeOfLine(i).toStdString(), timeOfDay(times[static_cast<std::size_t>(i)])) << "line " << i;
    }
    EXPECT_EQ(b.pane.timeOfLine(2), "") << "a line the user typed has no arrival time";
    EXPECT_FALSE(b.pane.timeOfLine(3).isEmpty());
    EXPECT_EQ(b.wb.console.lineTimes()[0], times[0]);
    EXPECT_TRUE(b.pane.shownText().startsWith(b.pane.timeOfLine(0) + "  x=1!\r\n"));
}

TEST(ConsolePaneTools, TheTimesChoiceIsRemembered) {
    ensureQtApplication();
    const auto folder = freshTestFolder("travin-pane-times");
    const QString ini = QString::fromStdString((folder / "tnconsole.ini").string());
    {
        ConsolePane pane;
        pane.rememberTimesIn(ini);
        EXPECT_FALSE(pane.timesShown());
        pane.setTimesShown(true);
    }
    ConsolePane again;
    again.rememberTimesIn(ini);
    EXPECT_TRUE(again.timesShown());
    std::filesystem::remove_all(folder);
}

TEST(ConsolePaneTools, ANoteSaysHowManyOlderLinesWereDropped) {
    PaneBench b;
    b.wb.console.setLineLimit(50);
    b.pane.setHistoryLength(50);
    std::string lines;
    for (int i = 0; i < 30; ++i) lines += "line " + std::to_string(i) + "\n";
    b.board(lines);
    EXPECT_EQ(b.pane.droppedNote(), "");
    lines.clear();
    for (int i = 30; i < 1080; ++i) lines += "line " + std::to_string(i) + "\n";
    b.board(lines + "x");
    EXPECT_EQ(b.pane.droppedNote(), "1 031 older lines dropped: the pane keeps the last 50 lines");
    EXPECT_EQ(b.pane.document()->blockCount(), 50);
    EXPECT_EQ(b.pane.document()->firstBlock().text(), " line 1031");
    b.wb.console.DebuggerClearWindowExecute();
    EXPECT_EQ(b.pane.droppedNote(), "");
}

}  // namespace
}  // namespace travin::testing
