// The listing that knows Travin, offscreen: gutter numbers when scrolled, a
// gutter click as the Break button, colours that stay out of the undo
// history and the modification mark, the marks drawn over the colours, a
// problem underlined after the pause and gone once fixed, completion, Go to
// line, and a printed copy that the colours leave as it was.
#include <gtest/gtest.h>

#include "tests/support/WindowBoard.h"
#include "tests/support/QtTestApp.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QCompleter>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <QTextBlock>
#include <QTextLayout>
#include <cstdlib>
#include <filesystem>

#include "app/DesktopServicesQt.h"
#include "app/ListingAids.h"
#include "app/ListingCompleter.h"
#include "app/ListingGutter.h"
#include "app/ListingHighlighter.h"
#include "app/ListingPane.h"
#include "app/ListingProblems.h"
#include "app/QtNotices.h"
#include "app/TMainForm.h"
#include "board/VirtualBoard.h"

namespace travin {
namespace {

std::vector<std::string> numberedLines(int count) {
    std::vector<std::string> lines;
    for (int i = 1; i <= count; ++i) lines.push_back("print " + std::to_string(i));
    return lines;
}

// The colour the highlighter gave the character at `column` of `line`, and
// whether it is underlined as a problem.
struct Shown {
    QColor colour;
    bool underlined = false;
};
Shown shownAt(const QTextDocument& doc, int line, int column) {
    const QTextBlock block = doc.findBlockByNumber(line);
    Shown s;
    for (const QTextLayout::FormatRange& r : block.layout()->formats()) {
        if (column < r.start || column >= r.start + r.length) continue;
        if (r.format.hasProperty(QTextFormat::ForegroundBrush)) s.colour = r.format.foreground().color();
        if (r.format.underlineStyle() == QTextCharFormat::WaveUnderline) s.underlined = true;
    }
    return s;
}

class ListingAidsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { travin::testing::ensureQtApplication(); }

