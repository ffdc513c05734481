// The main window offscreen: what a user sees right after start-up, and its
// fixed size.
#include <gtest/gtest.h>

#include "tests/support/QtTestApp.h"
#include "tests/support/RawPty.h"
#include "tests/support/TestFolder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <filesystem>
#include <functional>
#include <iterator>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "app/ConsolePane.h"
#include "app/ListingPane.h"
#include "app/TAboutBox.h"
#include "app/TMainForm.h"
#include "app/TFuncAssistEditForm.h"
#include "app/TFuncAssistMenuForm.h"
#include "app/TComPortForm.h"

namespace {

using travin::Control;
using travin::TMainForm;

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { travin::testing::ensureQtApplication(); }

    void SetUp() override {
        folder = travin::testing::freshTestFolder("travin-mainwindow");
        form = std::make_unique<TMainForm>(nullptr, folder.string() + "/");
        // The monitor is not under test here; keep it from opening ports.
        form->workbench().screens.timer.setTimerEnabled(false);
    }

    void TearDown() override {
        form.reset();
        std::filesystem::remove_all(folder);
    }

    std::filesystem::path folder;
    std::unique_ptr<TMainForm> form;
};

TEST_F(MainWindowTest, StartUpShowsUntitledOneConsoleLineAndZeroVariables) {
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8("Untitled.txt \u2014 Travin"));
    EXPECT_EQ(form->StatusPanel->text(), "Untitled.txt");
    EXPECT_EQ(form->StatusPanel->width(), 200);
    EXPECT_EQ(form->Memo1->toPlainText(), " ");
    ASSERT_EQ(form->ListBox1->count(), 26);
    for (int i = 0; i < 26; ++i) {
        EXPECT_EQ(form->ListBox1->item(i)->text(), QString("%1: 0").arg(QChar('A' + i)));
    }
    EXPECT_EQ(form->RichEdit1->toPlainText(), "");
    EXPECT_FALSE(form->RichEdit1->document()->isModified());
    EXPECT_EQ(form->ComLabel->text(), "COM1");
    EXPECT_EQ(form->helpFile(), QString::fromStdString(folder.string() + "/tnhelp.html"));
    // FormCreate switched the monitor on before the test switched it off.
    EXPECT_TRUE(form->workbench().state.reopenRequested);
}

// The dialogs exist from start-up, hidden, created after the main window in
// their fixed order.
TEST_F(MainWindowTest, TheFourDialogsAreCreatedHiddenInTheirOrder) {
    std::vector<QString> order;
    for (QObject* child : form->children()) {
        if (qobject_cast<travin::TAboutBox*>(child)) order.push_back("about");
        if (qobject_cast<travin::TComPortForm*>(child)) order.push_back("port");
        if (qobject_cast<travin::TFuncAssistMenuForm*>(child)) order.push_back("menu");
        if (qobject_cast<travin::TFuncAssistEditForm*>(child)) order.push_back("edit");
        if (auto* w = qobject_cast<QWidget*>(child); w && w->isWindow()) {
            EXPECT_FALSE(w->isVisible()) << child->metaObject()->className();
        }
    }
    EXPECT_EQ(order, (std::vector<QString>{"about", "port", "menu", "edit"}));
}

TEST_F(MainWindowTest, StartUpEnablesOnlyThePortControlsAndTheFileEntries) {
    const std::vector<Control> enabled = {Control::SelectPortButton, Control::NewMenu, Control::OpenMenu,
                                          Control::ExitMenu, Control::SelectPortMenu};
    for (int i = 0; i < travin::kControlCount; ++i) {
        const auto c = static_cast<Control>(i);
        const bool expected = std::find(enabled.begin(), enabled.end(), c) != enabled.end();
        EXPECT_EQ(form->controlEnabled(c), expected) << "control " << i;
    }
    // Never managed, so always usable.
    EXPECT_TRUE(form->ClearButton->isEnabled());
    EXPECT_TRUE(form->SendACIButton->isEnabled());
    for (const char* name : {"SaveMenu", "SaveAsMenu", "PrintMenu", "CutMenu", "CopyMenu", "PasteMenu", "FindMenu",
                             "ClearWindowMenu", "TravinOverview1", "About1"}) {
        ASSERT_NE(form->menuEntry(name), nullptr) << name;
        EXPECT_TRUE(form->menuEntry(name)->isEnabled()) << name;
    }
}

