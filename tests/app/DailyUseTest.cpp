// The main window's additions for daily use, offscreen: shortcuts reaching
// their handlers, the Edit menu's entries, the title bar, recent files, the
// status bar's notes, the ACI line's history, marks kept off new text and
// the default button of the questions that cannot be undone.
#include <gtest/gtest.h>

#include "tests/support/QtTestApp.h"
#include "tests/support/TestFolder.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <filesystem>
#include <map>

#include "app/FindDialog.h"
#include "app/ListingPane.h"
#include "app/QtNotices.h"
#include "app/TComPortForm.h"
#include "app/VirtualBoardLauncher.h"
#include "app/TMainForm.h"
#include "app/WindowHabits.h"

namespace {

namespace fs = std::filesystem;
using travin::TMainForm;
using travin::testing::writeBytes;

// Answers the next modal window with `step` once it is up.
class NextModal {
public:
    explicit NextModal(std::function<void(QWidget*)> answer) : step(std::move(answer)) {
        QObject::connect(&poll, &QTimer::timeout, [this] {
            if (QWidget* w = QApplication::activeModalWidget(); w && !done) {
                done = true;
                seen = w;
                step(w);
            }
        });
        poll.start(10);
    }
    bool done = false;
    QWidget* seen = nullptr;

private:
    std::function<void(QWidget*)> step;
    QTimer poll;
};

// Closes any modal window (Cancel, or OK where there is no Cancel), noting
// its text or title.
std::function<void(QWidget*)> closeNoting(QString* what) {
    return [what](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            *what = box->text();
            if (QAbstractButton* cancel = box->button(QMessageBox::Cancel)) cancel->click();
            else if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
            else box->reject();
            return;
        }
        *what = w->windowTitle();
        if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
    };
}

class DailyUseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { travin::testing::ensureQtApplication(); }

    void SetUp() override {
        folder = travin::testing::freshTestFolder("travin-daily");
        makeForm();
    }
    void makeForm() {
        form = std::make_unique<TMainForm>(nullptr, folder.string() + "/");
        form->workbench().screens.timer.setTimerEnabled(false);
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    void TearDown() override {
        if (form) form->workbench().state.unsavedChanges = false;
        form.reset();
        fs::remove_all(folder);
    }
    travin::Workbench& wb() { return form->workbench(); }
    QAction* action(const char* name) {
        auto* a = form->findChild<QAction*>(name);
        EXPECT_NE(a, nullptr) << name;
        return a;
    }
    std::string file(const char* name, const std::string& text = "10 END\r\n") {
        writeBytes(folder / name, text);
        return (folder / name).string();
    }

    fs::path folder;
    std::unique_ptr<TMainForm> form;
};

// --- Shortcuts ----------------------------------------------------------------

struct ShortcutCase {
    const char* entry;
    const char* keys;
    bool needsBoard;     // a Debugger entry: enabled here as with a board
    const char* reaches; // the box or dialog its handler opens
};

class ShortcutTest : public DailyUseTest, public ::testing::WithParamInterface<ShortcutCase> {};

TEST_P(ShortcutTest, TheKeyIsShownInTheMenuAndReachesTheHandler) {
    const ShortcutCase& c = GetParam();
    QAction* a = action(c.entry);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->shortcut(), QKeySequence(c.keys));
    if (std::string(c.entry) == "PrintMenu" && !QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "a default printer exists on this machine";
    // Without a board the Debugger entries are off; on, their handlers say
    // the board is not there.
    if (c.needsBoard) a->setEnabled(true);
    if (std::string(c.entry) == "NewMenu") wb().state.unsavedChanges = true;
    QString seen;
    NextModal answer(closeNoting(&seen));
    const QKeySequence keys(c.keys);
    QTest::keySequence(form.get(), keys);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.done; }, 3000)) << c.keys;
    EXPECT_EQ(seen.toStdString(), c.reaches);
}