    void SetUp() override {
        folder = std::filesystem::temp_directory_path() / ("travin-aids-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        form.reset();
        board.reset();
        std::filesystem::remove_all(folder);
    }

    void openWindow(bool withBoard) {
        if (withBoard) {
            board = travin::testing::startWindowBoard(folder);
        }
        form = std::make_unique<TMainForm>(nullptr, folder.string() + "/");
        if (!withBoard) form->workbench().screens.timer.setTimerEnabled(false);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    ListingPane& pane() { return *form->RichEdit1; }
    ListingAids& aids() { return *form->listingAids(); }
    bool waitForParse() {
        QSignalSpy shown(aids().problems, &ListingProblems::problemsShown);
        return shown.wait(5000);
    }
    // The gutter's y at the middle of a line.
    int gutterY(int line) {
        const QRect caret = pane().cursorRect(QTextCursor(pane().document()->findBlockByNumber(line)));
        return caret.center().y() + pane().viewport()->y() - aids().gutter->y();
    }

    std::filesystem::path folder;
    std::unique_ptr<vboard::VirtualBoard> board;
    std::unique_ptr<TMainForm> form;
};

TEST_F(ListingAidsTest, GutterNumbersFollowTheScrolledListingInsideThePane) {
    openWindow(false);
    const QRect paneBefore = pane().geometry();
    pane().setLines(numberedLines(300));
    ListingGutter& gutter = *aids().gutter;
    EXPECT_EQ(pane().geometry(), paneBefore) << "the pane keeps its place and size";
    EXPECT_GT(gutter.width(), 3 * pane().fontMetrics().horizontalAdvance('9'));
    EXPECT_EQ(pane().viewport()->x(), gutter.x() + gutter.width()) << "the text starts right of the gutter";
    EXPECT_EQ(gutter.visibleLines().first, 0);
    EXPECT_EQ(gutter.lineAt(gutterY(0)), 0);

    // Scrolled down by 200 lines: the gutter numbers start there.
    const QTextBlock line200 = pane().document()->findBlockByNumber(200);
    pane().verticalScrollBar()->setValue(
        static_cast<int>(pane().document()->documentLayout()->blockBoundingRect(line200).top()));
    const auto [first, last] = gutter.visibleLines();
    EXPECT_EQ(first, 200);
    EXPECT_EQ(pane().cursorForPosition(QPoint(1, 1)).blockNumber(), 200) << "as the text shows it";
    EXPECT_GT(last, 210);
    EXPECT_LT(last, 240);
    EXPECT_EQ(gutter.lineAt(gutterY(first + 3)), first + 3);
    EXPECT_EQ(pane().cursorForPosition(QPoint(0, gutterY(first + 3) - pane().viewport()->y() + gutter.y()))
                  .blockNumber(), first + 3) << "the number stands level with its line";

    // Drawn: the gutter is painted, not left blank.
    const QImage image = gutter.grab().toImage();
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 160 ? 1 : 0;
    EXPECT_GT(dark, 50);
}

TEST_F(ListingAidsTest, GutterMarksFollowTheListingsMarks) {
    openWindow(false);
    pane().setLines({"print 1", "print 2", "print 3"});
    const auto mark = [&](int line, Rgb colour) {
        const QTextBlock b = pane().document()->findBlockByNumber(line);
        pane().setSelection(pane().lineStart(line), b.length() - 1 + 2);
        pane().setSelectionColor(colour);
    };
    mark(0, kRed);
    mark(1, kBlue);
    mark(2, kMagenta);
    const ListingGutter& g = *aids().gutter;
    EXPECT_TRUE(g.marksOf(0).breakpoint);
    EXPECT_FALSE(g.marksOf(0).executing);
    EXPECT_FALSE(g.marksOf(1).breakpoint);
    EXPECT_TRUE(g.marksOf(1).executing);
    EXPECT_TRUE(g.marksOf(2).breakpoint && g.marksOf(2).executing);
}

TEST_F(ListingAidsTest, GutterClickSetsAndClearsTheBreakpointAsTheBreakButtonDoes) {
    openWindow(true);
    Workbench& wb = form->workbench();
    ASSERT_TRUE(QTest::qWaitFor([&] { return wb.state.detected; }, 8000)) << "the monitor finds the board";
    pane().setLines({"print 1", "print 2", "print 3", "end"});
    ListingGutter& gutter = *aids().gutter;

    QTest::mouseClick(&gutter, Qt::LeftButton, {}, QPoint(gutter.width() / 2, gutterY(1)));
    EXPECT_EQ(wb.state.breakpoints[0], 1);
    EXPECT_EQ(pane().shownColour(pane().document()->findBlockByNumber(1).position()), QColor(255, 0, 0));
    EXPECT_TRUE(gutter.marksOf(1).breakpoint);

    // The Break button on another line, then the gutter on the first again.
    pane().setTextCursor(QTextCursor(pane().document()->findBlockByNumber(2)));
    form->BreakButton->click();
    EXPECT_TRUE(gutter.marksOf(2).breakpoint);
    QTest::mouseClick(&gutter, Qt::LeftButton, {}, QPoint(gutter.width() / 2, gutterY(1)));
    EXPECT_FALSE(gutter.marksOf(1).breakpoint);
    EXPECT_EQ(std::count(wb.state.breakpoints.begin(), wb.state.breakpoints.end(), 1), 0);
    EXPECT_EQ(std::count(wb.state.breakpoints.begin(), wb.state.breakpoints.end(), 2), 1);

    // The Break button's rules hold: a fourth breakpoint is refused with
    // the button's notice, and the three stay.
    QTest::mouseClick(&gutter, Qt::LeftButton, {}, QPoint(gutter.width() / 2, gutterY(0)));
    QTest::mouseClick(&gutter, Qt::LeftButton, {}, QPoint(gutter.width() / 2, gutterY(3)));
    EXPECT_EQ(std::count(wb.state.breakpoints.begin(), wb.state.breakpoints.end(), kEmptySlot), 0);
    auto* notices = dynamic_cast<QtNotices*>(&wb.screens.notices);
    ASSERT_NE(notices, nullptr);
    QString refusal;
    notices->beforeBox = [&refusal] {
        QTimer::singleShot(0, [&refusal] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                refusal = box->text();
                box->close();
            }
        });
    };
    const auto before = wb.state.breakpoints;
    QTest::mouseClick(&gutter, Qt::LeftButton, {}, QPoint(gutter.width() / 2, gutterY(1)));
    EXPECT_EQ(refusal, "Allowed number of breakpoints exceded");
    EXPECT_EQ(wb.state.breakpoints, before);
    EXPECT_FALSE(gutter.marksOf(1).breakpoint);
}

TEST_F(ListingAidsTest, WithoutABoardTheGutterSetsNothingAsTheButtonIsOff) {
    openWindow(false);
    pane().setLines({"print 1", "print 2"});
    ASSERT_FALSE(form->BreakButton->isEnabled());
    QTest::mouseClick(aids().gutter, Qt::LeftButton, {}, QPoint(5, gutterY(1)));
    for (auto slot : form->workbench().state.breakpoints) EXPECT_EQ(slot, kEmptySlot);
}

TEST_F(ListingAidsTest, ColoursOnWordsButNotInTheUndoHistoryNorTheModifiedMark) {
    openWindow(false);
    pane().setLines({"top:", "if getpos(1) > 0x10 then ' far", "  print \"far\"", "endif", "goto top"});
    pane().setModified(false);
    QTextDocument& doc = *pane().document();
    EXPECT_EQ(shownAt(doc, 1, 0).colour, ListingHighlighter::keywordColour());
    EXPECT_EQ(shownAt(doc, 1, 3).colour, ListingHighlighter::builtinColour());
    EXPECT_EQ(shownAt(doc, 1, 15).colour, ListingHighlighter::numberColour());
    EXPECT_EQ(shownAt(doc, 1, 26).colour, ListingHighlighter::commentColour());
    EXPECT_EQ(shownAt(doc, 2, 8).colour, ListingHighlighter::textColour());
    EXPECT_EQ(shownAt(doc, 0, 0).colour, ListingHighlighter::labelColour());
    EXPECT_EQ(shownAt(doc, 4, 5).colour, ListingHighlighter::labelColour());
    EXPECT_FALSE(shownAt(doc, 1, 11).colour.isValid()) << "the module number 1 is a number";
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(doc.availableUndoSteps(), 0);
    EXPECT_EQ(pane().lines()[1], "if getpos(1) > 0x10 then ' far");

    // Typed text is coloured at once; the colours and a problem's underline
    // add no undo step; undoing the typing leaves the text as it was,
    // coloured, and the mark clear.
    pane().setTextCursor(QTextCursor(doc.findBlockByNumber(4)));
    QTest::keyClicks(&pane(), "A = 1 +");
    QTest::keyClick(&pane(), Qt::Key_Return);
    EXPECT_EQ(shownAt(doc, 4, 4).colour, ListingHighlighter::numberColour());
    EXPECT_TRUE(doc.isModified());
    const int steps = doc.availableUndoSteps();
    ASSERT_TRUE(waitForParse());
    EXPECT_TRUE(shownAt(doc, 4, 6).underlined) << "the value missing after '+'";
    EXPECT_EQ(doc.availableUndoSteps(), steps);
    while (doc.isUndoAvailable()) doc.undo();
    EXPECT_EQ(pane().lines()[4], "goto top");
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(shownAt(doc, 4, 0).colour, ListingHighlighter::keywordColour());
}

TEST_F(ListingAidsTest, MarksAreDrawnOverTheColours) {
    openWindow(false);
    pane().setLines({"print getpos(1)", "print getpos(1)"});
    pane().setSelection(0, pane().lineStart(1));
    pane().setSelectionColor(kRed);
    pane().setSelection(0, 0);
    const QImage image = pane().viewport()->grab().toImage();
    const int lineHeight = pane().fontMetrics().height();
    // Line 1 (marked): every inked pixel red. Line 2: the quiet colours.
    int red = 0, otherInk = 0, coloured = 0;
    for (int y = 2; y < lineHeight; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qGray(c.rgb()) > 200) continue;
            if (c.red() > c.green() + 60 && c.red() > c.blue() + 60) ++red;
            else ++otherInk;
        }
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y + lineHeight);
            if (qGray(c.rgb()) < 200 && (c.green() > c.red() + 20 || c.red() > c.blue() + 40)) ++coloured;
        }
    }
    EXPECT_GT(red, 30);
    EXPECT_LT(otherInk, red / 10) << "the colours show through the mark";
    EXPECT_GT(coloured, 30) << "the unmarked line is coloured";
}

