// The call editor's behaviour: layouts per entry, the mode field and its
// bit boxes, the blank-field check and the call text.
#include "AssistFakes.h"

#include "assistant/CallEditor.h"
#include "assistant/FuncAssistCatalogue.h"

#include <gtest/gtest.h>

using namespace travin;
using namespace travin::testing;

namespace {

const std::array<std::string, kMaxCallArgs> kNoArgs{};

TEST(CallEditorLayout, GetposFunctionWithOneParameter)
{
    const CallEditorLayout l = ComputeCallEditorLayout(15, true, kNoArgs);
    EXPECT_EQ(l.nameCaption, "Function Name:");
    EXPECT_EQ(l.name, "getpos");
    EXPECT_EQ(l.group, "Orlen");
    EXPECT_EQ(l.description, "Returns current position");
    EXPECT_TRUE(l.showReturn);
    EXPECT_EQ(l.returnText, "Current position (-2147483648 to +2147483647)");
    EXPECT_TRUE(l.rows[0].visible);
    EXPECT_EQ(l.rows[0].editTop, 108);
    EXPECT_EQ(l.rows[0].labelTop, 112);
    EXPECT_EQ(l.rows[0].text, "1");
    EXPECT_EQ(l.rows[0].description, "Module address (1 - 8)");
    for (int i = 1; i < kMaxCallArgs; ++i) EXPECT_FALSE(l.rows[i].visible) << i;
    for (const auto& box : l.boxes) EXPECT_FALSE(box.visible);
    EXPECT_EQ(l.buttonTop, 148);
    EXPECT_EQ(l.clientHeight, 183);
}

TEST(CallEditorLayout, GetcharFunctionWithoutParameters)
{
    const CallEditorLayout l = ComputeCallEditorLayout(0, true, kNoArgs);
    for (const auto& row : l.rows) EXPECT_FALSE(row.visible);
    EXPECT_EQ(l.buttonTop, 128);
    EXPECT_EQ(l.clientHeight, 163);
}

TEST(CallEditorLayout, SvtrajSubroutineWithModeBits)
{
    const CallEditorLayout l = ComputeCallEditorLayout(24, true, kNoArgs);
    EXPECT_EQ(l.nameCaption, "Subroutine Name:");
    EXPECT_FALSE(l.showReturn);
    const int editTops[] = {84, 104, 248, 268, 288, 308};
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(l.rows[i].visible) << i;
        EXPECT_EQ(l.rows[i].editTop, editTops[i]) << i;
        EXPECT_EQ(l.rows[i].labelTop, editTops[i] + 4) << i;
    }
    EXPECT_FALSE(l.rows[6].visible);
    for (int k = 0; k < 8; ++k) {
        EXPECT_TRUE(l.boxes[k].visible) << k;
        EXPECT_EQ(l.boxes[k].top, 128 + 14 * k) << k;
        EXPECT_EQ(l.boxes[k].caption, FuncAssistCatalogue[24].Bits[k]) << k;
    }
    EXPECT_EQ(l.buttonTop, 348);
    EXPECT_EQ(l.clientHeight, 383);
}

TEST(CallEditorLayout, ArgumentsFromCallArgsWhenNotDefaults)
{
    std::array<std::string, kMaxCallArgs> args{};
    args[0] = "10";
    const CallEditorLayout l = ComputeCallEditorLayout(12, false, args);
    EXPECT_EQ(l.rows[0].text, "10");
    EXPECT_EQ(l.rows[1].text, "") << "a never-set slot shows empty";
}

TEST(ModeFieldValue, DecimalWithOptionalSignElseMinusOne)
{
    EXPECT_EQ(ModeFieldValue(""), 0);
    EXPECT_EQ(ModeFieldValue(" \t"), 0);
    EXPECT_EQ(ModeFieldValue("256"), 256);
    EXPECT_EQ(ModeFieldValue(" 151 "), 151);
    EXPECT_EQ(ModeFieldValue("+5"), 5);
    EXPECT_EQ(ModeFieldValue("-1"), -1);
    EXPECT_EQ(ModeFieldValue("-7"), -7);
    EXPECT_EQ(ModeFieldValue("x"), -1);
    EXPECT_EQ(ModeFieldValue("12x"), -1);
    EXPECT_EQ(ModeFieldValue("0x10"), -1);
    EXPECT_EQ(ModeFieldValue("+"), -1);
    EXPECT_EQ(ModeFieldValue("+-5"), -1);
    EXPECT_EQ(ModeFieldValue("2147483647"), 2147483647);
    EXPECT_EQ(ModeFieldValue("2147483648"), -1);
}

// An editor for svtraj opened with its defaults, ready for user steps.
struct EditorRig {
    FuncAssistState state;
    FakeEditor editor;
    FakeMenu menu;
    NoticeLog notices;
    CallEditor core{state, editor, menu, notices.fn()};
};

TEST(CallEditor, SvtrajDefaultsShowTheirBitsAndBuildTheCall)
{
    EditorRig rig;
    rig.editor.steps.push_back([](FakeEditor& e) {
        const bool expected[8] = {true, true, true, false, true, false, false, true};
        for (int k = 0; k < 8; ++k) {
            EXPECT_EQ(e.checked[k], expected[k]) << "bit " << k;
            EXPECT_TRUE(e.enabled[k]) << "bit " << k;
        }
        EXPECT_EQ(e.texts[1], "151") << "synchronising must not rewrite the field";
        e.ok();
    });
    EXPECT_EQ(rig.core.ShowCallEditor(24, true), kModalOk);
    EXPECT_EQ(rig.state.CallText, "svtraj(1,151,0,100000,1000,0)");
    EXPECT_EQ(rig.menu.resultsSet, 1) << "OK closes the menu too";
}

