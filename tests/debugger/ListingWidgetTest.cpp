// The listing marks on the real listing widget, offscreen: colours on the
// line extents, the caret and scrolling, and colouring never being an edit.
#include <gtest/gtest.h>

#include "tests/support/QtTestApp.h"
#include "tests/support/TestFolder.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <filesystem>

#include "app/ListingPane.h"
#include "app/QtNotices.h"
#include "app/TMainForm.h"
#include "debugger/ProgramImage.h"

namespace travin {
namespace {

class ListingWidget : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        travin::testing::ensureQtApplication();
    }

    void SetUp() override {
        folder = travin::testing::freshTestFolder("travin-marks");
        form = std::make_unique<TMainForm>(nullptr, folder.string() + "/");
        // No port is opened here; the monitor runs only when a test ticks it.
        form->workbench().screens.timer.setTimerEnabled(false);
        form->resize(900, 600);
        form->show();
        wb().state.detected = true;
        wb().state.running = false;
    }
    void TearDown() override {
        form.reset();
        std::filesystem::remove_all(folder);
    }

    Workbench& wb() { return form->workbench(); }
    ListingPane& pane() { return *form->RichEdit1; }

    // Every character of a line, and its line break, in one colour?
    bool lineIs(int line, Rgb colour) {
        const QTextBlock block = pane().document()->findBlockByNumber(line);
        const QColor want(colour.red, colour.green, colour.blue);
        for (int p = block.position(); p < block.position() + block.length() - 1; ++p) {
            if (pane().shownColour(p) != want) return false;
        }
        return true;
    }
    void caretAtLine(int line, int offset = 0) { pane().setSelection(pane().lineStart(line) + offset, 0); }

    static inline std::vector<std::string> numbered(int count) {
        std::vector<std::string> l;
        for (int i = 0; i < count; ++i) l.push_back("A = " + std::to_string(i));
        return l;
    }

    std::filesystem::path folder;
    std::unique_ptr<TMainForm> form;
};

TEST_F(ListingWidget, BreakpointsRedExecutingLineBlueOrMagenta) {
    pane().setLines(numbered(8));
    pane().setModified(false);
    const Rgb normal = pane().defaultTextColor();
    caretAtLine(2, 3);
    wb().breakpoints.DebuggerSetBreakpointExecute();
    caretAtLine(5);
    wb().breakpoints.DebuggerSetBreakpointExecute();
    EXPECT_EQ(pane().selectionStart(), pane().lineStart(5));
    EXPECT_EQ(pane().selectionLength(), 0);
    for (int line = 0; line < 8; ++line) EXPECT_TRUE(lineIs(line, line == 2 || line == 5 ? kRed : normal)) << line;

    wb().state.executingPosition = pane().lineStart(5) + 1;
    wb().breakpoints.MarkExecutingLine();
    EXPECT_TRUE(lineIs(5, kMagenta));
    EXPECT_EQ(pane().selectionStart(), pane().lineStart(5));
    EXPECT_TRUE(pane().hasFocus() || !QApplication::focusWindow()) << "the listing takes the focus";

    wb().breakpoints.ResetListingColors();
    wb().breakpoints.PaintBreakpoints();
    wb().state.executingPosition = pane().lineStart(6);
    wb().breakpoints.MarkExecutingLine();
    EXPECT_TRUE(lineIs(6, kBlue));
    EXPECT_TRUE(lineIs(5, kRed));
    EXPECT_TRUE(lineIs(7, normal));
    EXPECT_FALSE(pane().modified());
}

TEST_F(ListingWidget, MarkScrollsTheExecutingLineIntoView) {
    pane().setLines(numbered(400));
    caretAtLine(0);
    pane().ensureCursorVisible();
    ASSERT_EQ(pane().verticalScrollBar()->value(), 0);
    wb().state.executingPosition = pane().lineStart(350);
    wb().breakpoints.MarkExecutingLine();
    EXPECT_GT(pane().verticalScrollBar()->value(), 0);
    EXPECT_TRUE(lineIs(350, kBlue));
    const QRect caret = pane().cursorRect();
    EXPECT_TRUE(pane().viewport()->rect().contains(caret.center()));
}