INSTANTIATE_TEST_SUITE_P(
    Window, ShortcutTest,
    ::testing::Values(
        ShortcutCase{"NewMenu", "Ctrl+N", false, "Do you want to save the changes you made to \"Untitled.txt\""},
        ShortcutCase{"OpenMenu", "Ctrl+O", false, "Open File"},
        ShortcutCase{"SaveMenu", "Ctrl+S", false, "Save As"},
        ShortcutCase{"SaveAsMenu", "Ctrl+Shift+S", false, "Save As"},
        ShortcutCase{"PrintMenu", "Ctrl+P", false, "There is no default printer currently selected."},
        ShortcutCase{"RunMenu", "F5", true, "Travin not Detected (command not sent)"},
        ShortcutCase{"SingleStepMenu", "F10", true, "Travin not Detected (command not sent)"},
        ShortcutCase{"StopMenu", "Shift+F5", true, "Travin not Detected (command not sent)"},
        ShortcutCase{"SetBreakMenu", "F9", true, "Travin not Detected (command not sent)"}),
    [](const auto& info) { return std::string(info.param.entry); });

TEST_F(DailyUseTest, EarlierShortcutsStayAndNoKeyIsTakenTwice) {
    EXPECT_EQ(action("PlotMenu")->shortcut(), QKeySequence("Ctrl+G"));
    EXPECT_EQ(action("FindMenu")->shortcut(), QKeySequence("Ctrl+F"));
    EXPECT_EQ(action("CutMenu")->shortcut(), QKeySequence("Ctrl+X"));
    // Every entry of the menu bar's menus, submenus included.
    QList<QAction*> entries;
    std::function<void(QMenu*)> collect = [&](QMenu* menu) {
        for (QAction* a : menu->actions()) {
            entries << a;
            if (a->menu()) collect(a->menu());
        }
    };
    for (QAction* top : form->menuBar()->actions())
        if (top->menu()) collect(top->menu());
    EXPECT_GT(entries.size(), 30);
    std::map<QString, QString> owner;
    for (QAction* a : entries) {
        if (a->shortcut().isEmpty()) continue;
        const QString key = a->shortcut().toString();
        EXPECT_EQ(owner.count(key), 0u) << key.toStdString() << " on " << a->objectName().toStdString() << " and "
                                        << owner[key].toStdString();
        owner[key] = a->objectName();
    }
}

TEST_F(DailyUseTest, F3FindsTheNextHitAndOpensTheDialogWhenThereIsNothingToFind) {
    auto* find = form->findChild<travin::FindDialog*>();
    ASSERT_NE(find, nullptr);
    form->RichEdit1->setPlainText("sum\nsum\n");
    QTest::keyClick(form.get(), Qt::Key_F3);
    EXPECT_TRUE(find->isVisible());
    find->FindWhat->setText("sum");
    QTest::keyClick(find, Qt::Key_F3);
    EXPECT_EQ(form->RichEdit1->selectionStart(), 0);
    QTest::keyClick(find, Qt::Key_F3);
    EXPECT_EQ(form->RichEdit1->selectionStart(), 5);
    EXPECT_EQ(form->RichEdit1->toPlainText(), "sum\nsum\n");
}

// --- The Edit menu ---------------------------------------------------------------

TEST_F(DailyUseTest, TheEditMenuOffersUndoRedoAndSelectAllBesideTheOthers) {
    QMenu* edit = nullptr;
    for (QAction* a : form->menuBar()->actions())
        if (a->text() == "&Edit") edit = a->menu();
    ASSERT_NE(edit, nullptr);
    QStringList names;
    for (QAction* a : edit->actions())
        if (!a->isSeparator()) names << a->objectName();
    const QStringList order{"UndoMenu", "RedoMenu", "CutMenu", "CopyMenu", "PasteMenu", "SelectAllMenu", "FindMenu",
                            "FindNextMenu"};
    int last = -1;
    for (const QString& name : order) {
        const int at = names.indexOf(name);
        EXPECT_GT(at, last) << name.toStdString() << " in " << names.join(",").toStdString();
        last = at;
    }

    form->RichEdit1->setFocus();
    QTest::keyClicks(form->RichEdit1, "10 END");
    action("SelectAllMenu")->trigger();
    EXPECT_EQ(form->RichEdit1->selectionLength(), 6);
    action("UndoMenu")->trigger();
    EXPECT_EQ(form->RichEdit1->toPlainText(), "");
    action("RedoMenu")->trigger();
    EXPECT_EQ(form->RichEdit1->toPlainText(), "10 END");
}