TEST(CallEditor, ModeFieldDrivesTheBitBoxes)
{
    EditorRig rig;
    rig.editor.steps.push_back([](FakeEditor& e) {
        e.type(1, "256");
        for (int k = 0; k < 8; ++k) {
            EXPECT_TRUE(e.enabled[k]);
            EXPECT_FALSE(e.checked[k]);
        }
        EXPECT_EQ(e.texts[1], "256");
        e.click(0);
        EXPECT_EQ(e.texts[1], "1") << "the boxes replace the whole field";

        for (const char* bad : {"-1", "x", "12x"}) {
            e.type(1, bad);
            for (int k = 0; k < 8; ++k) {
                EXPECT_FALSE(e.enabled[k]) << bad;
                EXPECT_FALSE(e.checked[k]) << bad;
            }
            EXPECT_EQ(e.texts[1], bad) << "the text itself stays";
        }

        e.type(1, "");
        for (int k = 0; k < 8; ++k) {
            EXPECT_TRUE(e.enabled[k]);
            EXPECT_FALSE(e.checked[k]);
        }
        e.click(0);
        e.click(1);
        e.click(7);
        EXPECT_EQ(e.texts[1], "131");
        e.cancel();
    });
    EXPECT_EQ(rig.core.ShowCallEditor(21, true), kModalCancel);
    EXPECT_EQ(rig.state.CallText, "") << "Cancel builds no call";
    EXPECT_EQ(rig.menu.resultsSet, 0);
}

TEST(CallEditor, ClicksWhileSynchronisingAreIgnored)
{
    EditorRig rig;
    rig.editor.texts[1] = "3";
    rig.core.SyncModeBits();   // the fake raises CheckBox1Click for each change
    EXPECT_EQ(rig.editor.texts[1], "3");
    EXPECT_TRUE(rig.state.BitSyncEnabled);
    rig.state.BitSyncEnabled = false;
    rig.editor.click(5);
    EXPECT_EQ(rig.editor.texts[1], "3");
}

TEST(CallEditor, BlankFieldReshowsWithTheOtherFieldsKept)
{
    EditorRig rig;
    // iodir has three fields; blank the second.
    rig.editor.steps.push_back([](FakeEditor& e) {
        e.type(0, "4");
        e.type(1, "  ");
        e.ok();
        EXPECT_EQ(e.result, kModalReshow);
    });
    rig.editor.steps.push_back([](FakeEditor& e) {
        EXPECT_EQ(e.texts[0], "4");
        EXPECT_EQ(e.texts[1], "  ");
        EXPECT_EQ(e.texts[2], "1");
        e.type(1, "7");
        e.ok();
    });
    EXPECT_EQ(rig.core.ShowCallEditor(40, true), kModalOk);
    EXPECT_EQ(rig.editor.showings, 2);
    EXPECT_EQ(rig.editor.layouts.size(), 1u) << "the re-show keeps the fields as they were";
    ASSERT_EQ(rig.notices.shown.size(), 1u);
    EXPECT_EQ(rig.notices.shown[0], "Empty Parameter Field - Please Enter Value");
    EXPECT_EQ(rig.state.CallText, "iodir(4,7,1)");
}

TEST(CallEditor, BlankFieldThenCancelBuildsNoCall)
{
    EditorRig rig;
    rig.editor.steps.push_back([](FakeEditor& e) { e.type(0, ""); e.ok(); });
    rig.editor.steps.push_back([](FakeEditor& e) { e.cancel(); });
    EXPECT_EQ(rig.core.ShowCallEditor(15, true), kModalCancel);
    EXPECT_EQ(rig.state.CallText, "");
    EXPECT_EQ(rig.notices.shown.size(), 1u);
}

TEST(CallEditor, CallTextKeepsArgumentsAsTyped)
{
    EditorRig rig;
    rig.editor.steps.push_back([](FakeEditor& e) { e.type(0, " a "); e.ok(); });
    rig.core.ShowCallEditor(15, true);
    EXPECT_EQ(rig.state.CallText, "getpos( a )");

    rig.editor.steps.push_back([](FakeEditor& e) { e.ok(); });
    rig.core.ShowCallEditor(0, true);
    EXPECT_EQ(rig.state.CallText, "getchar()");

    rig.editor.steps.push_back([](FakeEditor& e) { e.ok(); });
    rig.core.ShowCallEditor(9, true);
    EXPECT_EQ(rig.state.CallText, "nmreset()");
}

TEST(CallEditor, HiddenFieldsOfAnEarlierEntryAreNotChecked)
{
    EditorRig rig;
    rig.editor.steps.push_back([](FakeEditor& e) { e.type(5, ""); e.cancel(); });
    rig.core.ShowCallEditor(24, true);   // svtraj: six fields, the sixth now blank
    rig.editor.steps.push_back([](FakeEditor& e) { e.ok(); });
    EXPECT_EQ(rig.core.ShowCallEditor(15, true), kModalOk);
    EXPECT_TRUE(rig.notices.shown.empty());
    EXPECT_EQ(rig.state.CallText, "getpos(1)");
}

}  // namespace
