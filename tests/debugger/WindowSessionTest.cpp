// The whole road on the real main window, offscreen, with the virtual board
// on COM1 and the window's own 100 ms monitor timer: type a program, set a
// breakpoint, run to it, step, set a variable and upload the program back.
#include <gtest/gtest.h>

#include "tests/support/WindowBoard.h"
#include "tests/support/QtTestApp.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <deque>
#include <filesystem>

#include "app/ConsolePane.h"
#include "app/ListingPane.h"
#include "app/QtNotices.h"
#include "app/TMainForm.h"
#include "board/VirtualBoard.h"

namespace travin {
namespace {

class WindowSession : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        travin::testing::ensureQtApplication();
    }

    void SetUp() override {
        folder = std::filesystem::temp_directory_path() / ("travin-session-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        board = travin::testing::startWindowBoard(folder);
        form = std::make_unique<TMainForm>(nullptr, folder.string() + "/");
        form->resize(900, 600);
        form->show();
        auto* notices = dynamic_cast<QtNotices*>(&wb().screens.notices);
        ASSERT_NE(notices, nullptr);
        // Each box that opens takes the next answer from the queue.
        notices->beforeBox = [this] {
            auto act = answers.empty() ? std::function<void(QWidget*)>{} : answers.front();
            if (!answers.empty()) answers.pop_front();
            QTimer::singleShot(0, [act] {
                QWidget* box = QApplication::activeModalWidget();
                if (!box) return;
                if (act) act(box);
                else box->close();
            });
        };
    }
    void TearDown() override {
        form.reset();
        board.reset();
        std::filesystem::remove_all(folder);
    }

    Workbench& wb() { return form->workbench(); }
    ListingPane& pane() { return *form->RichEdit1; }
    QColor colourOfLine(int line) {
        return pane().shownColour(pane().document()->findBlockByNumber(line).position());
    }
    static std::function<void(QWidget*)> type(QString text) {
        return [text](QWidget* box) {
            auto* dialog = qobject_cast<QInputDialog*>(box);
            ASSERT_NE(dialog, nullptr);
            dialog->setTextValue(text);
            dialog->accept();
        };
    }
    static std::function<void(QWidget*)> yes() {
        return [](QWidget* box) {
            auto* question = qobject_cast<QMessageBox*>(box);
            ASSERT_NE(question, nullptr);
            question->button(QMessageBox::Yes)->click();
        };
    }

    std::filesystem::path folder;
    std::unique_ptr<vboard::VirtualBoard> board;
    std::unique_ptr<TMainForm> form;
    std::deque<std::function<void(QWidget*)>> answers;
};

TEST_F(WindowSession, TypeRunBreakStepSetAndUpload) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return wb().state.detected; }, 8000)) << "the monitor finds the board";

    pane().setFocus();
    const QStringList program{"print \"hello\"", "print \"at break\"", "print \"after\"", "end"};
    for (const QString& line : program) {
        QTest::keyClicks(&pane(), line);
        QTest::keyClick(&pane(), Qt::Key_Return);
    }
    QTest::qWait(250);   // the monitor notices the edit
    EXPECT_TRUE(wb().state.downloadNeeded);

    QTextCursor caret(pane().document()->findBlockByNumber(1));
    pane().setTextCursor(caret);
    form->BreakButton->click();
    EXPECT_EQ(colourOfLine(1), QColor(255, 0, 0));

    form->RunButton->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !wb().state.running && board->position() > 0; }, 5000));
    EXPECT_EQ(board->program(), "print \"hello\"\r\nprint \"at break\"\r\nprint \"after\"\r\nend\r\n");
    EXPECT_EQ(colourOfLine(1), QColor(255, 0, 255)) << "stopped on the breakpoint line";
    EXPECT_EQ(pane().textCursor().blockNumber(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Memo1->toPlainText().contains("hello"); }, 2000));

    form->SingleStepButton->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return colourOfLine(2) == QColor(0, 0, 255); }, 5000));
    EXPECT_EQ(colourOfLine(1), QColor(255, 0, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Memo1->toPlainText().contains("at break"); }, 2000));

    answers = {type("-5")};
    form->ListBox1->setCurrentRow(0);
    emit form->ListBox1->itemDoubleClicked(form->ListBox1->item(0));
    EXPECT_EQ(board->variables()[0], -5);
    EXPECT_EQ(form->ListBox1->item(0)->text(), "A:-5");

    // Replace the listing, then bring the board's program back. The caret
    // stands in a red first line: the uploaded text must not take its colour.
    wb().breakpoints.ClearBreakpoints();
    pane().setPlainText("something else");
    pane().setSelection(0, 4);
    pane().setSelectionColor(kRed);
    pane().setSelection(0, 0);
    pane().setModified(false);
    answers = {yes()};
    form->menuEntry("UploadMenu")->trigger();
    // The text as typed, its final line break included.
    EXPECT_EQ(pane().toPlainText(), program.join('\n') + '\n');
    EXPECT_EQ(form->StatusPanel->text(), "Untitled.txt");
    const Rgb normal = pane().defaultTextColor();
    for (int line = 0; line < 4; ++line)
        EXPECT_EQ(colourOfLine(line), QColor(normal.red, normal.green, normal.blue)) << line;
    QTest::qWait(250);
    EXPECT_TRUE(wb().state.unsavedChanges);
}

}  // namespace
}  // namespace travin
