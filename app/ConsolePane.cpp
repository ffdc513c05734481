#include "app/ConsolePane.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <algorithm>

#include "app/SingleByteQt.h"

namespace travin {

namespace {

bool refuses(const QString& text) {
    const qsizetype bad = firstOutsideSingleByte(text);
    if (bad < 0) return false;
    tellRefusal(text, bad);
    return true;
}

}  // namespace

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
        out.push_back(toSingleByte(b.text()));
    }
    return out;
}

void ConsolePane::setConsoleLines(const std::vector<std::string>& lines) {
    shownLines = lines;
    userEdited = false;
    QString text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += QChar('\n');
        text += fromSingleByte(lines[i]);
    }
    // Only LF starts a line. The document would break the line at a CR as
    // well, so a CR is shown as nothing; it stays in the lines themselves.
    text.remove(QChar('\r'));
    // The pane holds at most its capacity; the newest output is what matters.
    if (text.size() > kMaxCharacters) text = text.right(kMaxCharacters);
    settingText = true;
    setPlainText(text);
    settingText = false;
    moveCursor(QTextCursor::End);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

}  // namespace travin

namespace travin {

void ConsolePane::keyPressEvent(QKeyEvent* event) {
    if (refuses(event->text())) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void ConsolePane::inputMethodEvent(QInputMethodEvent* event) {
    if (refuses(event->commitString())) {
        event->accept();
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void ConsolePane::insertFromMimeData(const QMimeData* source) {
    if (source && source->hasText() && refuses(source->text())) return;
    QPlainTextEdit::insertFromMimeData(source);
}

}  // namespace travin