// --- The title bar -------------------------------------------------------------------

TEST_F(DailyUseTest, TheTitleNamesTheFileAndMarksUnsavedChanges) {
    const QString dash = QString::fromUtf8(" \u2014 Travin");
    form->Habits->refresh();
    EXPECT_EQ(form->windowTitle(), "Untitled.txt" + dash);
    wb().files.OpenPathExecute(file("loop.tn"));
    form->Habits->refresh();
    EXPECT_EQ(form->windowTitle(), "loop.tn" + dash);
    form->RichEdit1->setFocus();
    QTest::keyClicks(form->RichEdit1, "x");
    form->Habits->refresh();
    EXPECT_EQ(form->windowTitle(), "*loop.tn" + dash);
    wb().monitor.noticeListingEdits();
    wb().files.FileSaveExecute();
    form->Habits->refresh();
    EXPECT_EQ(form->windowTitle(), "loop.tn" + dash);
    // The status bar keeps the file's path.
    EXPECT_EQ(form->StatusPanel->text().toStdString(), "loop.tn");
}

// --- Recent files ------------------------------------------------------------------

TEST_F(DailyUseTest, RecentFilesKeepTheLastEightNewestFirstAcrossSessions) {
    std::vector<std::string> paths;
    for (int i = 0; i < 10; ++i) paths.push_back(file(("f" + std::to_string(i) + ".tn").c_str()));
    for (const auto& p : paths) {
        wb().files.OpenPathExecute(p);
        form->Habits->refresh();
    }
    // Opened again: it moves to the front, once.
    wb().files.OpenPathExecute(paths[5]);
    form->Habits->refresh();
    QStringList want{QString::fromStdString(paths[5])};
    for (int i = 9; want.size() < 8; --i)
        if (i != 5) want << QString::fromStdString(paths[static_cast<std::size_t>(i)]);
    EXPECT_EQ(form->Habits->recentFiles(), want);
    QMenu* menu = form->Habits->recentMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 8);
    EXPECT_EQ(menu->actions()[0]->text(), "&1 f5.tn");

    // The next start reads them from the per-user settings.
    form.reset();
    makeForm();
    EXPECT_EQ(form->Habits->recentFiles(), want);
}

TEST_F(DailyUseTest, ARecentFileOpensThroughOpensOwnPath) {
    const std::string first = file("first.tn", "10 PRINT 1\r\n");
    const std::string second = file("second.tn", "20 PRINT 2\r\n");
    wb().files.OpenPathExecute(second);
    form->Habits->refresh();
    wb().files.OpenPathExecute(first);
    form->Habits->refresh();
    QMenu* menu = form->Habits->recentMenu();
    ASSERT_EQ(menu->actions().size(), 2);
    QAction* secondEntry = menu->actions()[1];
    EXPECT_EQ(secondEntry->text(), "&2 second.tn");

    // Unsaved changes: the question first; Cancel keeps the listing.
    form->RichEdit1->setFocus();
    QTest::keyClicks(form->RichEdit1, "x");
    QString asked;
    {
        NextModal answer(closeNoting(&asked));
        secondEntry->trigger();
        EXPECT_TRUE(answer.done);
    }
    EXPECT_EQ(asked.toStdString(), "Do you want to save the changes you made to \"first.tn\"");
    EXPECT_EQ(wb().state.fileName, first);

    // While the program runs, Open's refusal.
    wb().state.unsavedChanges = false;
    form->RichEdit1->setModified(false);
    wb().state.running = true;
    QString refused;
    {
        NextModal answer(closeNoting(&refused));
        secondEntry->trigger();
    }
    wb().state.running = false;
    EXPECT_EQ(refused.toStdString(), "Must Stop Travin Before Sending Open");
    EXPECT_EQ(wb().state.fileName, first);

    secondEntry->trigger();
    EXPECT_EQ(wb().state.fileName, second);
    EXPECT_EQ(form->RichEdit1->toPlainText(), "20 PRINT 2\n");
}

