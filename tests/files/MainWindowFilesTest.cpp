// Source files, find, print and help through the real main window
// offscreen, its menu entries triggered and its boxes answered by the test.
#include <gtest/gtest.h>

#include "tests/support/ModalAnswers.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestFolder.h"

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "app/FindDialog.h"
#include "app/HandlerBarrier.h"
#include "app/ListingPane.h"
#include "app/QtNotices.h"
#include "app/TMainForm.h"

namespace {

namespace fs = std::filesystem;
using travin::kEmptySlot;
using travin::TMainForm;

using travin::testing::readBytes;
using travin::testing::typeFileName;
using travin::testing::writeBytes;

// Answers the modal windows that open, in order, each by its own step. Only
// the newest script answers, so one made inside a helper takes over from
// the test's own until it ends.
class ModalScript {
public:
    using Step = std::function<void(QWidget*)>;
    explicit ModalScript(std::vector<Step> steps) : pending(std::move(steps)) {
        current() = this;
        QObject::connect(&poll, &QTimer::timeout, [this] {
            QWidget* w = QApplication::activeModalWidget();
            if (current() != this || !w || w == last) return;
            last = w;
            if (pending.empty()) {
                // A box nobody expected: count it and dismiss it, so the
                // test fails instead of waiting for ever.
                ++unexpected;
                if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
                return;
            }
            Step step = pending.front();
            pending.erase(pending.begin());
            ++answered;
            step(w);
        });
        poll.start(10);
    }
    ~ModalScript() {
        if (current() == this) current() = nullptr;
    }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    int answered = 0, unexpected = 0;
    std::vector<Step> pending;

private:
    static ModalScript*& current() {
        static ModalScript* newest = nullptr;
        return newest;
    }
    QTimer poll;
    QWidget* last = nullptr;
};

ModalScript::Step click(QMessageBox::StandardButton which, QString* text = nullptr) {
    return [which, text](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        if (text) *text = box->text();
        box->button(which)->click();
    };
}

ModalScript::Step choose(const QString& path, QString* preset = nullptr) {
    return [path, preset](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(d, nullptr);
        if (preset) *preset = d->selectedFiles().value(0);
        if (path.isEmpty()) {
            d->reject();
            return;
        }
        typeFileName(d, path);
        static_cast<QDialog*>(d)->accept();
    };
}

class MainWindowFilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        travin::testing::ensureQtApplication();
    }

    void SetUp() override {
        folder = travin::testing::freshTestFolder("travin-winfiles");
        form = std::make_unique<TMainForm>(nullptr, folder.string() + "/");
        form->workbench().screens.timer.setTimerEnabled(false);
        if (!form->findChild<travin::FindDialog*>())
            GTEST_SKIP() << "the main window does not create DesktopServicesQt yet";
        form->show();
    }

    void TearDown() override {
        if (form) form->workbench().state.unsavedChanges = false;
        form.reset();
        fs::remove_all(folder);
    }

    travin::Workbench& wb() { return form->workbench(); }
    void trigger(const char* entry) {
        QAction* a = form->menuEntry(entry);
        ASSERT_NE(a, nullptr) << entry;
        a->trigger();
    }
    // Typing into the listing, as the next monitor tick sees it.
    void type(const QString& text) {
        form->RichEdit1->setFocus();
        QTest::keyClicks(form->RichEdit1, text);
        wb().state.unsavedChanges = true;
        wb().state.downloadNeeded = true;
        form->RichEdit1->setModified(false);
    }
    void open(const fs::path& p) {
        ModalScript script({choose(QString::fromStdString(p.string()))});
        trigger("OpenMenu");
        ASSERT_EQ(script.answered, 1);
    }

    fs::path folder;
    std::unique_ptr<TMainForm> form;
};

TEST_F(MainWindowFilesTest, UntitledSaveGoesToSaveAsPresetWithUntitled) {
    type("10 END");
    QString preset;
    ModalScript script({choose("", &preset)});
    trigger("SaveMenu");
    EXPECT_EQ(script.answered, 1);
    EXPECT_TRUE(preset.endsWith("/Untitled.txt")) << preset.toStdString();
    EXPECT_TRUE(wb().state.unsavedChanges);
    EXPECT_EQ(form->StatusPanel->text(), "Untitled.txt");
}

