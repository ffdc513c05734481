#include "assistant/FuncAssist.h"

#include "core/ScreenInterfaces.h"
#include "assistant/FuncAssistCatalogue.h"

#include <algorithm>

namespace travin {
namespace {

class ListingViewAdapter final : public AssistListing {
public:
    explicit ListingViewAdapter(ListingView& view) : view_(view) {}
    int selectionStart() const override { return view_.selectionStart(); }
    int selectionLength() const override { return view_.selectionLength(); }
    void setSelection(int start, int length) override { view_.setSelection(start, length); }
    std::string selectedText() const override { return view_.selectedText(); }
    void replaceSelection(const std::string& text) override { view_.replaceSelection(text); }

private:
    ListingView& view_;
};

}  // namespace

FuncAssist::FuncAssist(AssistListing& listing, FuncAssistMenuScreen& menu, CallEditorScreen& editor,
                       NoticeFunction showNotice)
    : listing_(listing), menu_(menu), editor_(state_, editor, menu, showNotice),
      showNotice_(std::move(showNotice))
{
    menu_.setEvents(this);
}

FuncAssist::FuncAssist(ListingView& listing, FuncAssistMenuScreen& menu, CallEditorScreen& editor,
                       NoticeFunction showNotice)
    : ownedListing_(std::make_unique<ListingViewAdapter>(listing)), listing_(*ownedListing_),
      menu_(menu), editor_(state_, editor, menu, showNotice), showNotice_(std::move(showNotice))
{
    menu_.setEvents(this);
}

FuncAssist::~FuncAssist() { menu_.setEvents(nullptr); }

void FuncAssist::RichEdit1MouseDown(MouseButton button)
{
    if (button != MouseButton::Right)
        return;
    // The range is taken now: the monitor ticks inside the assistant's
    // windows, and a stop moves the caret to the executing line.
    const int start = listing_.selectionStart();
    const std::string selected = listing_.selectedText();
    if (!OpenFuncAssist(selected))
        return;
    // Only the call's part is replaced: text after the call stays, and so do
    // blanks at either end that hold a line break, so that the lines around
    // it stay apart.
    std::size_t from = 0;
    std::size_t to = std::min(callLength_, selected.size());
    for (std::size_t i = 0; i < to && static_cast<unsigned char>(selected[i]) <= 32; ++i) {
        if (selected[i] == '\n' || selected[i] == '\r')
            from = i + 1;
    }
    std::size_t blanksFrom = to;
    while (blanksFrom > from && static_cast<unsigned char>(selected[blanksFrom - 1]) <= 32)
        --blanksFrom;
    for (std::size_t i = blanksFrom; i < to; ++i) {
        if (selected[i] == '\n' || selected[i] == '\r') {
            to = i;
            break;
        }
    }
    listing_.setSelection(start + static_cast<int>(from), static_cast<int>(to - from));
    listing_.replaceSelection(state_.CallText);
}

bool FuncAssist::OpenFuncAssist(const std::string& selected)
{
    editor_.ClearModalResult();
    int index = -1;
    callLength_ = selected.size();
    if (ParseCallText(state_, selected, index, &callLength_)) {
        editor_.ShowCallEditor(index, false);
    } else if (index < 0) {
        callLength_ = selected.size();
        if (!selected.empty())
            showNotice_("Function Name Not Recognized");
        menu_.showModal();
    } else {
        showNotice_("Function Parameter Mismatch - Using Defaults");
        editor_.ShowCallEditor(index, true);
    }
    return editor_.ModalResult() == kModalOk;
}

void FuncAssist::Label1Click(int tag)
{
    if (tag < 0 || tag >= FuncAssistEntryCount)
        return;
    editor_.ShowCallEditor(tag, true);
}

}  // namespace travin