TEST_F(MainWindowTest, ControlsFollowTheTargetState) {
    auto& wb = form->workbench();
    wb.state.detected = true;
    wb.state.running = true;
    wb.controls.UpdateControls();
    EXPECT_TRUE(form->StopButton->isEnabled());
    EXPECT_TRUE(form->SendCharacterButton->isEnabled());
    EXPECT_FALSE(form->RunButton->isEnabled());
    EXPECT_FALSE(form->menuEntry("NewMenu")->isEnabled());
    EXPECT_FALSE(form->menuEntry("SelectPortMenu")->isEnabled());
    EXPECT_TRUE(form->menuEntry("StopMenu")->isEnabled());

    wb.state.running = false;
    wb.controls.UpdateControls();
    EXPECT_TRUE(form->RunButton->isEnabled());
    EXPECT_FALSE(form->StopButton->isEnabled());
    EXPECT_TRUE(form->menuEntry("UploadMenu")->isEnabled());

    wb.controls.DisableControls();
    for (int i = 0; i < travin::kControlCount; ++i) {
        EXPECT_FALSE(form->controlEnabled(static_cast<Control>(i))) << "control " << i;
    }
}

TEST_F(MainWindowTest, ButtonsCarryCaptionsHintsAndPositions) {
    struct Row { QPushButton* button; const char* caption; const char* hint; int left; };
    const Row rows[] = {
        {form->RunButton, "Run", "Download and run", 8},
        {form->SingleStepButton, "Single", "Single step", 56},
        {form->StopButton, "Stop", "Stop program", 104},
        {form->ResetButton, "Reset", "Reset program", 152},
        {form->BreakButton, "Break", "Set or clear breakpoint", 200},
        {form->SendCharacterButton, "Send", "Send character asynchronously", 248},
        {form->EraseButton, "Erase", "Erase program from EEPROM", 296},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.button->text(), r.caption);
        EXPECT_EQ(r.button->toolTip(), r.hint);
        EXPECT_EQ(r.button->geometry(), QRect(r.left, 8, 41, 17)) << r.caption;
        EXPECT_EQ(r.button->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_EQ(form->SelectPortButton->x(), 675);
    EXPECT_EQ(form->ClearButton->geometry(), QRect(681, 408, 105, 17));
    EXPECT_EQ(form->SendACIButton->geometry(), QRect(192, 560, 73, 22));
    EXPECT_EQ(form->menuEntry("FindMenu")->shortcut(), QKeySequence("Ctrl+F"));
    EXPECT_EQ(form->menuEntry("SingleStepMenu")->text(), "&SingleStep");
}

// The size rule speaks of the outer window, frame included; the platform may
// add a frame of its own around Qt's size.
QSize frameOf(const QWidget& w) { return w.frameGeometry().size() - w.size(); }

void resizeOuter(QWidget& w, int width, int height) {
    const QSize frame = frameOf(w);
    w.resize(width - frame.width(), height - frame.height());
    QApplication::processEvents();
}

// The panes at their design places: the window's size never changes them.
void expectDesignLayout(const TMainForm& form) {
    EXPECT_EQ(form.RichEdit1->geometry(), QRect(3, 48, 665, 353));
    EXPECT_EQ(form.ListBox1->height(), 353);
    EXPECT_EQ(form.Memo1->geometry(), QRect(3, 432, 787, 121));
    EXPECT_EQ(form.ACIEdit->y(), 560);
    EXPECT_EQ(form.StatusBar1->geometry(), QRect(3, 583, 787, 22));
}

// Without a window manager (offscreen, or a bare X server) nothing sizes the
// window but itself: the status bar is its last row, with no band below.
TEST_F(MainWindowTest, TheWindowHoldsMenuPanesAndStatusBarWithNothingLeftOver) {
    form->show();
    QApplication::processEvents();
    const QWidget* client = form->centralWidget();
    EXPECT_EQ(client->height(), form->StatusBar1->geometry().bottom() + 1);
    EXPECT_EQ(client->geometry().bottom(), form->height() - 1);
    EXPECT_EQ(form->menuBar()->geometry().bottom() + 1, client->y());
    EXPECT_EQ(form->frameGeometry().width(), 800);
    expectDesignLayout(*form);
}

// Minimise and close, no maximise, and one size whatever is asked of it.
TEST_F(MainWindowTest, TheWindowOffersNoMaximiseAndKeepsItsSize) {
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    form->show();
    QApplication::processEvents();
    const QSize fixed = form->size();
    EXPECT_EQ(form->minimumSize(), fixed);
    EXPECT_EQ(form->maximumSize(), fixed);

    const std::function<void()> asks[] = {
        [&] { resizeOuter(*form, 800, 762); },
        [&] { resizeOuter(*form, 640, 500); },
        [&] { resizeOuter(*form, 1000, 700); },
        [&] { form->showMaximized(); },
        [&] { form->showFullScreen(); },
    };
    for (std::size_t i = 0; i < std::size(asks); ++i) {
        asks[i]();
        QTest::qWait(20);
        QApplication::processEvents();
        EXPECT_EQ(form->size(), fixed) << "ask " << i;
        EXPECT_FALSE(form->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) << "ask " << i;
        expectDesignLayout(*form);
    }
    form->showNormal();
    QApplication::processEvents();
    EXPECT_EQ(form->size(), fixed);

    int minW = 0, minH = 0, maxW = 0, maxH = 12345;
    form->FormConstrainedResize(minW, minH, maxW, maxH);
    EXPECT_EQ(minW, 800);
    EXPECT_EQ(maxW, 800);
    EXPECT_EQ(minH, 662);
}

TEST_F(MainWindowTest, AciLineTakesAtMost39Characters) {
    form->show();
    form->ACIEdit->setFocus();
    QTest::keyClicks(form->ACIEdit, QString(45, 'x'));
    EXPECT_EQ(form->ACIEdit->text().size(), 39);
    EXPECT_EQ(form->ACIEdit->maxLength(), 39);
}

// The ACI line goes to the board as one command without a line break: a
// pasted text of several lines keeps its first line, however it comes in.
TEST_F(MainWindowTest, AciLineKeepsOnlyTheFirstLineOfAPaste) {
    form->show();
    struct Row {
        QString pasted;
        std::string kept;
    };
    const std::vector<Row> rows = {
        {"A = 1\r\nB = 2", "A = 1"},
        {"print A\nmove 1", "print A"},
        {"lone\rcarriage", "lone"},
        {"\r\nafter a break", ""},
    };
    for (const Row& row : rows) {
        form->ACIEdit->clear();
        form->ACIEdit->setFocus();
        QApplication::clipboard()->setText(row.pasted);
        form->ACIEdit->paste();
        EXPECT_EQ(form->aciText(), row.kept) << row.pasted.toStdString();
        // Typed on after the paste: still one line.
        QTest::keyClicks(form->ACIEdit, "x");
        EXPECT_EQ(form->aciText(), row.kept + "x") << row.pasted.toStdString();
    }
    // Inserted at the caret, as a drop does: the line's own text stays on
    // both sides.
    form->ACIEdit->setText("go  later");
    form->ACIEdit->setCursorPosition(3);
    form->ACIEdit->insert("now\r\nand\r\nagain");
    EXPECT_EQ(form->aciText(), "go now later");
    EXPECT_EQ(form->ACIEdit->cursorPosition(), 6);
}

// The pane holds what the history holds (ConsolePane::kMaxCharacters); the
// rule is checked at a capacity a test can fill.
TEST_F(MainWindowTest, TheConsoleTakesAtMostItsCapacityAlsoFromAPaste) {
    form->show();
    form->Memo1->setCapacity(65536);
    form->Memo1->setFocus();
    form->Memo1->moveCursor(QTextCursor::End);
    QApplication::clipboard()->setText(QString(1000000, QChar(0x79)));
    form->Memo1->paste();
    EXPECT_EQ(form->Memo1->document()->characterCount() - 1, form->Memo1->capacity());
    EXPECT_TRUE(form->Memo1->toPlainText().startsWith(" y"));
    QTest::keyClicks(form->Memo1, "zz");
    EXPECT_EQ(form->Memo1->document()->characterCount() - 1, form->Memo1->capacity());
    EXPECT_FALSE(form->Memo1->toPlainText().contains('z'));
}

TEST_F(MainWindowTest, ListingIsPlainTextWithoutWrapAndWithTabStops) {
    auto* listing = form->RichEdit1;
    EXPECT_FALSE(listing->acceptRichText());
    EXPECT_EQ(listing->lineWrapMode(), QTextEdit::NoWrap);
    EXPECT_EQ(listing->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(listing->tabChangesFocus());
    const auto tabs = listing->document()->defaultTextOption().tabs();
    ASSERT_EQ(tabs.size(), 32);
    const qreal step = 24 * listing->logicalDpiX() / 72.0;
    EXPECT_NEAR(tabs.first().position, step, 0.01);
    EXPECT_NEAR(tabs.last().position, 32 * step, 0.01);
}

// Program positions count each line break as two characters; the pane
// counts one. The conversion must agree in both directions.
TEST_F(MainWindowTest, ListingPositionsCountLineBreaksAsTwo) {
    auto* listing = form->RichEdit1;
    listing->setLines({"abc", "", "de"});
    EXPECT_EQ(listing->lineCount(), 3);
    EXPECT_EQ(listing->lineStart(0), 0);
    EXPECT_EQ(listing->lineStart(1), 5);
    EXPECT_EQ(listing->lineStart(2), 7);
    EXPECT_EQ(listing->textLength(), 9);
    listing->setSelection(7, 2);
    EXPECT_EQ(listing->selectedText(), "de");
    EXPECT_EQ(listing->selectionStart(), 7);
    listing->setSelection(1, 6);
    EXPECT_EQ(listing->selectedText(), "bc\r\n\r\n");
    EXPECT_EQ(listing->selectionLength(), 6);

    // A text ending in a line break has no extra empty last line.
    listing->setPlainText("one\ntwo\n");
    EXPECT_EQ(listing->lineCount(), 2);
    EXPECT_EQ(listing->lines(), (std::vector<std::string>{"one", "two"}));

    // Every byte value 1..255 survives the pane unchanged.
    std::string all;
    for (int b = 1; b < 256; ++b) {
        if (b != '\n' && b != '\r') all.push_back(static_cast<char>(b));
    }
    listing->setLines({all});
    EXPECT_EQ(listing->lines().at(0), all);
}

}  // namespace

// Why the port does not open shows beside the file name, shortened in the
// middle so the COM name and the cause stay readable, until the port opens.
TEST_F(MainWindowTest, APortThatDoesNotOpenSaysWhyInTheStatusBarUntilItOpens) {
    const std::string target =
        "/dev/serial/by-id/usb-Silicon_Labs_CP2102N_USB_to_UART_Bridge_Controller_0001a2b3c4d5-if00-port0";
    std::filesystem::create_symlink(target, folder / "com1");
    auto& wb = form->workbench();
    for (int i = 0; i < 20; ++i) wb.monitor.BackgroundProcessTimer();
    wb.screens.timer.setTimerEnabled(false);
    ASSERT_EQ(wb.state.portHandle, -1);
    const QString shown = form->PortProblemPanel->text();
    const QString full = form->PortProblemPanel->toolTip();
    EXPECT_TRUE(full.startsWith("COM1: ")) << full.toStdString();
    EXPECT_TRUE(full.contains(QString::fromStdString(target)));
    EXPECT_TRUE(shown.startsWith("COM1: ")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("(is the adapter unplugged?)")) << shown.toStdString();
    EXPECT_LE(form->PortProblemPanel->fontMetrics().horizontalAdvance(shown), form->PortProblemPanel->width());
    EXPECT_EQ(form->StatusPanel->text(), "Untitled.txt");

    travin::testing::RawPty pty;
    ASSERT_FALSE(pty.slave.empty());
    std::filesystem::remove(folder / "com1");
    std::filesystem::create_symlink(pty.slave, folder / "com1");
    for (int i = 0; i < 20; ++i) wb.monitor.BackgroundProcessTimer();
    wb.screens.timer.setTimerEnabled(false);
    EXPECT_NE(wb.state.portHandle, -1);
    EXPECT_EQ(form->PortProblemPanel->text(), "");
    EXPECT_EQ(form->PortProblemPanel->toolTip(), "");
    wb.serial.SioClose(wb.state.portHandle);
    wb.state.portHandle = -1;
}