TEST_F(MainWindowFilesTest, UntitledTxtInAFolderSavesStraightBackAndTheStatusShowsTheFilePart) {
    fs::create_directories(folder / "work");
    const fs::path file = folder / "work" / "Untitled.txt";
    writeBytes(file, "OLD\r\n");
    open(file);
    EXPECT_EQ(form->StatusPanel->text(), "Untitled.txt");
    EXPECT_EQ(wb().state.fileName, file.string());
    form->RichEdit1->moveCursor(QTextCursor::End);
    type("X");
    ModalScript none({});
    trigger("SaveMenu");
    EXPECT_EQ(none.unexpected, 0);
    EXPECT_EQ(readBytes(file), "OLD\r\nX\r\n");
    EXPECT_FALSE(wb().state.unsavedChanges);

    const fs::path axis = folder / "work" / "axis.tn";
    writeBytes(axis, "A");
    open(axis);
    EXPECT_EQ(form->StatusPanel->text(), "axis.tn");
    trigger("NewMenu");
    EXPECT_EQ(form->StatusPanel->text(), "Untitled.txt");
}

TEST_F(MainWindowFilesTest, NewYesThenCancelledSaveKeepsEverything) {
    type("10 KEEP");
    QString question;
    ModalScript script({click(QMessageBox::Yes, &question), choose("")});
    trigger("NewMenu");
    EXPECT_EQ(script.answered, 2);
    EXPECT_EQ(question, "Do you want to save the changes you made to \"Untitled.txt\"");
    EXPECT_EQ(form->RichEdit1->toPlainText(), "10 KEEP");
    EXPECT_EQ(wb().state.fileName, "Untitled.txt");
    EXPECT_TRUE(wb().state.unsavedChanges);
}

TEST_F(MainWindowFilesTest, AFileNameBeyondAsciiShowsTheSameInTheStatusBarTheQuestionAndTheErrorBox) {
    const QString name = QString::fromUtf8("\xc3\x9c" "bung.tn");   // U with diaeresis
    const fs::path file = folder / fs::u8path(name.toUtf8().toStdString());
    writeBytes(file, "10 END\r\n");
    open(file);
    EXPECT_EQ(form->StatusPanel->text(), name);
    type("X");
    QString question;
    {
        ModalScript script({click(QMessageBox::Cancel, &question)});
        trigger("NewMenu");
        EXPECT_EQ(script.answered, 1);
    }
    EXPECT_EQ(question, "Do you want to save the changes you made to \"" + name + "\"");

    const QString missing = QString::fromStdString(folder.string()) + "/" + QString::fromUtf8("\xc3\x84" "x.tn");
    QString error;
    ModalScript script({click(QMessageBox::No), choose(missing), [&](QWidget* w) {
                            auto* box = qobject_cast<QMessageBox*>(w);
                            ASSERT_NE(box, nullptr);
                            error = box->text();
                            box->accept();
                        }});
    trigger("OpenMenu");
    EXPECT_EQ(script.answered, 3);
    EXPECT_EQ(error, "Cannot open file " + missing + ".");
}

TEST_F(MainWindowFilesTest, NoQuestionWhenNothingChanged) {
    const fs::path file = folder / "a.tn";
    writeBytes(file, "A\r\n");
    ModalScript script({choose(QString::fromStdString(file.string()))});
    trigger("NewMenu");
    trigger("OpenMenu");
    EXPECT_EQ(script.answered, 1);   // the open dialog only
    EXPECT_EQ(script.unexpected, 0);
    EXPECT_EQ(form->RichEdit1->toPlainText(), "A\n");
    form->close();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MainWindowFilesTest, NewAndOpenClearTheBreakpointsSaveKeepsThem) {
    const fs::path file = folder / "b.tn";
    writeBytes(file, "1\r\n2\r\n3\r\n");
    open(file);
    const auto set = [&] { wb().state.breakpoints = {0, 1, 2}; };
    const auto cleared = [&] {
        return wb().state.breakpoints == std::array<std::uint16_t, 3>{kEmptySlot, kEmptySlot, kEmptySlot};
    };
    set();
    wb().state.unsavedChanges = true;
    trigger("SaveMenu");
    EXPECT_FALSE(cleared());
    open(file);
    EXPECT_TRUE(cleared());
    set();
    trigger("NewMenu");
    EXPECT_TRUE(cleared());
}

// True when no character of the listing carries a colour of its own.
bool inDefaultColour(travin::ListingPane* pane) {
    if (!pane->extraSelections().isEmpty()) return false;
    QTextCursor c(pane->document());
    while (!c.atEnd()) {
        c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        if (c.charFormat().hasProperty(QTextFormat::ForegroundBrush)) return false;
        c.clearSelection();
    }
    return !pane->textCursor().charFormat().hasProperty(QTextFormat::ForegroundBrush) &&
           !pane->currentCharFormat().hasProperty(QTextFormat::ForegroundBrush);
}