// --- The status bar ------------------------------------------------------------------

TEST_F(DailyUseTest, TheStatusBarShowsTheConnectionOrThePortProblem) {
    QLabel* connection = form->Habits->connectionPanel();
    form->Habits->refresh();
    EXPECT_TRUE(connection->isVisibleTo(form.get()));
    EXPECT_EQ(connection->text(), "COM1: no board");
    EXPECT_EQ(connection->toolTip(), "COM1: no board");
    form->setPortProblem("COM1: /dev/ttyS0: no such device");
    form->Habits->refresh();
    EXPECT_FALSE(connection->isVisibleTo(form.get()));
    EXPECT_TRUE(form->PortProblemPanel->isVisibleTo(form.get()));
    form->setPortProblem("");
    form->Habits->refresh();
    EXPECT_TRUE(connection->isVisibleTo(form.get()));
    EXPECT_FALSE(form->PortProblemPanel->isVisibleTo(form.get()));
    EXPECT_EQ(form->StatusPanel->text(), "Untitled.txt");
}

// --- The ACI line's history -------------------------------------------------------

TEST_F(DailyUseTest, UpAndDownInTheAciLineWalkTheCommandsSent) {
    form->ACIEdit->setFocus();
    for (const char* command : {"A = 1", "B = 2"}) {
        form->ACIEdit->setText(command);
        // Without a board the handler says so; the line is sent all the same.
        QString seen;
        NextModal answer(closeNoting(&seen));
        QTest::keyClick(form->ACIEdit, Qt::Key_Return);
    }
    form->ACIEdit->setText("C");
    const std::pair<Qt::Key, const char*> keys[] = {
        {Qt::Key_Up, "B = 2"}, {Qt::Key_Up, "A = 1"}, {Qt::Key_Down, "B = 2"}, {Qt::Key_Down, "C"}};
    for (const auto& [key, want] : keys) {
        QTest::keyClick(form->ACIEdit, key);
        EXPECT_EQ(form->ACIEdit->text(), want);
    }
}

// --- Marks ----------------------------------------------------------------------------

struct MarkCase {
    const char* name;
    int markFrom, markTo;   // widget positions of the blue mark
    int insertAt;
    const char* typed;
};

class MarkTest : public DailyUseTest, public ::testing::WithParamInterface<MarkCase> {};

TEST_P(MarkTest, NewTextNeverTakesAMarksColour) {
    const MarkCase& c = GetParam();
    travin::ListingPane* pane = form->RichEdit1;
    pane->setPlainText("10 PRINT 1\n20 END");
    QTextCursor mark = pane->textCursor();
    mark.setPosition(c.markFrom);
    mark.setPosition(c.markTo, QTextCursor::KeepAnchor);
    pane->setTextCursor(mark);
    pane->setSelectionColor(travin::kBlue);
    QTextCursor caret = pane->textCursor();
    caret.setPosition(c.insertAt);
    pane->setTextCursor(caret);
    pane->setFocus();
    QTest::keyClicks(pane, c.typed);
    const int typed = static_cast<int>(std::strlen(c.typed));
    const QColor blue(0, 0, 255);
    for (int i = 0; i < typed; ++i) EXPECT_NE(pane->shownColour(c.insertAt + i), blue) << i;
    // The marked text keeps its colour on both sides of the new text.
    for (int p = c.markFrom; p < c.markTo; ++p) {
        const int shownAt = p < c.insertAt ? p : p + typed;
        EXPECT_EQ(pane->shownColour(shownAt), blue) << p;
    }
}

