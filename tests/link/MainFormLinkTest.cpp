// The real main window offscreen against the virtual board: the monitor's
// own timer finds the board, the controls follow each target state, and a
// console flood ends in the real pane exactly as the line rules give.
#include <sys/resource.h>

#include <gtest/gtest.h>

#include "tests/support/QtTestApp.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <algorithm>
#include <set>

#include "ScriptedPeer.h"
#include "app/ConsolePane.h"
#include "app/TMainForm.h"
#include "board/VirtualBoard.h"

namespace travin::testing {
namespace {

using Clock = std::chrono::steady_clock;

double threadCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop (blocking in its dispatcher, not spinning) until
// `done` holds or `limitMs` pass; true when it held.
bool runEventsUntil(const std::function<bool()>& done, int limitMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (Clock::now() >= end) return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

class MainFormLink : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        travin::testing::ensureQtApplication();
    }
    void SetUp() override {
        vboard::BoardOptions o;
        o.eepromPath = folder.path + "board.eeprom";
        o.linkDir = folder.path;
        o.comNumber = 1;
        o.powerOnRun = false;
        o.linesPerSecond = 2;   // a program that keeps running for a while
        board = std::make_unique<vboard::VirtualBoard>(o);
        board->start();
        started = Clock::now();
        form = std::make_unique<TMainForm>(nullptr, folder.path);
        form->show();
    }
    void TearDown() override {
        form.reset();
        board.reset();
    }
    Workbench& wb() { return form->workbench(); }
    bool detected() { return wb().state.detected; }

    TempFolder folder;
    std::unique_ptr<vboard::VirtualBoard> board;
    std::unique_ptr<TMainForm> form;
    Clock::time_point started;
};

std::set<Control> enabledControls(TMainForm& form) {
    std::set<Control> on;
    for (int i = 0; i < kControlCount; ++i) {
        if (form.controlEnabled(static_cast<Control>(i))) on.insert(static_cast<Control>(i));
    }
    return on;
}

std::set<Control> allControls() {
    std::set<Control> all;
    for (int i = 0; i < kControlCount; ++i) all.insert(static_cast<Control>(i));
    return all;
}

TEST_F(MainFormLink, FindsTheBoardOnItsOwnAndTheControlsFollowEachState) {
    const std::set<Control> notDetected{Control::SelectPortButton, Control::NewMenu, Control::OpenMenu,
                                        Control::ExitMenu, Control::SelectPortMenu};
    const std::set<Control> running{Control::StopButton, Control::SendCharacterButton, Control::StopMenu,
                                    Control::SendCharacterMenu};
    std::set<Control> stopped = allControls();
    for (Control c : running) stopped.erase(c);

    EXPECT_EQ(enabledControls(*form), notDetected);

    ASSERT_TRUE(runEventsUntil([&] { return detected(); }, 5000));
    const double foundAfter = std::chrono::duration<double>(Clock::now() - started).count();
    EXPECT_GE(foundAfter, 2.0);
    EXPECT_LT(foundAfter, 4.0);   // about 2.4 s; slack for a loaded machine
    EXPECT_TRUE(form->Memo1->toPlainText().contains("Travin Detected - Version Travin VB 1.0"));
    EXPECT_EQ(enabledControls(*form), stopped);

    std::string program;
    for (int i = 0; i < 40; ++i) program += "print \"tick\"\r\n";
    ASSERT_TRUE(board->storeSource(program));
    board->runProgram();
    ASSERT_TRUE(runEventsUntil([&] { return wb().state.running; }, 2000));
    EXPECT_EQ(enabledControls(*form), running);

    board->stopProgram();
    ASSERT_TRUE(runEventsUntil([&] { return !wb().state.running; }, 2000));
    EXPECT_EQ(enabledControls(*form), stopped);

    wb().controls.DisableControls();
    EXPECT_TRUE(enabledControls(*form).empty());
    wb().controls.UpdateControls();
    EXPECT_EQ(enabledControls(*form), stopped);
}

TEST_F(MainFormLink, ConsoleFloodEndsInThePaneAsTheRulesGive) {
    ASSERT_TRUE(runEventsUntil([&] { return detected(); }, 5000));
    std::string stream;
    for (int i = 0; stream.size() < 100000; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "flood %05d\r\n", i);
        stream += line;
    }
    stream.resize(100000);
    const std::size_t sentBefore = board->record().consoleSent().size();

    const double cpu0 = threadCpuSeconds();
    const auto t0 = Clock::now();
    board->queueConsole(stream);
    ASSERT_TRUE(runEventsUntil(
        [&] {
            return board->record().consoleSent().size() - sentBefore == stream.size() &&
                   wb().serial.SioTest(wb().state.portHandle) == 0;
        },
        30000));
    // One more tick hands the last bytes to the pane.
    const int ticksBefore = wb().state.statusTickCount;
    ASSERT_TRUE(runEventsUntil([&] { return wb().state.statusTickCount != ticksBefore; }, 1000));
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = threadCpuSeconds() - cpu0;
    // 100 000 bytes are 8.7 s of a full 115200 line: a fifth of a core of that.
    RecordProperty("cpu_ms", std::to_string(static_cast<int>(cpu * 1000)));
    EXPECT_LT(cpu, 0.2 * 100000.0 / 11520.0) << "wall " << wall << " s";

    // The pane hands back exactly the bytes it was given; what it shows is
    // the same lines with each CR shown as nothing (the text widget keeps no
    // lone CR).
    auto withoutCr = [](std::string line) {
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        return line;
    };
    const std::vector<std::string> pane = form->Memo1->consoleLines();
    const auto& core = wb().console.lines();
    ASSERT_EQ(pane.size(), core.size());
    const QStringList shown = form->Memo1->toPlainText().split(QChar('\n'));
    ASSERT_EQ(static_cast<std::size_t>(shown.size()), core.size());
    for (std::size_t i = 0; i < pane.size(); ++i) {
        EXPECT_EQ(pane[i], core[i]) << "line " << i;
        EXPECT_EQ(shown[static_cast<qsizetype>(i)].toStdString(), withoutCr(core[i])) << "line " << i;
    }
    // The window keeps its history: every line of the flood.
    const auto floodLines = static_cast<std::size_t>(std::count(stream.begin(), stream.end(), '\n'));
    ASSERT_GT(core.size(), floodLines);
    ASSERT_LE(core.size(), wb().console.lineLimit() + 2);
    const std::size_t lastLf = stream.rfind('\n');
    const std::size_t prevLf = stream.rfind('\n', lastLf - 1);
    EXPECT_EQ(core.back(), " " + stream.substr(lastLf + 1));
    EXPECT_EQ(core[core.size() - 2], " " + stream.substr(prevLf + 1, lastLf - prevLf - 1));
    for (std::size_t i = core.size() - floodLines - 1; i + 1 < core.size(); ++i) {
        EXPECT_EQ(core[i].rfind(" flood ", 0), 0u) << core[i];
        EXPECT_EQ(core[i].back(), '\r') << core[i];
    }
}

}  // namespace
}  // namespace travin::testing
