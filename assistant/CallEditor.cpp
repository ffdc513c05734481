#include "assistant/CallEditor.h"

#include "assistant/FuncAssistCatalogue.h"

#include <charconv>
#include <cstdint>

namespace travin {
namespace {

// Tops of the fixed labels the running position starts below.
constexpr int kDescriptionTop = 56;   // Label3
constexpr int kReturnTop = 80;        // Label18
constexpr int kRowStep = 20;
constexpr int kBoxStep = 14;
constexpr int kButtonHeight = 25;

}  // namespace

CallEditorLayout ComputeCallEditorLayout(int index, bool defaults,
                                         const std::array<std::string, kMaxCallArgs>& callArgs)
{
    const FuncAssistEntry& e = FuncAssistCatalogue[index];
    CallEditorLayout l;
    const bool function = (e.Flags & 0x80) != 0;
    l.nameCaption = function ? "Function Name:" : "Subroutine Name:";
    l.name = e.Name;
    l.group = GroupCaption(e.Flags);
    l.description = e.Description;
    l.showReturn = function;
    l.returnText = function ? e.ReturnText : "";
    l.hasModeBits = e.Bits != nullptr;

    int y = (function ? kReturnTop : kDescriptionTop) + 28;
    const int count = ParamCount(e.Params);
    for (int i = 0; i < count; ++i) {
        CallEditorLayout::Row& row = l.rows[static_cast<std::size_t>(i)];
        row.visible = true;
        row.text = defaults ? e.Params[i].Default : callArgs[static_cast<std::size_t>(i)];
        row.description = e.Params[i].Description;
        row.editTop = y;
        row.labelTop = y + 4;
        y += kRowStep;
        if (i == 1 && e.Bits) {
            // The mode byte's bit boxes sit between its field and the next.
            y = row.editTop + 24;
            for (int k = 0; k < kModeBitCount; ++k) {
                CallEditorLayout::Box& box = l.boxes[static_cast<std::size_t>(k)];
                box.visible = true;
                box.caption = e.Bits[k];
                box.top = y;
                y += kBoxStep;
            }
            y += 8;
        }
    }
    y += 20;
    l.buttonTop = y;
    l.clientHeight = y + kButtonHeight + 10;
    return l;
}

std::string BuildCallText(const char* name, const std::string* args, int count)
{
    std::string text = name;
    text += '(';
    for (int i = 0; i < count; ++i) {
        if (i > 0) text += ',';
        text += args[i];
    }
    text += ')';
    return text;
}

int ModeFieldValue(const std::string& text)
{
    const std::string t = TrimControls(text);
    if (t.empty())
        return 0;
    // from_chars takes no '+'; a sign is optional either way.
    const char* first = t.data();
    const char* last = t.data() + t.size();
    if (*first == '+' && t.size() > 1 && first[1] != '-') ++first;
    std::int32_t value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value, 10);
    if (ec != std::errc() || ptr != last)
        return -1;
    return value;
}

CallEditor::CallEditor(FuncAssistState& state, CallEditorScreen& screen, FuncAssistMenuScreen& menu,
                       NoticeFunction showNotice)
    : state_(state), screen_(screen), menu_(menu), showNotice_(std::move(showNotice))
{
    screen_.setEvents(this);
}

CallEditor::~CallEditor() { screen_.setEvents(nullptr); }

int CallEditor::ShowCallEditor(int index, bool defaults)
{
    if (index < 0 || index >= FuncAssistEntryCount)
        return modalResult_ = kModalCancel;
    const CallEditorLayout layout = ComputeCallEditorLayout(index, defaults, state_.CallArgs);
    screen_.applyLayout(layout);
    if (layout.hasModeBits)
        SyncModeBits();

    int result;
    do {
        // A blank field ended the showing; the fields are still as typed.
        result = screen_.showModal();
    } while (result == kModalReshow);
    modalResult_ = result;

    if (result == kModalOk) {
        const FuncAssistEntry& e = FuncAssistCatalogue[index];
        const int count = ParamCount(e.Params);
        std::array<std::string, kMaxCallArgs> args;
        for (int i = 0; i < count; ++i)
            args[static_cast<std::size_t>(i)] = screen_.editText(i);
        state_.CallText = BuildCallText(e.Name, args.data(), count);
        menu_.setModalResult(kModalOk);
    }
    return result;
}

void CallEditor::SyncModeBits()
{
    state_.BitSyncEnabled = false;
    const int value = ModeFieldValue(screen_.editText(1));
    for (int k = 0; k < kModeBitCount; ++k) {
        if (value < 0)
            screen_.setBit(k, false, false);
        else
            screen_.setBit(k, true, ((value >> k) & 1) != 0);
    }
    state_.BitSyncEnabled = true;
}

void CallEditor::CheckBox1Click()
{
    if (!state_.BitSyncEnabled)
        return;
    unsigned value = 0;
    for (int k = 0; k < kModeBitCount; ++k)
        if (screen_.bitChecked(k))
            value += 1u << k;
    screen_.setEditText(1, std::to_string(value));
}

void CallEditor::Edit2KeyUp() { SyncModeBits(); }

void CallEditor::Button1Click()
{
    for (int i = 0; i < kMaxCallArgs; ++i) {
        if (!screen_.editVisible(i))
            continue;
        if (TrimControls(screen_.editText(i)).empty()) {
            showNotice_("Empty Parameter Field - Please Enter Value");
            screen_.setModalResult(kModalReshow);
            return;
        }
    }
    screen_.setModalResult(kModalOk);
}

}  // namespace travin