INSTANTIATE_TEST_SUITE_P(Listing, MarkTest,
                         ::testing::Values(MarkCase{"AfterTheEndMark", 11, 17, 17, " REM 3"},
                                           MarkCase{"AtTheMarksStart", 11, 17, 11, "5 "},
                                           MarkCase{"InsideTheMark", 0, 10, 3, "REM "},
                                           MarkCase{"AnAssistantInsertion", 0, 11, 9, "abs(1)"}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- The virtual board from the port dialog ----------------------------------------

#ifdef TRAVIN_BOARD_EXE
TEST_F(DailyUseTest, AVirtualBoardStartedFromThePortDialogIsDetectedAndEndsWithTheWindow) {
    travin::VirtualBoardLauncher* board = form->Habits->virtualBoard();
    ASSERT_NE(board, nullptr);
    board->program = TRAVIN_BOARD_EXE;
    // COM1 has a device already: the board takes the next free number.
    fs::create_symlink("/dev/null", folder / "com1");
    auto* button = form->ComPortForm->findChild<QPushButton*>("VirtualBoardButton");
    ASSERT_NE(button, nullptr);
    form->ComPortForm->radioItems->button(0)->setChecked(true);
    EXPECT_EQ(button->text(), "Start a virtual\nboard on COM2");
    button->click();
    ASSERT_TRUE(board->running());
    EXPECT_EQ(board->comNumber(), 2);
    EXPECT_TRUE(fs::is_symlink(folder / "com2"));
    EXPECT_TRUE(form->ComPortForm->radioItems->button(1)->isChecked());
    EXPECT_EQ(button->text(), "Stop the virtual\nboard on COM2");

    // OK in the dialog selects it; the monitor finds the board there.
    wb().port.Button1Click(1);
    for (int i = 0; i < 100 && !wb().state.detected; ++i) {
        wb().monitor.BackgroundProcessTimer();
        QTest::qWait(20);
    }
    ASSERT_TRUE(wb().state.detected);
    form->Habits->refresh();
    EXPECT_EQ(form->Habits->connectionPanel()->toolTip(), "COM2: connected to Travin VB 1.0 (virtual board)");

    // Closing the window ends the board, which takes its link away.
    form.reset();
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "com2")));
}

TEST_F(DailyUseTest, ABoardThatCannotStartSaysSo) {
    travin::VirtualBoardLauncher* board = form->Habits->virtualBoard();
    QString told;
    board->tell = [&](const QString& text) { told = text; };
    board->program = QString::fromStdString((folder / "no-such-board").string());
    EXPECT_EQ(board->start(1), 0);
    EXPECT_TRUE(told.contains("cannot start")) << told.toStdString();
    // A program that ends at once, without making its link.
    writeBytes(folder / "broken-board", "#!/bin/sh\necho 'no pseudo-terminal' >&2\nexit 1\n");
    fs::permissions(folder / "broken-board", fs::perms::owner_all);
    board->program = QString::fromStdString((folder / "broken-board").string());
    EXPECT_EQ(board->start(1), 0);
    EXPECT_EQ(told, "The virtual board cannot start on COM1: no pseudo-terminal");
    EXPECT_FALSE(board->running());
}
#endif

// --- Questions that cannot be undone ---------------------------------------------

TEST(QuestionDefaults, EnterAnswersNoWhereYesCannotBeUndone) {
    travin::testing::ensureQtApplication();
    // Enter in the box: the Erase and Upload questions answer No, the
    // unsaved-changes question keeps its Yes.
    struct Case {
        bool defaultNo;
        travin::Answer byEnter;
    };
    for (const Case& c : {Case{true, travin::Answer::No}, Case{false, travin::Answer::Yes}}) {
        travin::QtNotices notices;
        bool noIsDefault = false;
        NextModal enter([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->buttons().size(), 3);
            noIsDefault = box->defaultButton() && box->standardButton(box->defaultButton()) == QMessageBox::No;
            QTest::keyClick(box, Qt::Key_Return);
        });
        const travin::Answer got = c.defaultNo ? notices.askYesNoCancelDefaultNo(" ", "Erase Travin Program from EEPROM?")
                                               : notices.askYesNoCancel("", "Do you want to save the changes");
        EXPECT_TRUE(enter.done);
        EXPECT_EQ(noIsDefault, c.defaultNo);
        EXPECT_EQ(got, c.byEnter);
    }
}

}  // namespace
