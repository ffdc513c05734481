// The function assistant's entry point from the listing pane.
//
// A right-button press in the listing reads the selection as a call
// (ParseCallText). A fitting call opens the call editor with its arguments,
// a known name with unfitting arguments opens it with the entry's defaults
// after a notice, and anything else opens the assistant menu window. When
// the call editor ends with OK the call it built replaces the selection as
// it was when the assistant opened (or is inserted at that caret when
// nothing was selected), wherever the caret went meanwhile; when the
// selection held text after the call's closing parenthesis, only the call
// is replaced and that text stays, and so do line breaks at either end.
//
// Wiring, once the windows exist (they need nothing but a parent):
//   auto* menu = new TFuncAssistMenuForm(mainWindow);
//   auto* edit = new TFuncAssistEditForm(mainWindow);
//   FuncAssist assist(listingView, *menu, *edit, ShowAssistMessage);
//   listing's mouse press -> assist.RichEdit1MouseDown(ToAssistButton(b));
// FuncAssist attaches itself to both windows' events and detaches when
// destroyed, so it must not outlive them. The listing should not also open
// its own context menu on the right button.
#pragma once

#include "assistant/CallEditor.h"
#include "assistant/FuncAssistState.h"

#include <memory>
#include <string>

namespace travin {

class ListingView;

// What the assistant needs of the listing pane. Positions are program
// positions (a line break counts two); texts use "\r\n" for line breaks.
class AssistListing {
public:
    virtual ~AssistListing() = default;
    virtual int selectionStart() const = 0;
    virtual int selectionLength() const = 0;
    virtual void setSelection(int start, int length) = 0;
    virtual std::string selectedText() const = 0;
    // Replaces the selection; inserts at the caret when it is empty.
    virtual void replaceSelection(const std::string& text) = 0;
};

enum class MouseButton { Left, Right, Middle, Other };

class FuncAssist : public FuncAssistMenuEvents {
public:
    FuncAssist(AssistListing& listing, FuncAssistMenuScreen& menu, CallEditorScreen& editor,
               NoticeFunction showNotice);
    // Over the main window's listing pane.
    FuncAssist(ListingView& listing, FuncAssistMenuScreen& menu, CallEditorScreen& editor,
               NoticeFunction showNotice);
    ~FuncAssist() override;
    FuncAssist(const FuncAssist&) = delete;
    FuncAssist& operator=(const FuncAssist&) = delete;

    // The listing's mouse-down: only the right button does anything;
    // modifier keys and the position play no part.
    void RichEdit1MouseDown(MouseButton button);

    // Opens the assistant on `selected`; true when the call editor ended
    // with OK, so CallText holds the call to insert.
    bool OpenFuncAssist(const std::string& selected);

    // The menu window's entry labels: the call editor with defaults.
    void Label1Click(int tag) override;

    FuncAssistState& state() { return state_; }
    CallEditor& editor() { return editor_; }

private:
    std::unique_ptr<AssistListing> ownedListing_;
    AssistListing& listing_;
    FuncAssistMenuScreen& menu_;
    FuncAssistState state_;
    CallEditor editor_;
    NoticeFunction showNotice_;
    // Length of the selection's leading part that held the parsed call.
    std::size_t callLength_ = 0;
};

}  // namespace travin
