// The Input-Output pane (Memo1): a plain multi-line text pane that shows the
// core's console lines. The user may type into it; what is typed stays in
// the pane and is handed back to the core, never sent.
#pragma once

#include <QPlainTextEdit>
#include <functional>

#include "core/ScreenInterfaces.h"

namespace travin {

class ConsolePane : public QPlainTextEdit, public ConsoleView {
    Q_OBJECT
public:
    static constexpr int kMaxCharacters = 65536;

    explicit ConsolePane(QWidget* parent = nullptr);

    // Called after the user changed the pane's text.
    std::function<void()> onUserEdit;

    std::vector<std::string> consoleLines() const override;
    void setConsoleLines(const std::vector<std::string>& lines) override;
    // Only the end of the text is rewritten and the start cut, so a tick's
    // output costs what it adds rather than the whole pane.
    void changeConsoleLines(const ConsoleLinesChange& change) override;

protected:
    // What is typed, pasted or dropped must be single-byte text.
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // One line as the pane shows it.
    static QString paneText(const std::string& line);
    void scrollToEnd();

    bool settingText = false;
    // The lines last handed over, as bytes: the pane cannot show every byte
    // (a CR inside a line), so until the user edits they are the truth.
    std::vector<std::string> shownLines;
    bool userEdited = false;
};

}  // namespace travin
