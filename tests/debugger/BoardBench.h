// A workbench over fake screens, linked to an in-process virtual board over
// a real pseudo-terminal: com1 in a temporary folder points at the board's
// slave, and the FakeBench uses that folder as its executable folder.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "board/VirtualBoard.h"
#include "tests/support/FakeScreens.h"

namespace travin::testing {

class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/travin-debugger-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made) path_ = made;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

class BoardBench : public ::testing::Test {
protected:
    ScratchFolder folder;
    vboard::BoardOptions options;
    std::unique_ptr<vboard::VirtualBoard> board;
    std::unique_ptr<FakeBench> fake;

    BoardBench() {
        options.eepromPath = folder.path() + "/board.eeprom";
        options.linkDir = folder.path();
        options.comNumber = 1;
        options.pageWriteMs = 0;
        options.eraseMs = 0;
        options.powerOnRun = false;
    }

    void SetUp() override { start(); }

    // Starts the board with `options` and detects it through the monitor.
    void start() {
        board = std::make_unique<vboard::VirtualBoard>(options);
        board->start();
        fake = std::make_unique<FakeBench>(folder.path() + "/");
        fake->clock.realTime = true;
        wb().console.DebuggerClearWindowExecute();
        detect();
    }

    Workbench& wb() { return *fake->wb; }
    WorkbenchState& state() { return fake->wb->state; }
    FakeListing& listing() { return fake->listing; }
    FakeNotices& notices() { return fake->notices; }

    // Opens COM1 as the port tick would and ticks until the probe answered.
    void detect() {
        state().selectedPort = 1;
        state().openPort = 1;
        state().portHandle = wb().serial.SioOpen("COM1", 19200);
        ASSERT_NE(state().portHandle, kInvalidHandle);
        state().reopenRequested = false;
        for (int i = 0; i < 20 && !state().detected; ++i) wb().monitor.BackgroundProcessTimer();
        ASSERT_TRUE(state().detected);
        forget();
    }

    // Clears what the test has seen so far: the wire record, the boxes and
    // the console.
    void forget() {
        board->record().clear();
        notices().notices.clear();
        notices().questions.clear();
        notices().inputs.clear();
        wb().console.DebuggerClearWindowExecute();
    }

    std::vector<vboard::Exchange> exchanges() const { return board->record().exchanges(); }
    std::vector<int> codes() const {
        std::vector<int> out;
        for (const auto& e : board->record().exchanges()) out.push_back(e.code);
        return out;
    }
    std::vector<vboard::Exchange> exchangesOf(int code) const {
        std::vector<vboard::Exchange> out;
        for (const auto& e : board->record().exchanges())
            if (e.code == code) out.push_back(e);
        return out;
    }

    // Ticks the monitor as its 100 ms timer would (faster) until the
    // program has stopped and the stop has been shown.
    bool tickUntilStopped(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            wb().monitor.BackgroundProcessTimer();
            if (!state().running) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) wb().monitor.BackgroundProcessTimer();
    }

    std::string consoleText() const {
        std::string all;
        for (const auto& line : fake->wb->console.lines()) all += line + "\n";
        return all;
    }

    // Every line followed by CR LF: the program as the board stores it.
    static std::string streamOf(const std::vector<std::string>& lines) {
        std::string out;
        for (const auto& l : lines) out += l + "\r\n";
        return out;
    }
};

}  // namespace travin::testing