TEST_F(ListingWidget, ColouringNeverMakesTheCloseAskToSave) {
    pane().setLines(numbered(10));
    pane().setModified(false);
    wb().state.unsavedChanges = false;
    wb().state.downloadNeeded = false;
    caretAtLine(3);
    wb().breakpoints.DebuggerSetBreakpointExecute();
    wb().state.executingPosition = pane().lineStart(3);
    wb().breakpoints.MarkExecutingLine();
    wb().breakpoints.ResetListingColors();
    wb().breakpoints.PaintBreakpoints();

    wb().monitor.BackgroundProcessTimer();
    EXPECT_FALSE(wb().state.unsavedChanges);
    EXPECT_FALSE(wb().state.downloadNeeded);
    EXPECT_EQ(wb().state.breakpoints[0], 3);

    // Were a question to open, close it at once (that answers Cancel).
    int asked = 0;
    auto* notices = dynamic_cast<QtNotices*>(&wb().screens.notices);
    ASSERT_NE(notices, nullptr);
    notices->beforeBox = [&asked] {
        ++asked;
        QTimer::singleShot(0, [] {
            if (QWidget* box = QApplication::activeModalWidget()) box->close();
        });
    };
    EXPECT_TRUE(wb().files.FormCloseQuery());
    EXPECT_EQ(asked, 0);

    // Typing is an edit: within one tick the breakpoints and their red go.
    caretAtLine(7);
    QTest::keyClick(&pane(), Qt::Key_X);
    wb().monitor.BackgroundProcessTimer();
    EXPECT_TRUE(wb().state.unsavedChanges);
    EXPECT_EQ(wb().state.breakpoints[0], kEmptySlot);
    EXPECT_TRUE(lineIs(3, pane().defaultTextColor()));
    EXPECT_FALSE(wb().files.FormCloseQuery());
    EXPECT_EQ(asked, 1);
    notices->beforeBox = nullptr;
}

// Undo reaches the user's edits only: a mark is no step of its own, so Ctrl+Z
// after one neither changes the text nor makes the listing an edit.
TEST_F(ListingWidget, UndoAfterAMarkLeavesTextMarksAndBreakpoints) {
    pane().setLines(numbered(6));
    pane().setModified(false);
    wb().state.unsavedChanges = false;
    wb().state.downloadNeeded = false;
    caretAtLine(2);
    wb().breakpoints.DebuggerSetBreakpointExecute();
    wb().state.executingPosition = pane().lineStart(4);
    wb().breakpoints.MarkExecutingLine();
    const QString text = pane().toPlainText();

    pane().setFocus();
    QTest::keyClick(&pane(), Qt::Key_Z, Qt::ControlModifier);
    wb().monitor.BackgroundProcessTimer();
    EXPECT_EQ(pane().toPlainText(), text);
    EXPECT_FALSE(pane().modified());
    EXPECT_FALSE(wb().state.unsavedChanges);
    EXPECT_FALSE(wb().state.downloadNeeded);
    EXPECT_EQ(wb().state.breakpoints[0], 2);
    EXPECT_TRUE(lineIs(2, kRed));
    EXPECT_TRUE(lineIs(4, kBlue));

    // A typed character is still undone, and only it.
    caretAtLine(0);
    QTest::keyClick(&pane(), Qt::Key_Q);
    QTest::keyClick(&pane(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(pane().toPlainText(), text);
}

TEST_F(ListingWidget, UploadedTextKeepsEveryLine) {
    pane().setLines(numbered(3));
    // The board's stream, loaded as the upload loads it.
    const std::vector<std::string> program{"print 1", "", "end", "", ""};
    std::string text;
    for (const auto& line : program) text += line + "\r\n";
    pane().clear();
    pane().setLines(programTextPieces(std::vector<std::uint8_t>(text.begin(), text.end())));
    EXPECT_EQ(pane().lines(), program) << "empty lines at the end are kept";
    EXPECT_EQ(pane().toPlainText(), QString("print 1\n\nend\n\n\n"));
}

}  // namespace
}  // namespace travin
