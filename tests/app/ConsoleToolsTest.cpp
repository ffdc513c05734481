// The console's tools on the real main window, offscreen, with the virtual
// board on COM1: the menu entries, the remembered Timestamps, a log
// written during a run that holds every line once with its time, and a log
// whose disk stalls.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/WindowOnBoard.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestFolder.h"

#include <QAction>
#include <QApplication>
#include <QStatusBar>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <regex>
#include <thread>

#include "app/ConsolePane.h"
#include "app/ConsoleTools.h"
#include "app/ListingPane.h"
#include "app/TMainForm.h"
#include "board/VirtualBoard.h"
#include "core/LineTimes.h"

namespace travin {
namespace {

QStringList entryNames(QMenuBar* bar, const QString& title) {
    QStringList names;
    for (QAction* a : bar->actions()) {
        if (!a->menu() || a->menu()->title().remove('&') != title) continue;
        for (QAction* entry : a->menu()->actions()) names << entry->objectName();
    }
    return names;
}

class ConsoleToolsTest : public travin::testing::WindowOnBoard {
protected:
    const char* folderName() const override { return "travin-console-tools"; }
    ConsoleTools& tools() { return *form->findChild<ConsoleTools*>("ConsoleTools"); }

};

TEST_F(ConsoleToolsTest, EntriesStandInTheMenusAndTheTimesChoiceOutlivesTheWindow) {
    QMenuBar* bar = form->menuBar();
    const QStringList file = entryNames(bar, "File");
    ASSERT_TRUE(file.contains("SaveInputOutputMenu"));
    EXPECT_EQ(file.indexOf("SaveInputOutputMenu"), file.indexOf("SaveAsMenu") + 1);
    EXPECT_EQ(entryNames(bar, "Edit").indexOf("CopyAllMenu"), entryNames(bar, "Edit").indexOf("CopyMenu") + 1);
    const QStringList debugger = entryNames(bar, "Debugger");
    for (const char* name : {"TimestampsMenu", "LogToFileMenu", "LogToFileAsMenu"})
        EXPECT_TRUE(debugger.contains(name)) << name;
    EXPECT_EQ(form->workbench().console.lineLimit(), ConsoleTools::kHistoryLines);

    EXPECT_FALSE(form->Memo1->timesShown());
    form->Memo1->TimesAction->trigger();
    form.reset();
    form = std::make_unique<TMainForm>(nullptr, folder.string() + "/");
    EXPECT_TRUE(form->Memo1->timesShown());
}

TEST_F(ConsoleToolsTest, ALogWrittenDuringARunHoldsEveryLineOnceWithItsTimeInOrder) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->workbench().state.detected; }, 8000));
    form->Memo1->setTimesShown(true);
    form->menuEntry("ClearWindowMenu")->trigger();

    tools().LogAction->trigger();
    ASSERT_TRUE(tools().logging()) << tools().consoleLog().problem();
    const std::string daily = (folder / "logs" / ("travin-" + calendarDay(wallClockMs()) + ".log")).string();
    EXPECT_EQ(tools().consoleLog().path(), daily);
    EXPECT_TRUE(tools().LoggingLabel->isVisible());
    EXPECT_TRUE(tools().LoggingLabel->text().startsWith("Logging to travin-")) << tools().LoggingLabel->text().toStdString();
    // Whole, inside the status bar, beside the other panels.
    QApplication::processEvents();
    const QRect label = tools().LoggingLabel->geometry();
    EXPECT_TRUE(form->StatusBar1->rect().contains(label)) << label.x() << "+" << label.width();
    EXPECT_GE(label.width(), tools().LoggingLabel->sizeHint().width());
    EXPECT_LE(form->PortProblemPanel->geometry().right(), label.left());

    constexpr int kLines = 400;
    form->RichEdit1->setPlainText(QString("for I = 1 to %1\n  print \"n=\", I\nnext I\nend\n").arg(kLines));
    form->RunButton->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Memo1->toPlainText().contains(QString(" n=%1\n").arg(kLines)); },
                                30000));
    // An ACI line sent while times are shown carries only what was typed.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->workbench().state.running; }, 10000));
    form->ACIEdit->setText("V");
    form->SendACIButton->click();
    tools().LogAction->trigger();
    EXPECT_FALSE(tools().logging());
    EXPECT_FALSE(tools().LoggingLabel->isVisible());
    ASSERT_FALSE(board->aciLines().empty());
    EXPECT_EQ(board->aciLines().back(), "V");

    const std::string logged = travin::testing::readBytes(daily);
    const std::regex row(R"((\d\d:\d\d:\d\d\.\d\d\d) n=(\d+)\r)");
    std::string last;
    int expected = 1;
    std::size_t from = 0;
    while (from < logged.size()) {
        const std::size_t lf = logged.find('\n', from);
        ASSERT_NE(lf, std::string::npos) << "the log ends inside a line";
        const std::string line = logged.substr(from, lf - from);
        from = lf + 1;
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, row)) << line;
        EXPECT_EQ(std::stoi(m[2]), expected++) << "every line once, in order";
        EXPECT_GE(m[1].str(), last);
        last = m[1];
    }
    EXPECT_EQ(expected, kLines + 1);
    // The pane shows each of those lines with a time of the same form.
    EXPECT_TRUE(std::regex_match(form->Memo1->timeOfLine(0).toStdString(), std::regex(R"(\d\d:\d\d:\d\d\.\d\d\d)")))
        << form->Memo1->timeOfLine(0).toStdString() << "|" << form->Memo1->toPlainText().left(80).toStdString() << "|"
        << form->workbench().console.lineTimes().front();
}