TEST_F(ListingAidsTest, AProblemIsUnderlinedAfterThePauseAndGoneWhenFixed) {
    openWindow(false);
    pane().setFocus();
    QTest::keyClicks(&pane(), "print 1");
    QTest::keyClick(&pane(), Qt::Key_Return);
    QTest::keyClicks(&pane(), "goto nowhere");
    EXPECT_FALSE(shownAt(*pane().document(), 1, 5).underlined) << "nothing is marked while typing";
    const int steps = pane().document()->availableUndoSteps();
    const bool modified = pane().document()->isModified();
    ASSERT_TRUE(waitForParse());
    EXPECT_EQ(pane().document()->availableUndoSteps(), steps) << "the underline added no undo step";
    EXPECT_EQ(pane().document()->isModified(), modified);
    EXPECT_TRUE(shownAt(*pane().document(), 1, 5).underlined);
    EXPECT_TRUE(shownAt(*pane().document(), 1, 11).underlined);
    EXPECT_FALSE(shownAt(*pane().document(), 1, 3).underlined);
    EXPECT_EQ(aids().problems->count(), 1);
    EXPECT_EQ(aids().problems->panel()->toolTip(), "1 problem  |  Line 2: unknown label 'nowhere'");

    // The caret elsewhere: only the count.
    pane().setTextCursor(QTextCursor(pane().document()->findBlockByNumber(0)));
    EXPECT_EQ(aids().problems->panel()->toolTip(), "1 problem");

    QTextCursor end(pane().document());
    end.movePosition(QTextCursor::End);
    pane().setTextCursor(end);
    QTest::keyClick(&pane(), Qt::Key_Return);
    QTest::keyClicks(&pane(), "nowhere:");
    ASSERT_TRUE(waitForParse());
    EXPECT_FALSE(shownAt(*pane().document(), 1, 5).underlined);
    EXPECT_EQ(aids().problems->count(), 0);
    EXPECT_EQ(aids().problems->panel()->toolTip(), "No problems");

    // A constant argument the built-in refuses: underlined at the argument,
    // in the words the board stops with.
    QTest::keyClick(&pane(), Qt::Key_Return);
    QTest::keyClicks(&pane(), "A = peek(5000)");
    ASSERT_TRUE(waitForParse());
    EXPECT_TRUE(shownAt(*pane().document(), 3, 10).underlined);
    EXPECT_FALSE(shownAt(*pane().document(), 3, 5).underlined);
    EXPECT_EQ(aids().problems->panel()->toolTip(),
              "1 problem  |  Line 4: Stops here when run: address 5000 is not 0 to 4095");
}

