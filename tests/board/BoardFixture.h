// A board on a temporary image with a client attached, for each test.
#pragma once

#include "TestClient.h"
#include "board/VirtualBoard.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace boardtest {

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/boardtest-XXXXXX";
        path_ = ::mkdtemp(tmpl);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline vboard::BoardOptions quickOptions(const TempDir& dir) {
    vboard::BoardOptions o;
    o.eepromPath = dir.file("board.eeprom");
    o.pageWriteMs = 0;
    o.eraseMs = 0;
    o.powerOnRun = false;
    return o;
}

class BoardTest : public ::testing::Test {
protected:
    // Tests that need other options change options_ and call startBoard() again.
    void SetUp() override {
        options_ = quickOptions(dir_);
        startBoard();
    }
    void startBoard() {
        client_.close();
        board_.reset();
        board_ = std::make_unique<vboard::VirtualBoard>(options_);
        board_->start();
        ASSERT_TRUE(client_.open(board_->slavePath()));
    }
    // A stored program (each line + CR LF, then a zero) and the stored area.
    void store(std::string_view source) { ASSERT_TRUE(board_->storeSource(source)); }

    TempDir dir_;
    vboard::BoardOptions options_;
    std::unique_ptr<vboard::VirtualBoard> board_;
    TestClient client_;
};

}  // namespace boardtest