TEST_F(ConsoleToolsTest, LogToFileAsAppendsToTheChosenFile) {
    const std::string mine = (folder / "mine.log").string();
    travin::testing::writeBytes(mine, "before\n");
    tools().chooseLogPath = [&](const QString& suggested) {
        EXPECT_TRUE(suggested.endsWith(".log"));
        return QString::fromStdString(mine);
    };
    tools().LogAsAction->trigger();
    ASSERT_TRUE(tools().logging());
    EXPECT_EQ(tools().consoleLog().path(), mine);
    form->workbench().console.ConsoleWriteChar('a');
    form->workbench().console.ConsoleWriteChar('\n');
    form->workbench().console.flush();
    tools().stopLog();
    const std::string logged = travin::testing::readBytes(mine);
    EXPECT_TRUE(std::regex_match(logged, std::regex("before\n\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d a\n"))) << logged;
}

// A FIFO nobody reads stands for a disk that stalls: the window goes on
// taking the board's output, and the status bar says the log is behind.
TEST_F(ConsoleToolsTest, AStalledDiskLeavesTheConsoleGoingAndTheStatusBarSaysTheLogIsBehind) {
    const std::string fifo = (folder / "stalled.log").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(tools().startLogFile(fifo));

    Console& console = form->workbench().console;
    int next = 1;
    const auto begin = std::chrono::steady_clock::now();
    // More than the log holds for the disk, in hand-overs of 32 KiB.
    while (!tools().LoggingLabel->text().contains("behind") && next < 1000000) {
        std::string chunk;
        while (chunk.size() < 32768) chunk += "line " + std::to_string(next++) + "\r\n";
        console.ConsoleWriteBytes(reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size());
        console.flush();
    }
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_TRUE(tools().LoggingLabel->text().startsWith("Logging to stalled.log (the disk is behind)"))
        << tools().LoggingLabel->text().toStdString();
    EXPECT_TRUE(tools().LoggingLabel->toolTip().contains("does not keep up")) << tools().LoggingLabel->toolTip().toStdString();
    EXPECT_TRUE(tools().logging()) << "the log goes on";
    EXPECT_TRUE(form->Memo1->toPlainText().contains(QString(" line %1\n").arg(next - 1)))
        << "the pane shows the last line handed over";
    EXPECT_LT(took, std::chrono::seconds(60));

    // The disk answers again: the log is written to its end and closes.
    std::string drained;
    std::thread drain([&] {
        ::fcntl(reader, F_SETFL, ::fcntl(reader, F_GETFL) & ~O_NONBLOCK);
        char block[65536];
        for (ssize_t n; (n = ::read(reader, block, sizeof block)) > 0;) drained.append(block, static_cast<std::size_t>(n));
    });
    tools().stopLog();
    drain.join();
    ::close(reader);
    EXPECT_FALSE(tools().logging());
    EXPECT_FALSE(tools().LoggingLabel->isVisible());
    EXPECT_TRUE(std::regex_search(drained.substr(0, 40), std::regex(R"(^\d\d:\d\d:\d\d\.\d\d\d line 1\r\n)")))
        << drained.substr(0, 40);
    // What the log took is written by the stop, and then what it left out
    // is counted: the lines after the last one logged.
    const std::smatch tail = [&] {
        std::smatch m;
        static const std::regex end(R"( line (\d+)\r\n\d\d:\d\d:\d\d\.\d\d\d \[(\d+) bytes not logged: the disk did not keep up\]\r\n$)");
        std::regex_search(drained.cbegin() + static_cast<std::ptrdiff_t>(drained.size() - std::min<std::size_t>(drained.size(), 200)),
                          drained.cend(), m, end);
        return m;
    }();
    ASSERT_FALSE(tail.empty()) << drained.substr(drained.size() - std::min<std::size_t>(drained.size(), 200));
    std::size_t missing = 0;
    for (int i = std::stoi(tail[1]) + 1; i < next; ++i) missing += ("line " + std::to_string(i) + "\r\n").size();
    EXPECT_EQ(std::stoul(tail[2]), missing);
}

}  // namespace
}  // namespace travin