TEST_F(MainWindowFilesTest, NewAndOpenShowTheNewTextInTheDefaultColourWhereverTheCaretWas) {
    const fs::path first = folder / "first.tn", second = folder / "second.tn";
    writeBytes(first, "10 A=1\r\n20 END\r\n");
    writeBytes(second, "30 B=2\r\n40 END\r\n");
    const auto markFirstLineWithTheCaretInIt = [&] {
        form->RichEdit1->setSelection(0, 6);
        form->RichEdit1->setSelectionColor(travin::Rgb{255, 0, 0});
        form->RichEdit1->setSelection(2, 0);
        form->RichEdit1->setModified(false);
    };
    open(first);
    markFirstLineWithTheCaretInIt();
    open(second);
    EXPECT_EQ(form->RichEdit1->toPlainText(), "30 B=2\n40 END\n");
    EXPECT_TRUE(inDefaultColour(form->RichEdit1));

    markFirstLineWithTheCaretInIt();
    trigger("NewMenu");
    form->RichEdit1->setFocus();
    QTest::keyClicks(form->RichEdit1, "50 C=3");
    EXPECT_EQ(form->RichEdit1->toPlainText(), "50 C=3");
    EXPECT_TRUE(inDefaultColour(form->RichEdit1));
}

TEST_F(MainWindowFilesTest, ARefusedCloseStillWritesThePortFile) {
    type("10 A=1");
    wb().state.openPort = 3;
    ModalScript script({click(QMessageBox::Cancel)});
    form->close();
    EXPECT_EQ(script.answered, 1);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(readBytes(folder / "tnport"), "3");

    fs::remove(folder / "tnport");
    ModalScript exitScript({click(QMessageBox::No)});
    trigger("ExitMenu");
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(readBytes(folder / "tnport"), "3");
}

TEST_F(MainWindowFilesTest, AllByteValuesRoundTripThroughTheWindow) {
    std::string file;
    for (int b = 1; b <= 255; ++b) {
        if (b == '\r' || b == '\n') continue;
        file.push_back(static_cast<char>(b));
        if (b % 64 == 0) file += "\r\n";
    }
    file += "\r\n";
    writeBytes(folder / "all.tn", file);
    open(folder / "all.tn");
    wb().state.unsavedChanges = true;
    trigger("SaveMenu");
    EXPECT_EQ(readBytes(folder / "all.tn"), file);
}

TEST_F(MainWindowFilesTest, FindAAInAAAAThroughTheFindDialog) {
    form->RichEdit1->setPlainText("AAAA");
    trigger("FindMenu");
    auto* find = form->findChild<travin::FindDialog*>();
    ASSERT_TRUE(find->isVisible());
    EXPECT_EQ(find->pos(), QPoint(form->RichEdit1->x() + form->RichEdit1->width(), form->RichEdit1->y()));
    find->FindWhat->setText("AA");
    find->FindNextButton->click();
    EXPECT_EQ(form->RichEdit1->selectionStart(), 0);
    find->FindNextButton->click();
    EXPECT_EQ(form->RichEdit1->selectionStart(), 2);
    EXPECT_EQ(form->RichEdit1->selectionLength(), 2);
}

TEST_F(MainWindowFilesTest, PrintWithoutAPrinterShowsTheErrorBoxAndKeepsTheListing) {
    if (!QPrinterInfo::defaultPrinter().isNull()) GTEST_SKIP() << "a default printer exists on this machine";
    form->RichEdit1->setPlainText("10 END");
    QString text;
    ModalScript script({[&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        text = box->text();
        box->accept();
    }});
    trigger("PrintMenu");
    EXPECT_EQ(script.answered, 1);
    EXPECT_FALSE(text.isEmpty());
    EXPECT_EQ(form->RichEdit1->toPlainText(), "10 END");
}

TEST_F(MainWindowFilesTest, AMissingHelpDocumentNamesItsFullPath) {
    QString text;
    ModalScript script({[&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        text = box->text();
        box->accept();
    }});
    trigger("UserInterface1");
    EXPECT_EQ(text.toStdString(), "Browser or " + folder.string() + "/uiref.html not found");
}

// A hit that starts before the caret and runs past it is found on the wrap;
// the find dialog keeps the keys while the hit shows selected in the listing.
TEST_F(MainWindowFilesTest, FindWrapsOntoAHitAcrossTheCaretAndTheDialogKeepsTheKeys) {
    form->RichEdit1->setPlainText("ABCD");
    form->RichEdit1->setSelection(2, 0);
    trigger("FindMenu");
    auto* find = form->findChild<travin::FindDialog*>();
    find->FindWhat->setText("BC");
    find->FindNextButton->click();
    EXPECT_EQ(form->RichEdit1->selectionStart(), 1);
    EXPECT_EQ(form->RichEdit1->selectionLength(), 2);
    QTest::qWait(50);
    EXPECT_EQ(QApplication::focusWidget(), find->FindWhat);
}

