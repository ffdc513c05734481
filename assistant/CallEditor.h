// The call editor's behaviour, without a toolkit.
//
//   CallEditorLayout        what the window shows for one entry
//   ComputeCallEditorLayout captions, texts and positions for an entry
//   BuildCallText           name(arg,arg,...) from the shown fields
//   ModeFieldValue          the mode field's text as a number, -1 if none
//   CallEditorScreen        what the window must offer the core
//   FuncAssistMenuScreen    what the assistant menu window must offer
//   CallEditor              ShowCallEditor and the window's event handlers
#pragma once

#include "assistant/FuncAssistState.h"

#include <array>
#include <functional>
#include <string>

namespace travin {

// Modal results of the assistant's windows.
inline constexpr int kModalNone = 0;
inline constexpr int kModalOk = 1;
inline constexpr int kModalCancel = 2;
// The editor ended because a field was blank; it is shown again at once.
inline constexpr int kModalReshow = 1024;

inline constexpr int kModeBitCount = 8;

struct CallEditorLayout {
    std::string nameCaption;   // Label1: "Function Name:" or "Subroutine Name:"
    std::string name;          // Label4
    std::string group;         // Label5
    std::string description;   // Label6
    bool showReturn = false;   // Label18 and Label19
    std::string returnText;    // Label19

    struct Row {               // Edit1..Edit11 with Label7..Label17
        bool visible = false;
        int editTop = 0;
        int labelTop = 0;
        std::string text;      // the argument
        std::string description;
    };
    std::array<Row, kMaxCallArgs> rows;

    struct Box {               // CheckBox1..CheckBox8
        bool visible = false;
        int top = 0;
        std::string caption;
    };
    std::array<Box, kModeBitCount> boxes;
    bool hasModeBits = false;

    int buttonTop = 0;         // OK and Cancel
    int clientHeight = 0;
};

// The layout of the call editor for catalogue entry `index`: arguments are
// the entry's defaults when `defaults` is set, otherwise the CallArgs slots.
CallEditorLayout ComputeCallEditorLayout(int index, bool defaults,
                                         const std::array<std::string, kMaxCallArgs>& callArgs);

// Name, "(", the arguments exactly as given joined by ",", ")".
std::string BuildCallText(const char* name, const std::string* args, int count);

// The mode field as a number: trimmed of codes 0-32, empty counts as 0,
// otherwise a signed 32-bit decimal number; anything else is -1.
int ModeFieldValue(const std::string& text);

class CallEditorEvents {
public:
    virtual ~CallEditorEvents() = default;
    virtual void CheckBox1Click() = 0;   // any of the eight bit boxes
    virtual void Edit2KeyUp() = 0;       // a key released in the mode field
    virtual void Button1Click() = 0;     // OK
};

class CallEditorScreen {
public:
    virtual ~CallEditorScreen() = default;
    // Where the window sends its events; nullptr detaches.
    virtual void setEvents(CallEditorEvents* events) = 0;
    virtual void applyLayout(const CallEditorLayout& layout) = 0;
    // Shows the window modally as it stands; returns its modal result.
    virtual int showModal() = 0;
    // Ends the showing with `result`.
    virtual void setModalResult(int result) = 0;

    virtual std::string editText(int position) const = 0;   // 0..10
    virtual void setEditText(int position, const std::string& text) = 0;
    virtual bool editVisible(int position) const = 0;

    virtual bool bitChecked(int bit) const = 0;             // 0..7
    // Setting a box from code may raise CheckBox1Click, as a user's click
    // does; BitSyncEnabled makes those calls do nothing.
    virtual void setBit(int bit, bool enabled, bool checked) = 0;
};

class FuncAssistMenuEvents {
public:
    virtual ~FuncAssistMenuEvents() = default;
    // A click on the entry label tagged with catalogue index `tag`.
    virtual void Label1Click(int tag) = 0;
};

class FuncAssistMenuScreen {
public:
    virtual ~FuncAssistMenuScreen() = default;
    virtual void setEvents(FuncAssistMenuEvents* events) = 0;
    // Shows the menu modally; returns when it closes.
    virtual void showModal() = 0;
    // Ends the showing with `result` if the menu is showing.
    virtual void setModalResult(int result) = 0;
};

using NoticeFunction = std::function<void(const std::string&)>;

class CallEditor : public CallEditorEvents {
public:
    CallEditor(FuncAssistState& state, CallEditorScreen& screen, FuncAssistMenuScreen& menu,
               NoticeFunction showNotice);
    ~CallEditor() override;
    CallEditor(const CallEditor&) = delete;
    CallEditor& operator=(const CallEditor&) = delete;

    // Fills the window for entry `index`, shows it modally (again while a
    // blank field ends the showing), and on OK sets CallText and closes the
    // menu window with OK too. Returns the final modal result.
    int ShowCallEditor(int index, bool defaults);

    // The eight boxes from the mode field (Edit2).
    void SyncModeBits();

    void CheckBox1Click() override;
    void Edit2KeyUp() override;
    void Button1Click() override;

    // The modal result of the editor's last showing; kModalNone after
    // ClearModalResult.
    int ModalResult() const { return modalResult_; }
    void ClearModalResult() { modalResult_ = kModalNone; }

private:
    FuncAssistState& state_;
    CallEditorScreen& screen_;
    FuncAssistMenuScreen& menu_;
    NoticeFunction showNotice_;
    int modalResult_ = kModalNone;
};

}  // namespace travin
