// Small fakes of the screen interfaces, for driving the workbench core in
// tests without any window. Each records what the core asked of it and
// answers from queues the test fills.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <algorithm>
#include <string>
#include <thread>
#include <chrono>
#include <vector>

#include "core/ScreenInterfaces.h"
#include "workbench/Workbench.h"

namespace travin::testing {

// A listing held as lines; positions count each line break as two.
class FakeListing : public ListingView {
public:
    std::vector<std::string> text;          // the lines
    std::vector<Rgb> colours;               // one per program position
    int selStart = 0, selLength = 0;
    bool modifiedMark = false;
    int focusCount = 0, scrollCount = 0;
    Rgb defaultColour{0, 0, 0};

    std::vector<std::string> lines() const override { return text; }
    int lineCount() const override { return static_cast<int>(text.size()); }
    int lineStart(int line) const override {
        int pos = 0;
        for (int i = 0; i < line && i < lineCount(); ++i) pos += static_cast<int>(text[i].size()) + 2;
        return pos;
    }
    int textLength() const override {
        if (text.empty()) return 0;
        return lineStart(lineCount() - 1) + static_cast<int>(text.back().size());
    }
    void setLines(const std::vector<std::string>& l) override {
        text = l;
        resetColours();
        selStart = selLength = 0;
    }
    void clear() override { setLines({}); }
    int selectionStart() const override { return selStart; }
    int selectionLength() const override { return selLength; }
    void setSelection(int start, int length) override {
        selStart = start;
        selLength = length;
    }
    std::string selectedText() const override { return joined().substr(clampPos(selStart), selLength); }
    void replaceSelection(const std::string& replacement) override {
        std::string all = joined();
        all.replace(clampPos(selStart), selLength, replacement);
        text = split(all);
        resetColours();
        selStart += static_cast<int>(replacement.size());
        selLength = 0;
        modifiedMark = true;
    }
    void setSelectionColor(Rgb c) override {
        for (int p = selStart; p < selStart + selLength && p < static_cast<int>(colours.size()); ++p) colours[p] = c;
    }
    Rgb defaultTextColor() const override { return defaultColour; }
    bool modified() const override { return modifiedMark; }
    void setModified(bool m) override { modifiedMark = m; }
    void scrollCaretIntoView() override { ++scrollCount; }
    void focus() override { ++focusCount; }

    // Test helpers.
    void type(const std::vector<std::string>& l) { text = l; resetColours(); modifiedMark = true; }
    Rgb colourAt(int position) const { return colours.at(position); }
    Rgb lineColour(int line) const { return colourAt(lineStart(line)); }
    std::string joined() const {
        std::string all;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (i) all += "\r\n";
            all += text[i];
        }
        return all;
    }

private:
    void resetColours() { colours.assign(textLength() + 2, defaultColour); }
    int clampPos(int p) const { return std::max(0, std::min(p, textLength())); }
    static std::vector<std::string> split(const std::string& all) {
        std::vector<std::string> out(1);
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (all[i] == '\r' && i + 1 < all.size() && all[i + 1] == '\n') {
                out.emplace_back();
                ++i;
            } else {
                out.back().push_back(all[i]);
            }
        }
        if (all.empty()) out.clear();
        return out;
    }
};

class FakeConsole : public ConsoleView {
public:
    std::vector<std::string> shown;
    int updates = 0;
    std::vector<std::string> consoleLines() const override { return shown; }
    void setConsoleLines(const std::vector<std::string>& lines) override {
        shown = lines;
        ++updates;
    }
};

// Records every box; answers questions and input boxes from queues.
class FakeNotices : public Notices {
public:
    std::vector<std::string> notices;
    std::vector<std::string> errorBoxes;
    struct Question {
        std::string title, text;
        bool defaultNo = false;   // asked with No as the default button
    };
    std::vector<Question> questions;
    std::deque<Answer> answers;                 // default Cancel when empty
    struct InputRequest { std::string caption, prompt, initial; };
    std::vector<InputRequest> inputs;
    std::deque<std::optional<std::string>> inputAnswers;   // nullopt = Cancel
    std::function<void(const std::string&)> onNotice;     // runs inside the "modal" box