// Enter, pressed wherever the keys are after each hit, is Find Next every
// time: the text stays as it was and each Enter selects the next hit.
TEST_F(MainWindowFilesTest, ThreeEntersInTheFindDialogSelectThreeHitsAndChangeNothing) {
    const QString text = "sum = 1\nsum = sum + 2\nprint sum\n";
    form->RichEdit1->setPlainText(text);
    form->RichEdit1->setSelection(0, 0);
    trigger("FindMenu");
    auto* find = form->findChild<travin::FindDialog*>();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == find->FindWhat; }, 2000));
    QTest::keyClicks(find->FindWhat, "sum");
    const int expected[] = {0, 9, 15};   // program positions: CR LF counts two
    for (int hit : expected) {
        QWidget* keys = QApplication::focusWidget();
        ASSERT_NE(keys, nullptr);
        QTest::keyClick(keys, Qt::Key_Return);
        QTest::qWait(20);
        EXPECT_EQ(form->RichEdit1->selectionStart(), hit);
        EXPECT_EQ(form->RichEdit1->selectionLength(), 3);
        EXPECT_EQ(form->RichEdit1->toPlainText(), text);
    }
    EXPECT_TRUE(find->isVisible());
    // Escape leaves the dialog for the listing, the last hit still selected.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(find->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == form->RichEdit1; }, 2000));
    EXPECT_EQ(form->RichEdit1->selectionStart(), 15);
}

// An exception out of a handler is stopped at the window: the error box
// tells it, and the window and its listing stay.
TEST_F(MainWindowFilesTest, AHandlerThatThrowsLeavesTheWindowAndItsText) {
    QStringList faults;
    travin::setHandlerFaultBox([&](const QString& text) { faults << text; });
    auto* notices = dynamic_cast<travin::QtNotices*>(&wb().screens.notices);
    ASSERT_NE(notices, nullptr);
    notices->beforeBox = [] { throw std::runtime_error("disk on fire"); };
    form->RichEdit1->setPlainText("10 PRECIOUS");

    struct Case {
        const char* label;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"menu entry", [&] {
             wb().state.running = true;   // New then shows its notice box
             trigger("NewMenu");
             wb().state.running = false;
         }},
        {"close query", [&] {
             wb().state.unsavedChanges = true;   // the close asks its question
             form->close();
         }},
    };
    for (const Case& c : cases) {
        faults.clear();
        EXPECT_NO_THROW(c.act()) << c.label;
        ASSERT_EQ(faults.size(), 1) << c.label;
        EXPECT_TRUE(faults[0].contains("disk on fire")) << c.label;
        EXPECT_TRUE(form->isVisible()) << c.label;
        EXPECT_EQ(form->RichEdit1->toPlainText(), "10 PRECIOUS") << c.label;
    }
    notices->beforeBox = nullptr;
    travin::setHandlerFaultBox(nullptr);
}

TEST_F(MainWindowFilesTest, TheFileMenuOffersExportAsPdfAfterPrint) {
    QAction* print = form->menuEntry("PrintMenu");
    QAction* pdf = form->menuEntry("ExportPdfMenu");
    ASSERT_NE(pdf, nullptr);
    EXPECT_EQ(pdf->text(), QString::fromUtf8("Export as PDF…"));
    const auto actions = form->menuBar()->actions().front()->menu()->actions();
    EXPECT_EQ(actions.indexOf(pdf), actions.indexOf(print) + 1);
}

// A folder name outside ASCII shows as the file system names it, in the
// message and in the status bar, never as one character per byte.
TEST_F(MainWindowFilesTest, ANonAsciiFolderShowsAsTheFileSystemNamesIt) {
    const QString name = QString::fromUtf8("Gr\u00fc\u00dfe \u0394\u03b9\u03ac");
    const fs::path odd = folder / QFile::encodeName(name).toStdString();
    fs::create_directories(odd);
    form = std::make_unique<TMainForm>(nullptr, odd.string() + "/");
    form->workbench().screens.timer.setTimerEnabled(false);
    form->show();

    QString text;
    ModalScript script({click(QMessageBox::Ok, &text)});
    trigger("UserInterface1");
    const QString folderShown = QFile::decodeName(QByteArray::fromStdString(odd.string()));
    EXPECT_TRUE(folderShown.endsWith(name));
    EXPECT_EQ(text, "Browser or " + folderShown + "/uiref.html not found");

    const fs::path file = odd / QFile::encodeName(name + ".tn").toStdString();
    writeBytes(file, "10 END\r\n");
    open(file);
    EXPECT_EQ(form->StatusPanel->text(), name + ".tn");
}

}  // namespace