TEST_F(ListingAidsTest, ProblemsDoNotStopTheDownload) {
    openWindow(true);
    Workbench& wb = form->workbench();
    ASSERT_TRUE(QTest::qWaitFor([&] { return wb.state.detected; }, 8000));
    pane().setLines({"print 1", "frobnicate 3"});
    aids().problems->parseNow();
    ASSERT_TRUE(waitForParse());
    ASSERT_EQ(aids().problems->count(), 1);
    form->menuEntry("DownloadMenu")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !wb.state.downloadNeeded; }, 8000));
    EXPECT_EQ(board->program(), "print 1\r\nfrobnicate 3\r\n");
}

TEST_F(ListingAidsTest, CompletionOffersGetposAfterGetpAndInsertsIt) {
    openWindow(false);
    pane().setFocus();
    QTest::keyClicks(&pane(), "A = getp");
    QTest::keyClick(&pane(), Qt::Key_Space, Qt::ControlModifier);
    QCompleter* completer = aids().completer->completer();
    ASSERT_TRUE(completer->popup()->isVisible());
    ASSERT_EQ(completer->completionCount(), 1);
    const QModelIndex first = completer->completionModel()->index(0, 0);
    EXPECT_TRUE(first.data().toString().startsWith("getpos(module address)"));
    EXPECT_TRUE(first.data().toString().endsWith("Returns current position"));
    QTest::keyClick(completer->popup(), Qt::Key_Return);
    EXPECT_FALSE(completer->popup()->isVisible());
    EXPECT_EQ(pane().toPlainText(), "A = getpos()");
    EXPECT_EQ(pane().textCursor().positionInBlock(), 11) << "the caret between the parentheses";
    EXPECT_EQ(aids().problems->panel()->toolTip().section("  |  ", -1), "getpos 1/1: Module address (1 - 8); 1 to 8");
}

