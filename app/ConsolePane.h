// The Input-Output pane (Memo1): a plain multi-line text pane that shows the
// core's console lines. The user may type into it; what is typed stays in
// the pane and is handed back to the core, never sent.
//
// Beside the text it can show each line's arrival time ("HH:MM:SS.mmm") in
// a margin of its own, so the times are never part of the text: not in the
// lines handed back to the core, not in a find, not in a copy of a
// selection. Copy All and Save Input-Output As take the text as shown, the
// times in front when they are shown, each line ended by CR LF, every
// character as its one byte of the single-byte set. When the console has
// let older lines go, a note above the text says how many.
#pragma once

#include <QPlainTextEdit>
#include <deque>
#include <functional>

#include "core/ScreenInterfaces.h"

class QAction;
class QLabel;
class QTextBlock;

namespace travin {

class ConsolePane : public QPlainTextEdit, public ConsoleView {
    Q_OBJECT
public:
    // What the user may bring in by typing or pasting: the pane holds at
    // most this many characters (unless setCapacity says otherwise).
    static constexpr int kMaxCharacters = 16 * 1024 * 1024;

    explicit ConsolePane(QWidget* parent = nullptr);

    // Called after the user changed the pane's text.
    std::function<void()> onUserEdit;

    std::vector<std::string> consoleLines() const override;
    std::vector<std::int64_t> consoleLineTimes() const override;
    void setConsoleLines(const std::vector<std::string>& lines) override;
    void setTimedConsoleLines(const ConsoleLinesChange& whole) override;
    // Only the end of the text is rewritten and the start cut, so a tick's
    // output costs what it adds rather than the whole pane.
    void changeConsoleLines(const ConsoleLinesChange& change) override;

    int capacity() const { return maxCharacters; }
    void setCapacity(int characters) { maxCharacters = characters; }

    // --- Copy, save, times --------------------------------------------------
    // The text as shown: each line, behind its time when times are shown
    // (blanks for a line without one), ended by CR LF.
    QString shownText() const;
    // Puts shownText() on the clipboard.
    void copyAll();
    // Writes shownText() as single-byte text to `path` (in the file
    // system's encoding); false after the error box when it cannot.
    bool saveText(const std::string& path);
    // Asks for a file (chooseSavePath) and saves there.
    void saveAs();
    // The save dialog; tests replace it. An empty answer: cancelled.
    std::function<QString(const QString& suggested)> chooseSavePath;

    bool timesShown() const;
    void setTimesShown(bool shown);
    // Where the choice of showing times is remembered (an ini file); read
    // at once.
    void rememberTimesIn(const QString& settingsFile);
    // The time shown for line `line` ("" when it has none).
    QString timeOfLine(int line) const;
    // The note above the text; empty while no line was let go.
    QString droppedNote() const;
    // How many lines the console keeps, for that note.
    void setHistoryLength(std::size_t lines) { historyLines = lines; }

    // The pane's actions, for its context menu and the main window's menus.
    QAction* CopyAllAction = nullptr;
    QAction* SaveAsAction = nullptr;
    QAction* TimesAction = nullptr;
    // More entries for the context menu (the log's), after the pane's own.
    void addContextAction(QAction* action) { moreActions.push_back(action); }

protected:
    // What is typed, pasted or dropped must be single-byte text.
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    friend class ConsoleTimeMargin;
    // One line as the pane shows it.
    static QString paneText(const std::string& line);
    void scrollToEnd();
    void showWhole(const std::vector<std::string>& lines, const std::vector<std::int64_t>& times);
    // Stamps blocks [first, first + times.size()) with their times.
    void stampBlocks(int first, const std::vector<std::int64_t>& times);
    // One block's arrival time (0: none), shown and kept with the block.
    void setArrival(QTextBlock block, std::int64_t wall);
    void setDropped(std::uint64_t lines);
    void placeMargins();
    void paintTimes(QPaintEvent* event);

    bool settingText = false;
    // The lines last handed over, as bytes: the pane cannot show every byte
    // (a CR inside a line), so until the user edits they are the truth.
    std::deque<std::string> shownLines;
    bool userEdited = false;
    int maxCharacters = kMaxCharacters;
    QWidget* timeMargin = nullptr;
    QLabel* droppedLabel = nullptr;
    std::uint64_t droppedLines = 0;
    std::size_t historyLines = 101;
    QString settingsPath;
    std::vector<QAction*> moreActions;
    // The local time of day of the last stamp asked for, by its wall time.
    std::int64_t lastStampWall = 0;
    int lastStampOfDay = -1;
};

}  // namespace travin
