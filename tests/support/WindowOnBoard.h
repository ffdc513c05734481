// A fixture: the real main window, shown offscreen, on a virtual board of
// its own in a fresh test folder (named by the derived fixture).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/TMainForm.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestFolder.h"
#include "tests/support/WindowBoard.h"

namespace travin::testing {

class WindowOnBoard : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureQtApplication(); }

    void SetUp() override {
        folder = freshTestFolder(folderName());
        board = startWindowBoard(folder);
        form = std::make_unique<TMainForm>(nullptr, folder.string() + "/");
        form->show();
    }
    void TearDown() override {
        form.reset();
        board.reset();
        std::filesystem::remove_all(folder);
    }
    // The test folder's name, one per fixture.
    virtual const char* folderName() const = 0;

    std::filesystem::path folder;
    std::unique_ptr<vboard::VirtualBoard> board;
    std::unique_ptr<TMainForm> form;
};

}  // namespace travin::testing