TEST_F(ListingAidsTest, CompletionOffersLabelsAfterGotoAndShowsTheParameterInACall) {
    openWindow(false);
    pane().setLines({"start:", "stop_here:", "goto st"});
    QTextCursor end(pane().document());
    end.movePosition(QTextCursor::End);
    pane().setTextCursor(end);
    pane().setFocus();
    QTest::keyClick(&pane(), Qt::Key_Space, Qt::ControlModifier);
    QCompleter* completer = aids().completer->completer();
    ASSERT_EQ(completer->completionCount(), 2);
    QTest::keyClicks(completer->popup(), "o");   // typing on narrows the list
    ASSERT_EQ(completer->completionCount(), 1);
    QTest::keyClick(completer->popup(), Qt::Key_Return);
    EXPECT_EQ(pane().lines()[2], "goto stop_here");

    QTest::keyClick(&pane(), Qt::Key_Return);
    QTest::keyClicks(&pane(), "svgain(1, 2, 3, 4, 5, 6, 7, 8, ");
    EXPECT_TRUE(aids().problems->panel()->toolTip().contains("svgain 9/11: Servo rate divisor (1 to 255); 1 to 255"))
        << aids().problems->panel()->toolTip().toStdString();
    // Also just above the caret, and gone when the call is closed.
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "svgain 9/11: Servo rate divisor (1 to 255); 1 to 255");
    QTest::keyClicks(&pane(), "9, 10, 11)");
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 3000));
}

TEST_F(ListingAidsTest, GoToLineOnCtrlL) {
    openWindow(false);
    pane().setLines(numberedLines(300));
    QAction* entry = form->menuEntry("GoToLineMenu");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->shortcut(), QKeySequence("Ctrl+L"));
    goToLine(&pane(), 250);
    EXPECT_EQ(pane().textCursor().blockNumber(), 249);
    const auto [first, last] = aids().gutter->visibleLines();
    EXPECT_TRUE(first <= 249 && 249 <= last);
    goToLine(&pane(), 9999);
    EXPECT_EQ(pane().textCursor().blockNumber(), 299);
}

