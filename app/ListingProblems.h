// Problems as the user types: a short pause after the last edit, the
// listing is parsed by the language library on a thread of its own (the
// user-interface thread and the monitor's tick never wait for it), and each
// problem is underlined at its place by the highlighter, with its message
// in a tooltip and, while the caret is on its line, in the status bar, next
// to a note of how many problems the listing has.
//
// Problems are advice only: nothing here stops a download or a run (the
// board has the last word on what it accepts).
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <memory>
#include <vector>

class QLabel;
class QStatusBar;
class QThread;

namespace travin {

class ListingHighlighter;
class ListingPane;

// One problem as the parse found it; line and column 0-based.
struct ParsedProblem {
    int line = 0;
    int column = 0;
    QString message;
};

class ListingProblems : public QObject {
    Q_OBJECT
public:
    // The pause after the last edit before the listing is parsed.
    static constexpr int kPauseMs = 500;
    // The status bar's panel for the problems, this wide.
    static constexpr int kPanelWidth = 250;

    ListingProblems(ListingPane* pane, ListingHighlighter* highlighter, QStatusBar* statusBar);
    ~ListingProblems() override;

    // How many problems the last parse found, and the panel's text.
    int count() const { return problemCount; }
    QLabel* panel() const { return hintPanel; }

    // What the completer says about the call under the caret; shown in the
    // panel instead of the caret line's problem while it is not empty.
    void setCallHint(const QString& hint);

    // Parses now instead of after the pause (a file was opened; tests).
    void parseNow();

signals:
    // A parse was shown (tests wait for it).
    void problemsShown(int count);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void textEdited();
    void showResult(quint64 generation, const QString& parsedText, const std::vector<ParsedProblem>& found);
    void updatePanel();

    ListingPane* pane;
    ListingHighlighter* highlighter;
    QLabel* hintPanel = nullptr;
    QTimer pause;
    QThread* worker = nullptr;
    QObject* parser = nullptr;   // lives on the worker thread
    std::shared_ptr<std::atomic<quint64>> latestGeneration;
    QString lastParsedText;
    int problemCount = -1;       // -1: not parsed yet
    QString callHint;
};

}  // namespace travin
