// The screen as the workbench core sees it.
//
// The core (standard C++ only) talks to the windows through these small
// interfaces; the Qt layer implements them and tests implement them with
// fakes. Every text crossing them is single-byte text held in std::string
// (core/SingleByteText.h).
//
// Positions in ListingView are program positions: every line break counts
// as two characters (CR LF), as in the program the board stores. The Qt
// implementation converts to and from the widget's own positions; nothing
// else does.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace travin {

struct Rgb {
    std::uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kMagenta{255, 0, 255};
inline constexpr Rgb kGreen{0, 255, 0};
inline constexpr Rgb kGrey{128, 128, 128};

// The program listing (RichEdit1).
class ListingView {
public:
    virtual ~ListingView() = default;

    // Lines as the pane splits them, without line breaks; a text ending in
    // a line break has no extra empty last line.
    virtual std::vector<std::string> lines() const = 0;
    virtual int lineCount() const = 0;
    // Start position of a line (0-based line number).
    virtual int lineStart(int line) const = 0;
    // Length of the whole text in program positions.
    virtual int textLength() const = 0;

    // Replaces the whole text; lines joined by line breaks.
    virtual void setLines(const std::vector<std::string>& lines) = 0;
    virtual void clear() = 0;

    virtual int selectionStart() const = 0;   // the caret when nothing is selected
    virtual int selectionLength() const = 0;
    virtual void setSelection(int start, int length) = 0;
    // The selected text, line breaks as "\r\n".
    virtual std::string selectedText() const = 0;
    // Replaces the selection (inserts at the caret when nothing is
    // selected); counts as a user edit.
    virtual void replaceSelection(const std::string& text) = 0;

    virtual void setSelectionColor(Rgb colour) = 0;
    virtual Rgb defaultTextColor() const = 0;

    // The first line (0-based) holding a character the single-byte set
    // cannot hold, or -1. Such a character can reach the pane only past its
    // own checks; saving and downloading report it instead of changing it.
    virtual int firstLineOutsideCharacterSet() const { return -1; }

    virtual bool modified() const = 0;
    virtual void setModified(bool modified) = 0;

    virtual void scrollCaretIntoView() = 0;
    virtual void focus() = 0;
};

// The Input-Output console (Memo1): a list of text lines. The core keeps
// the lines it writes and hands them over when they changed; the pane may
// show them later (once per tick) so that a flood of bytes stays cheap.
// What changed in the console's lines since they were last handed over: the
// first `dropped` lines are gone, the next `kept` stay as they were, and
// every line after those is replaced by `tail`.
struct ConsoleLinesChange {
    std::size_t dropped = 0;
    std::size_t kept = 0;
    std::vector<std::string> tail;
    // The arrival time of each line of `tail` (wall-clock milliseconds since
    // the epoch; 0 for a line nothing arrived in, or typed by the user).
    std::vector<std::int64_t> tailTimes;
    // Lines the console has let go from its front since it was last
    // cleared, older than any it holds.
    std::uint64_t droppedSinceClear = 0;

    // The change applied to the lines it was taken against.
    void applyTo(std::vector<std::string>& lines) const {
        const std::size_t drop = std::min(dropped, lines.size());
        lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(drop));
        lines.resize(std::min(kept, lines.size()));
        lines.insert(lines.end(), tail.begin(), tail.end());
    }
};

class ConsoleView {
public:
    virtual ~ConsoleView() = default;
    // The pane's lines as they stand now (the user may have typed into it).
    virtual std::vector<std::string> consoleLines() const = 0;
    // The arrival time of each of consoleLines() (wall-clock milliseconds,
    // 0 for none), so that the user's edit keeps the times of the lines it
    // leaves; empty from a pane that keeps no times.
    virtual std::vector<std::int64_t> consoleLineTimes() const { return {}; }
    // Replace the pane's lines.
    virtual void setConsoleLines(const std::vector<std::string>& lines) = 0;
    // Replace the pane's lines by `whole.tail`, with their arrival times
    // (what the console hands over; a pane that shows no times need not
    // override it).
    virtual void setTimedConsoleLines(const ConsoleLinesChange& whole) { setConsoleLines(whole.tail); }
    // Every byte the board sent, as it came, and every text the workbench
    // wrote itself, at the moment each is added to the lines. A terminal
    // keeps the two apart (program output and messages); the window shows
    // only the lines.
    virtual void programByte(std::uint8_t) {}
    virtual void workbenchText(std::string_view) {}
    // Change the pane's lines, as last handed over, by `change`. A pane that
    // can change only its end (a flood touches just the last lines) should.
    virtual void changeConsoleLines(const ConsoleLinesChange& change) {
        std::vector<std::string> lines = consoleLines();
        change.applyTo(lines);
        setConsoleLines(lines);
    }
};

enum class Answer { Yes, No, Cancel };

