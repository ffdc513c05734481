// Fakes of the assistant's screens for driving the core without a window.
// The editor and the menu run a scripted step per modal showing; a step
// ends the showing the way the user would (OK, Cancel, a label click).
#pragma once

#include "assistant/FuncAssist.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace travin::testing {

class FakeListing : public AssistListing {
public:
    explicit FakeListing(std::string text = "", int start = 0, int length = 0)
        : text(std::move(text)), start(start), length(length) {}
    int selectionStart() const override { return start; }
    int selectionLength() const override { return length; }
    void setSelection(int s, int l) override { start = s; length = l; }
    std::string selectedText() const override
    {
        return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
    }
    void replaceSelection(const std::string& t) override
    {
        text.replace(static_cast<std::size_t>(start), static_cast<std::size_t>(length), t);
        start += static_cast<int>(t.size());
        length = 0;
        ++replacements;
    }

    std::string text;
    int start, length;
    int replacements = 0;
};

class FakeEditor : public CallEditorScreen {
public:
    using Step = std::function<void(FakeEditor&)>;

    void setEvents(CallEditorEvents* e) override { events = e; }
    void applyLayout(const CallEditorLayout& l) override
    {
        layouts.push_back(l);
        for (int i = 0; i < kMaxCallArgs; ++i) {
            texts[i] = l.rows[i].visible ? l.rows[i].text : texts[i];
            visible[i] = l.rows[i].visible;
        }
    }
    int showModal() override
    {
        ++showings;
        result = kModalNone;
        if (steps.empty()) {
            ADD_FAILURE() << "call editor shown with no scripted step";
            return kModalCancel;
        }
        Step step = steps.front();
        steps.pop_front();
        step(*this);
        if (result == kModalNone)
            ADD_FAILURE() << "scripted step did not end the showing";
        return result;
    }
    void setModalResult(int r) override { result = r; }
    std::string editText(int p) const override { return texts[p]; }
    void setEditText(int p, const std::string& t) override { texts[p] = t; }
    bool editVisible(int p) const override { return visible[p]; }
    bool bitChecked(int b) const override { return checked[b]; }
    void setBit(int b, bool e, bool c) override
    {
        enabled[b] = e;
        const bool changed = checked[b] != c;
        checked[b] = c;
        // The toolkit raises the click handler for a state set from code.
        if (changed && events) events->CheckBox1Click();
    }

    // What a user does in the window.
    void type(int position, const std::string& t)
    {
        texts[position] = t;
        if (position == 1 && events) events->Edit2KeyUp();
    }
    void click(int bit)
    {
        checked[bit] = !checked[bit];
        if (events) events->CheckBox1Click();
    }
    void ok() { events->Button1Click(); }
    void cancel() { result = kModalCancel; }

    CallEditorEvents* events = nullptr;
    std::deque<Step> steps;
    std::vector<CallEditorLayout> layouts;
    std::string texts[kMaxCallArgs];
    bool visible[kMaxCallArgs] = {};
    bool checked[kModeBitCount] = {};
    bool enabled[kModeBitCount] = {};
    int result = kModalNone;
    int showings = 0;
};

class FakeMenu : public FuncAssistMenuScreen {
public:
    using Step = std::function<void(FakeMenu&)>;

    void setEvents(FuncAssistMenuEvents* e) override { events = e; }
    void showModal() override
    {
        ++showings;
        showing = true;
        closedWith = kModalNone;
        // The user clicks labels until a step closes the menu.
        while (showing && !steps.empty()) {
            Step step = steps.front();
            steps.pop_front();
            step(*this);
        }
        if (showing)
            ADD_FAILURE() << "menu left open with no scripted step";
        showing = false;
    }
    void setModalResult(int r) override
    {
        if (showing) { closedWith = r; showing = false; }
        ++resultsSet;
    }
    void clickLabel(int tag) { events->Label1Click(tag); }
    void cancel() { closedWith = kModalCancel; showing = false; }

    FuncAssistMenuEvents* events = nullptr;
    std::deque<Step> steps;
    bool showing = false;
    int closedWith = kModalNone;
    int showings = 0;
    int resultsSet = 0;
};

struct NoticeLog {
    std::vector<std::string> shown;
    NoticeFunction fn() { return [this](const std::string& t) { shown.push_back(t); }; }
};

}  // namespace travin::testing
