#include "app/ConsolePane.h"

#include <QScrollBar>
#include <QTextBlock>
#include <algorithm>

namespace travin {

ConsolePane::ConsolePane(QWidget* parent) : QPlainTextEdit(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (settingText) return;
        const int excess = document()->characterCount() - 1 - kMaxCharacters;
        if (excess > 0) {
            // What is typed or pasted beyond the pane's capacity is refused:
            // the characters just before the caret are the ones added.
            QTextCursor c = textCursor();
            c.clearSelection();
            c.setPosition(std::max(0, c.position() - excess), QTextCursor::KeepAnchor);
            settingText = true;
            c.removeSelectedText();
            settingText = false;
        }
        userEdited = true;
        if (onUserEdit) onUserEdit();
    });
}

std::vector<std::string> ConsolePane::consoleLines() const {
    if (!userEdited) return shownLines;
    std::vector<std::string> out;
    if (document()->isEmpty()) return out;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        const QByteArray bytes = b.text().toLatin1();
        out.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    return out;
}

void ConsolePane::setConsoleLines(const std::vector<std::string>& lines) {
    shownLines = lines;
    userEdited = false;
    QString text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += QChar('\n');
        text += QString::fromLatin1(lines[i].data(), static_cast<qsizetype>(lines[i].size()));
    }
    // The pane holds at most its capacity; the newest output is what matters.
    if (text.size() > kMaxCharacters) text = text.right(kMaxCharacters);
    settingText = true;
    setPlainText(text);
    settingText = false;
    moveCursor(QTextCursor::End);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

}  // namespace travin