// Modal boxes.
class Notices {
public:
    virtual ~Notices() = default;
    // The plain notice box: empty title, one OK button, no icon, modal for
    // the whole application, brought to the foreground.
    virtual void ShowNotice(const std::string& text) = 0;
    // Yes/No/Cancel without icon. An empty title means the platform's
    // default title. The text may name a file, in the file system's
    // encoding (as the file dialogs hand paths over).
    virtual Answer askYesNoCancel(const std::string& title, const std::string& text) = 0;
    // The same question with No as the button Enter presses, for a question
    // whose Yes cannot be undone (erasing the board's program, replacing
    // the listing).
    virtual Answer askYesNoCancelDefaultNo(const std::string& title, const std::string& text) {
        return askYesNoCancel(title, text);
    }
    // Text input box. Returns false when cancelled (answer then unchanged).
    virtual bool inputBox(const std::string& caption, const std::string& prompt,
                          std::string& answer) = 0;
    // The same box for an answer of at most `maxCharacters` characters. A
    // box that can refuses more as they are typed, so that what the user
    // sees is what is sent; the caller still cuts what is longer.
    virtual bool inputBoxOfAtMost(const std::string& caption, const std::string& prompt, std::string& answer,
                                  std::size_t maxCharacters) {
        (void)maxCharacters;
        return inputBox(caption, prompt, answer);
    }
    // The toolkit's error box (error icon, the application's title). The
    // text may name a file, in the file system's encoding.
    virtual void showErrorBox(const std::string& text) = 0;
};

// The buttons and menu entries whose enabled state follows the target.
enum class Control {
    RunButton, SingleStepButton, StopButton, ResetButton, BreakButton, EraseButton,
    SelectPortButton, SendCharacterButton,
    NewMenu, OpenMenu, ExitMenu, SelectPortMenu, DownloadMenu, RunMenu, SingleStepMenu,
    StopMenu, SetBreakMenu, ResetMenu, SetVariableMenu, UploadMenu, EraseMemoryMenu,
    StartupTimeMenu, SendCharacterMenu,
};
inline constexpr int kControlCount = static_cast<int>(Control::SendCharacterMenu) + 1;

// Everything else the main window shows: control states, the running light,
// the variables list, the status bar and the port label.
class MainView {
public:
    virtual ~MainView() = default;
    virtual void setControlEnabled(Control control, bool enabled) = 0;
    virtual void setRunningLight(Rgb colour) = 0;
    virtual void setVariableRows(const std::vector<std::string>& rows) = 0;
    virtual int currentVariableRow() const = 0;   // -1 when none
    virtual void setStatusText(const std::string& text) = 0;
    virtual void setPortLabel(const std::string& text) = 0;
    // Why the selected port does not open, shown beside the status text
    // without a box; "" clears it.
    virtual void setPortProblem(const std::string& text) = 0;
    // The modal port dialog with radio item `item` (0..7) selected; returns
    // when it closes. Its OK button reaches PortSelection::Button1Click.
    virtual void showPortDialog(int item) = 0;
    virtual void focusListing() = 0;
    // The ACI command line's text.
    virtual std::string aciText() const = 0;
};

// What the desktop offers beyond the main window: file dialogs, the find
// dialog, the printer, the system's document viewer and the About box.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // Modal open and save dialogs; `path` holds the preset name on entry and
    // the chosen path on return. False when the user cancelled.
    virtual bool runOpenDialog(std::string& path) = 0;
    virtual bool runSaveDialog(std::string& path) = 0;
    // The non-modal find dialog: shown (or brought to the front) beside the
    // listing pane. It keeps its contents between uses; findOptions() reads
    // them for one Find Next.
    virtual void showFindDialog() = 0;
    struct FindOptions {
        std::string text;
        bool matchCase = false;
        bool wholeWord = false;
    };
    virtual FindOptions findOptions() const = 0;
    // Prints the listing on the default printer; false (after the toolkit's
    // error box) when there is no printer or printing failed.
    virtual bool printListing() = 0;
    // Asks for a file name and writes the listing there as PDF, exactly as
    // printListing prints it; false when cancelled or it failed (after the
    // error box).
    virtual bool exportListingPdf() { return false; }
    // Opens a document with the system's default viewer; false when the
    // document or a viewer is missing.
    virtual bool openDocument(const std::string& path) = 0;
    // The same, for a viewer that may fail after it started: `failedLater`
    // runs then, unless the desktop had a fallback of its own to show the
    // document with.
    virtual bool openDocumentWatched(const std::string& path, std::function<void()> failedLater) {
        (void)failedLater;
        return openDocument(path);
    }
    virtual void showAboutBox() = 0;
    // The toolkit's plain message dialog: the application's title, no icon,
    // one OK button (unlike Notices::ShowNotice, whose title is empty).
    virtual void showMessage(const std::string& text) = 0;
    // Asks the main window to close; its close query decides.
    virtual void closeMainWindow() = 0;
};

// The monitor's 100 ms timer (BackgroundProcess).
class MonitorTimer {
public:
    virtual ~MonitorTimer() = default;
    virtual void setTimerEnabled(bool enabled) = 0;
    virtual bool timerEnabled() const = 0;
};

// Wall clock and sleep; tests substitute their own.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t nowMs() = 0;
    virtual void sleepMs(int ms) = 0;
};

// Every screen the operations talk to, handed to each layer as one bundle.
struct Screens {
    ListingView& listing;
    ConsoleView& console;
    Notices& notices;
    MainView& main;
    MonitorTimer& timer;
    Clock& clock;
    DesktopServices& desktop;
};

}  // namespace travin