    void ShowNotice(const std::string& text) override {
        notices.push_back(text);
        if (onNotice) onNotice(text);
    }
    std::function<void()> onQuestion;     // runs inside the question box
    Answer askYesNoCancelDefaultNo(const std::string& title, const std::string& text) override {
        const Answer a = askYesNoCancel(title, text);
        questions.back().defaultNo = true;
        return a;
    }
    Answer askYesNoCancel(const std::string& title, const std::string& text) override {
        questions.push_back({title, text});
        if (onQuestion) onQuestion();
        if (answers.empty()) return Answer::Cancel;
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::function<void()> onInputBox;                      // runs inside the "modal" input box
    bool inputBox(const std::string& caption, const std::string& prompt, std::string& answer) override {
        inputs.push_back({caption, prompt, answer});
        if (onInputBox) onInputBox();
        if (inputAnswers.empty() || !inputAnswers.front()) {
            if (!inputAnswers.empty()) inputAnswers.pop_front();
            return false;
        }
        answer = *inputAnswers.front();
        inputAnswers.pop_front();
        return true;
    }
    void showErrorBox(const std::string& text) override { errorBoxes.push_back(text); }
};

class FakeMainView : public MainView {
public:
    std::map<Control, bool> enabled;
    Rgb light{128, 128, 128};
    std::vector<std::string> variableRows;
    int currentRow = -1;
    std::string status, portLabel = "COM1", aci;
    std::vector<int> portDialogItems;
    std::function<void(int)> onPortDialog;      // the test answers the dialog here
    int listingFocus = 0;

    void setControlEnabled(Control c, bool e) override { enabled[c] = e; }
    void setRunningLight(Rgb c) override { light = c; }
    void setVariableRows(const std::vector<std::string>& rows) override { variableRows = rows; }
    int currentVariableRow() const override { return currentRow; }
    void setStatusText(const std::string& t) override { status = t; }
    void setPortLabel(const std::string& t) override { portLabel = t; }
    std::string portProblem;
    void setPortProblem(const std::string& t) override { portProblem = t; }
    void showPortDialog(int item) override {
        portDialogItems.push_back(item);
        if (onPortDialog) onPortDialog(item);
    }
    void focusListing() override { ++listingFocus; }
    std::string aciText() const override { return aci; }
};

class FakeTimer : public MonitorTimer {
public:
    bool on = false;
    int switches = 0;
    void setTimerEnabled(bool e) override { on = e; ++switches; }
    bool timerEnabled() const override { return on; }
};

// A clock that tests either drive by hand or let follow real time.
class FakeClock : public Clock {
public:
    bool realTime = false;
    std::int64_t now = 1'000'000;
    std::vector<int> sleeps;
    std::int64_t nowMs() override {
        if (!realTime) return now;
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch()).count();
    }
    void sleepMs(int ms) override {
        sleeps.push_back(ms);
        if (realTime) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        else now += ms;
    }
};

class FakeDesktop : public DesktopServices {
public:
    std::deque<std::optional<std::string>> openAnswers, saveAnswers;   // nullopt = Cancel
    std::vector<std::string> openPresets, savePresets, openedDocuments;
    int findShown = 0, aboutShown = 0, printed = 0;
    bool printSucceeds = true, documentOpens = true;

    std::function<void()> onDialog;       // runs inside the open or save dialog
    bool runOpenDialog(std::string& path) override {
        if (onDialog) onDialog();
        return answer(openAnswers, openPresets, path);
    }
    bool runSaveDialog(std::string& path) override { return answer(saveAnswers, savePresets, path); }
    void showFindDialog() override { ++findShown; }
    bool printListing() override { ++printed; return printSucceeds; }
    bool openDocument(const std::string& path) override { openedDocuments.push_back(path); return documentOpens; }
    void showAboutBox() override { ++aboutShown; }

    // What the find dialog holds; the close requests of the main window (the
    // test may run the close query from onClose, as the window would).
    FindOptions find;
    std::vector<std::string> messages;
    void showMessage(const std::string& text) override { messages.push_back(text); }
    int closeRequests = 0;
    std::function<void()> onClose;
    FindOptions findOptions() const override { return find; }
    void closeMainWindow() override {
        ++closeRequests;
        if (onClose) onClose();
    }

private:
    static bool answer(std::deque<std::optional<std::string>>& q, std::vector<std::string>& presets, std::string& path) {
        presets.push_back(path);
        if (q.empty()) return false;
        auto a = q.front();
        q.pop_front();
        if (!a) return false;
        path = *a;
        return true;
    }
};

// One workbench over a full set of fakes.
struct FakeBench {
    FakeListing listing;
    FakeConsole console;
    FakeNotices notices;
    FakeMainView main;
    FakeTimer timer;
    FakeClock clock;
    FakeDesktop desktop;
    std::unique_ptr<Workbench> wb;

    explicit FakeBench(const std::string& executableFolder) {
        wb = std::make_unique<Workbench>(
            Screens{listing, console, notices, main, timer, clock, desktop}, executableFolder);
    }
    explicit FakeBench(const Locations& locations) {
        wb = std::make_unique<Workbench>(Screens{listing, console, notices, main, timer, clock, desktop}, locations);
    }
};

}  // namespace travin::testing
