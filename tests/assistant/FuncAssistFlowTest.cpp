// The right click in the listing through to the replaced selection, with
// fake windows scripted as a user would answer them.
#include "AssistFakes.h"

#include "assistant/FuncAssistCatalogue.h"

#include <gtest/gtest.h>

using namespace travin;
using namespace travin::testing;

namespace {

struct Rig {
    explicit Rig(std::string text, int start, int length) : listing(std::move(text), start, length) {}
    FakeListing listing;
    FakeEditor editor;
    FakeMenu menu;
    NoticeLog notices;
    FuncAssist assist{listing, menu, editor, notices.fn()};

    // The layout the editor was last filled with.
    const CallEditorLayout& lastLayout() const { return editor.layouts.back(); }
};

TEST(RichEdit1MouseDown, OnlyTheRightButtonOpensTheAssistant)
{
    Rig rig("getpos(1)", 0, 9);
    for (MouseButton b : {MouseButton::Left, MouseButton::Middle, MouseButton::Other})
        rig.assist.RichEdit1MouseDown(b);
    EXPECT_EQ(rig.editor.showings, 0);
    EXPECT_EQ(rig.menu.showings, 0);
    EXPECT_EQ(rig.listing.text, "getpos(1)");
}

TEST(RichEdit1MouseDown, FittingCallOpensTheEditorWithItsArgumentsAndIsReplaced)
{
    const std::string sel = " SVTRAJ(1, 151, 0,100000 ,1000,0) ";
    Rig rig("a\r\n" + sel + "\r\nb", 3, static_cast<int>(sel.size()));
    rig.editor.steps.push_back([](FakeEditor& e) { e.ok(); });
    rig.assist.RichEdit1MouseDown(MouseButton::Right);
    EXPECT_TRUE(rig.notices.shown.empty());
    EXPECT_EQ(rig.menu.showings, 0);
    EXPECT_EQ(rig.lastLayout().name, "svtraj");
    EXPECT_EQ(rig.lastLayout().rows[3].text, "100000");
    EXPECT_EQ(rig.listing.text, "a\r\nsvtraj(1,151,0,100000,1000,0)\r\nb");
}

TEST(RichEdit1MouseDown, BareNameGivesMismatchThenDefaults)
{
    Rig rig("x = getpos + 1", 4, 6);
    rig.editor.steps.push_back([](FakeEditor& e) { e.ok(); });
    rig.assist.RichEdit1MouseDown(MouseButton::Right);
    ASSERT_EQ(rig.notices.shown.size(), 1u);
    EXPECT_EQ(rig.notices.shown[0], "Function Parameter Mismatch - Using Defaults");
    EXPECT_EQ(rig.lastLayout().rows[0].text, "1");
    EXPECT_EQ(rig.listing.text, "x = getpos(1) + 1");
}

TEST(RichEdit1MouseDown, MismatchOpensTheOrlenEntryWithDefaults)
{
    Rig rig("stopmot(1)", 0, 10);
    rig.editor.steps.push_back([](FakeEditor& e) { e.cancel(); });
    rig.assist.RichEdit1MouseDown(MouseButton::Right);
    EXPECT_EQ(rig.notices.shown.at(0), "Function Parameter Mismatch - Using Defaults");
    EXPECT_EQ(rig.lastLayout().group, "Orlen");
    EXPECT_EQ(rig.lastLayout().rows[0].text, "1");
    EXPECT_EQ(rig.lastLayout().rows[1].text, "5");
    EXPECT_EQ(rig.listing.text, "stopmot(1)") << "Cancel changes nothing";
    EXPECT_EQ(rig.listing.replacements, 0);
}

TEST(RichEdit1MouseDown, UnknownNameShowsTheMenuAndItsCallReplacesEverything)
{
    Rig rig("A = getpos(1)", 0, 13);
    rig.menu.steps.push_back([](FakeMenu& m) { m.clickLabel(30); });   // Daska homing
    rig.editor.steps.push_back([](FakeEditor& e) {
        EXPECT_EQ(e.texts[1], "0");
        e.type(1, "3");
        e.ok();
    });
    rig.assist.RichEdit1MouseDown(MouseButton::Right);
    ASSERT_EQ(rig.notices.shown.size(), 1u);
    EXPECT_EQ(rig.notices.shown[0], "Function Name Not Recognized");
    EXPECT_EQ(rig.lastLayout().group, "Daska");
    EXPECT_EQ(rig.lastLayout().boxes[0].caption, "Home of Limit 1");
    EXPECT_EQ(rig.menu.closedWith, kModalOk) << "OK in the editor closes the menu";
    EXPECT_EQ(rig.listing.text, "homing(1,3)");
}

TEST(RichEdit1MouseDown, EmptySelectionOpensTheMenuSilentlyAndInsertsAtTheCaret)
{
    Rig rig("ab", 1, 0);
    rig.menu.steps.push_back([](FakeMenu& m) { m.clickLabel(23); });   // svgain
    rig.editor.steps.push_back([](FakeEditor& e) {
        const char* defaults[] = {"1", "100", "1000", "0", "0", "255", "0", "2000", "1", "1", "1"};
        for (int i = 0; i < 11; ++i) EXPECT_EQ(e.texts[i], defaults[i]) << i;
        e.ok();
    });
    rig.assist.RichEdit1MouseDown(MouseButton::Right);
    EXPECT_TRUE(rig.notices.shown.empty());
    EXPECT_EQ(rig.listing.text, "asvgain(1,100,1000,0,0,255,0,2000,1,1,1)b");
}

TEST(RichEdit1MouseDown, BlanksOnlyShowTheNotRecognisedNotice)
{
    Rig rig("  ", 0, 2);
    rig.menu.steps.push_back([](FakeMenu& m) { m.cancel(); });
    rig.assist.RichEdit1MouseDown(MouseButton::Right);
    EXPECT_EQ(rig.notices.shown.size(), 1u);
    EXPECT_EQ(rig.listing.text, "  ");
}

TEST(RichEdit1MouseDown, CancelledEditorLeavesTheMenuOpenForAnotherChoice)
{
    Rig rig("", 0, 0);
    rig.menu.steps.push_back([](FakeMenu& m) {
        m.clickLabel(15);
        EXPECT_TRUE(m.showing) << "a cancelled editor leaves the menu open";
    });
    rig.menu.steps.push_back([](FakeMenu& m) { m.clickLabel(0); });
    rig.editor.steps.push_back([](FakeEditor& e) { e.cancel(); });
    rig.editor.steps.push_back([](FakeEditor& e) { e.ok(); });
    rig.assist.RichEdit1MouseDown(MouseButton::Right);
    EXPECT_EQ(rig.editor.showings, 2);
    EXPECT_EQ(rig.listing.text, "getchar()");
}

TEST(RichEdit1MouseDown, MenuCancelledAfterAnEditorCancelInsertsNothing)
{
    Rig rig("", 0, 0);
    rig.menu.steps.push_back([](FakeMenu& m) { m.clickLabel(15); });
    rig.menu.steps.push_back([](FakeMenu& m) { m.cancel(); });
    rig.editor.steps.push_back([](FakeEditor& e) { e.cancel(); });
    rig.assist.RichEdit1MouseDown(MouseButton::Right);
    EXPECT_EQ(rig.listing.replacements, 0);
}

TEST(RichEdit1MouseDown, CancelAfterAnEarlierOkKeepsCallTextButInsertsNothing)
{
    Rig rig("getpos(2)", 0, 9);
    rig.editor.steps.push_back([](FakeEditor& e) { e.ok(); });
    rig.assist.RichEdit1MouseDown(MouseButton::Right);
    EXPECT_EQ(rig.listing.text, "getpos(2)");
    EXPECT_EQ(rig.listing.replacements, 1);

    rig.listing.setSelection(0, 9);
    rig.editor.steps.push_back([](FakeEditor& e) { e.type(0, "7"); e.cancel(); });
    rig.assist.RichEdit1MouseDown(MouseButton::Right);
    EXPECT_EQ(rig.assist.state().CallText, "getpos(2)");
    EXPECT_EQ(rig.listing.replacements, 1);
    EXPECT_EQ(rig.listing.text, "getpos(2)");
}

TEST(RichEdit1MouseDown, TextAfterTheCallIsKept)
{
    Rig rig("x = getpos(2) + 5\r\n", 4, 13);
    rig.editor.steps.push_back([](FakeEditor& e) {
        EXPECT_EQ(e.texts[0], "2");
        e.type(0, "3");
        e.ok();
    });
    rig.assist.RichEdit1MouseDown(MouseButton::Right);
    EXPECT_EQ(rig.listing.text, "x = getpos(3) + 5\r\n");
}

TEST(RichEdit1MouseDown, TextAfterAnUnfittingCallIsKeptToo)
{
    Rig rig("stopmot(1) ' stop", 0, 17);
    rig.editor.steps.push_back([](FakeEditor& e) { e.ok(); });
    rig.assist.RichEdit1MouseDown(MouseButton::Right);
    EXPECT_EQ(rig.listing.text, "stopmot(1,5) ' stop");
}

TEST(RichEdit1MouseDown, TextAfterACallWithAnEmptyArgumentIsKept)
{
    Rig rig("poke(1,,2) ' set", 0, 16);
    rig.editor.steps.push_back([](FakeEditor& e) { e.ok(); });
    rig.assist.RichEdit1MouseDown(MouseButton::Right);
    EXPECT_EQ(rig.notices.shown.at(0), "Function Parameter Mismatch - Using Defaults");
    EXPECT_EQ(rig.listing.text, "poke(0,0) ' set");
}

TEST(RichEdit1MouseDown, TwelveArgumentsToSvgainFallBackToDefaults)
{
    const std::string call = "svgain(1,2,3,4,5,6,7,8,9,10,11,12)";
    Rig rig(call, 0, static_cast<int>(call.size()));
    rig.editor.steps.push_back([](FakeEditor& e) { e.ok(); });
    rig.assist.RichEdit1MouseDown(MouseButton::Right);
    EXPECT_EQ(rig.notices.shown.at(0), "Function Parameter Mismatch - Using Defaults");
    EXPECT_EQ(rig.listing.text, "svgain(1,100,1000,0,0,255,0,2000,1,1,1)");
}

TEST(FuncAssist, DetachesFromTheWindowsWhenDestroyed)
{
    FakeListing listing;
    FakeEditor editor;
    FakeMenu menu;
    {
        FuncAssist assist(listing, menu, editor, [](const std::string&) {});
        EXPECT_NE(menu.events, nullptr);
        EXPECT_NE(editor.events, nullptr);
    }
    EXPECT_EQ(menu.events, nullptr);
    EXPECT_EQ(editor.events, nullptr);
}

// A board that stops while the editor is up moves the caret to the
// executing line; OK still replaces what was selected when it opened.
TEST(RichEdit1MouseDown, OkReplacesTheRangeSelectedAtOpeningWhereverTheCaretWent)
{
    struct Case {
        const char* label;
        int movedStart, movedLength;
    };
    for (const Case& c : {Case{"collapsed at the top", 0, 0}, Case{"collapsed at the end", 30, 0},
                          Case{"another range", 0, 3}}) {
        Rig rig("10 A\r\nx = getpos(1)\r\n30 END", 10, 9);
        rig.editor.steps.push_back([&rig, c](FakeEditor& e) {
            rig.listing.setSelection(c.movedStart, c.movedLength);
            e.type(0, "2");
            e.ok();
        });
        rig.assist.RichEdit1MouseDown(MouseButton::Right);
        EXPECT_EQ(rig.listing.text, "10 A\r\nx = getpos(2)\r\n30 END") << c.label;
    }
}

// Blanks at the ends of the selection that hold a line break stay, so the
// call keeps its own line and the lines around it stay apart.
TEST(RichEdit1MouseDown, LineBreaksAtTheEndsOfTheSelectionAreKept)
{
    struct Case {
        const char* label;
        std::string text;
        int start, length;
        std::string after;
    };
    const std::string text = "10 A\r\ngetpos(1)\r\n30 END";
    for (const Case& c : {Case{"line and its break", text, 6, 11, "10 A\r\ngetpos(2)\r\n30 END"},
                          Case{"break before the line", text, 4, 11, "10 A\r\ngetpos(2)\r\n30 END"},
                          Case{"both breaks and blanks", "10 A\r\n  getpos(1) \r\n30 END", 4, 16,
                               "10 A\r\ngetpos(2)\r\n30 END"},
                          Case{"bare name and its break", "getpos\r\nnext", 0, 8, "getpos(2)\r\nnext"}}) {
        Rig rig(c.text, c.start, c.length);
        rig.editor.steps.push_back([](FakeEditor& e) {
            e.type(0, "2");
            e.ok();
        });
        rig.assist.RichEdit1MouseDown(MouseButton::Right);
        EXPECT_EQ(rig.listing.text, c.after) << c.label;
    }
}

}  // namespace

