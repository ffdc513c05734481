// The workbench's screens for one board on a terminal.
//
// The listing is held in memory (program positions are plain indexes into
// the text with CR LF line breaks). Board bytes go to stdout as they came
// only once the command has started or attached to the program it shows
// (run, console); before that, and for every other command, they go to
// stderr, each line marked as the board's output, so that stdout holds the
// command's result alone. With several boards the bytes go line by line
// behind the port's name. The workbench's own console text and its notices
// go to stderr, the download and upload dots as a progress line. Questions
// are answered by the command: Yes/No by its policy, text boxes from the
// answers it queued; a program's input request only records its prompt
// (the session answers it outside the exchange).
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "cli/Terminal.h"
#include "core/ScreenInterfaces.h"
#include "core/SystemClock.h"

namespace travin::cli {

class TerminalScreens : public ListingView,
                        public ConsoleView,
                        public Notices,
                        public MainView,
                        public MonitorTimer,
                        public DesktopServices {
public:
    // `board` names the port in messages; `prefixed` puts it before every
    // line of output and every message (several boards at once).
    TerminalScreens(Terminal& terminal, std::string board, bool prefixed);

    Screens screens();

    // --- What the command steers -------------------------------------------
    // The answer to every Yes/No/Cancel question.
    Answer questionAnswer = Answer::No;
    // Answers for text boxes other than the program's input requests, used
    // in order; a box with none left counts as cancelled.
    std::deque<std::string> boxAnswers;
    // The default text of the last text box (what the board holds).
    std::string lastBoxDefault;
    std::string aci;
    // Holds the workbench's console text and notices instead of showing them.
    bool capturing = false;
    std::string captured;
    // Dots the current download is expected to write (0: unknown).
    int expectedDots = 0;
    std::vector<std::string> notices;   // every notice shown, in order
    // Called at each progress dot of a transfer, between its pages; may
    // throw to end the transfer there.
    std::function<void()> onProgressDot;

    // Board bytes from now on go to stdout (run, console), not to stderr.
    void setProgramOutputToStdout(bool on);
    // The prompt of the last input request, emptied by taking it.
    std::string takePrompt();
    // The program's prompt as a message (stdout keeps only its bytes).
    void showPrompt(const std::string& prompt);

    // Shows what is still held back: the output's last unfinished line, the
    // message's unfinished line.
    void finish();
    // The command's own results on stdout (behind the port's name when
    // several boards share the terminal).
    void writeOutput(const std::string& text);
    void writeLine(const std::string& line) { writeOutput(line + "\n"); }

    // --- ListingView -------------------------------------------------------
    std::vector<std::string> lines() const override;
    int lineCount() const override;
    int lineStart(int line) const override;
    int textLength() const override;
    void setLines(const std::vector<std::string>& lines) override;
    void clear() override;
    int selectionStart() const override { return selStart; }
    int selectionLength() const override { return selLength; }
    void setSelection(int start, int length) override;
    std::string selectedText() const override;
    void replaceSelection(const std::string& text) override;
    void setSelectionColor(Rgb) override {}
    Rgb defaultTextColor() const override { return {}; }
    bool modified() const override { return isModified; }
    void setModified(bool m) override { isModified = m; }
    void scrollCaretIntoView() override {}
    void focus() override {}

    // --- ConsoleView -------------------------------------------------------
    std::vector<std::string> consoleLines() const override { return paneLines; }
    void setConsoleLines(const std::vector<std::string>& lines) override;
    void programByte(std::uint8_t byte) override;
    void workbenchText(std::string_view text) override;

    // --- Notices -----------------------------------------------------------
    void ShowNotice(const std::string& text) override;
    Answer askYesNoCancel(const std::string& title, const std::string& text) override;
    bool inputBox(const std::string& caption, const std::string& prompt, std::string& answer) override;
    void showErrorBox(const std::string& text) override { ShowNotice(text); }

    // --- MainView ----------------------------------------------------------
    void setControlEnabled(Control, bool) override {}
    void setRunningLight(Rgb) override {}
    void setVariableRows(const std::vector<std::string>&) override {}
    int currentVariableRow() const override { return -1; }
    void setStatusText(const std::string&) override {}
    void setPortLabel(const std::string&) override {}
    void setPortProblem(const std::string& text) override;
    void showPortDialog(int) override {}
    void focusListing() override {}
    std::string aciText() const override { return aci; }

    // --- MonitorTimer ------------------------------------------------------
    void setTimerEnabled(bool enabled) override { timerOn = enabled; }
    bool timerEnabled() const override { return timerOn; }

    // --- DesktopServices: nothing of it exists on a terminal ---------------
    bool runOpenDialog(std::string&) override { return false; }
    bool runSaveDialog(std::string&) override { return false; }
    void showFindDialog() override {}
    FindOptions findOptions() const override { return {}; }
    bool printListing() override { return false; }
    bool openDocument(const std::string&) override { return false; }
    void showAboutBox() override {}
    void showMessage(const std::string& text) override { ShowNotice(text); }
    void closeMainWindow() override {}

private:
    void message(const std::string& line);
    void flushOutput();
    // Whole lines of board bytes met outside run/console, to stderr.
    void flushStrayOutput(bool all);
    void progressStep(const std::string& text);

    Terminal& terminal;
    const std::string board;
    const bool prefixed;
    SystemClock clock;

    std::string text;   // the listing, CR LF between lines
    int selStart = 0, selLength = 0;
    bool isModified = false;

    std::vector<std::string> paneLines;
    std::string output;        // board bytes not yet written
    std::int64_t heldSinceMs = 0;   // when `output` last started holding a partial line
    bool outputToStdout = false;
    std::string strayOutput;   // board bytes for stderr, up to their line end
    std::string pendingPrompt;
    std::string messageLine;   // workbench text up to its line end
    bool inProgress = false;
    int dots = 0;
    bool timerOn = false;
};

}  // namespace travin::cli