// The printed copy of a coloured listing is the copy of the same listing
// with no colours: same pixels, page by page.
TEST_F(ListingAidsTest, PrintAndPdfCopiesAreUnchangedByTheColours) {
    openWindow(false);
    const std::vector<std::string> program{"top:", "A = getpos(1) ' where", "print \"A=\"; A", "goto top"};
    pane().setLines(program);
    pane().setSelection(pane().lineStart(1), pane().lineStart(2) - pane().lineStart(1));
    pane().setSelectionColor(kRed);
    aids().problems->parseNow();
    waitForParse();

    ListingPane plain;
    plain.setFont(pane().font());
    plain.document()->setDefaultFont(pane().document()->defaultFont());
    plain.setLines(program);
    plain.setSelection(plain.lineStart(1), plain.lineStart(2) - plain.lineStart(1));
    plain.setSelectionColor(kRed);

    const QSizeF page(600, 800);
    const auto render = [&](const QTextEdit& source) {
        auto copy = DesktopServicesQt::pagedCopy(source, page);
        QImage image(page.toSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        DesktopServicesQt::paintPage(*copy, 0, painter);
        return image;
    };
    const QImage coloured = render(pane());
    const QImage bare = render(plain);
    EXPECT_EQ(coloured, bare);
    // And the copy still carries the mark's red.
    bool red = false;
    for (int y = 0; y < bare.height() && !red; ++y)
        for (int x = 0; x < bare.width() && !red; ++x) red = bare.pixelColor(x, y) == QColor(255, 0, 0);
    EXPECT_TRUE(red);
}

// The whole window as a user sees it: a coloured program, a breakpoint from
// the gutter and a problem underlined. With TRAVIN_SCREENSHOT set the
// picture is also saved there (the help pages' figure is made this way).
TEST_F(ListingAidsTest, TheWindowShowsColoursABreakpointDotAndAProblem) {
    openWindow(true);
    Workbench& wb = form->workbench();
    ASSERT_TRUE(QTest::qWaitFor([&] { return wb.state.detected; }, 8000));
    pane().setLines({"' Homing the servo, then report where it stopped", "home:", "  homing(1, 9)",
                     "  svtraj(1, 151, 20000, 100000, 1000, 0)", "  waitmove(1)", "  P = getpos(1)",
                     "  if P > 0x4E20 then", "    print \"past the goal: \"; P", "  endif", "  gosub reprt", "end",
                     "report:", "  print \"at \"; getpos(1)", "  return"});
    pane().setModified(false);
    aids().problems->parseNow();
    ASSERT_TRUE(waitForParse());
    ListingGutter& gutter = *aids().gutter;
    QTest::mouseClick(&gutter, Qt::LeftButton, {}, QPoint(gutter.width() / 2, gutterY(5)));
    ASSERT_TRUE(gutter.marksOf(5).breakpoint);
    pane().setTextCursor(QTextCursor(pane().document()->findBlockByNumber(9)));
    QApplication::processEvents();

    const QImage window = form->grab().toImage();
    const QPoint gutterAt = gutter.mapTo(form.get(), QPoint(0, 0));
    const int dotY = gutterAt.y() + gutterY(5);
    bool dot = false;
    for (int x = gutterAt.x(); x < gutterAt.x() + 12 && !dot; ++x) dot = window.pixelColor(x, dotY) == QColor(Qt::red);
    EXPECT_TRUE(dot) << "the breakpoint's dot in the gutter";
    EXPECT_EQ(aids().problems->panel()->toolTip(), "1 problem  |  Line 10: unknown label 'reprt'");
    EXPECT_TRUE(shownAt(*pane().document(), 9, 8).underlined);
    if (const char* dir = std::getenv("TRAVIN_SCREENSHOT")) {
        const QImage shown = form->grab().toImage();
        EXPECT_TRUE(shown.save(QString::fromLocal8Bit(dir) + "/listing-knows-travin.png"));
    }
}

}  // namespace
}  // namespace travin
