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

// Only LF starts a line. The document would break the line at a CR as well,
// so a CR is shown as nothing; it stays in the console's lines themselves.
QString ConsolePane::paneText(const std::string& line) {
    QString text = fromSingleByte(line);
    text.remove(QChar('\r'));
    return text;
}

void ConsolePane::setConsoleLines(const std::vector<std::string>& lines) {
    shownLines = lines;
    userEdited = false;
    QString text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += QChar('\n');
        text += paneText(lines[i]);
    }
    // The pane holds at most its capacity; the newest output is what matters.
    if (text.size() > kMaxCharacters) text = text.right(kMaxCharacters);
    settingText = true;
    setPlainText(text);
    settingText = false;
    scrollToEnd();
}

void ConsolePane::changeConsoleLines(const ConsoleLinesChange& change) {
    std::vector<std::string> lines = shownLines;
    change.applyTo(lines);
    // Every line but the last ends in one LF (paneText shows no CR).
    auto breakAfter = [](const QString&) { return 1; };
    qsizetype raw = 0, whole = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const QString text = paneText(lines[i]);
        raw += text.size() + (i ? 1 : 0);
        whole += text.size() + (i + 1 < lines.size() ? breakAfter(text) : 0);
    }
    // A text the pane cuts at its capacity (very long lines), or one the
    // user edited, is set anew.
    if (userEdited || raw > kMaxCharacters) {
        setConsoleLines(lines);
        return;
    }
    // The old lines after the kept ones are cut from the end, the new ones
    // added, and the start cut back to what the new lines hold.
    const std::size_t before = std::min(change.dropped + change.kept, shownLines.size());
    qsizetype oldTail = 0;
    for (std::size_t i = before; i < shownLines.size(); ++i)
        oldTail += paneText(shownLines[i]).size() + (i ? breakAfter(paneText(shownLines[i - 1])) : 0);
    QString added;
    for (std::size_t i = 0; i < change.tail.size(); ++i) {
        if (i || (before && breakAfter(paneText(shownLines[before - 1])))) added += QChar('\n');
        added += paneText(change.tail[i]);
    }
    const qsizetype kept = document()->characterCount() - 1 - oldTail;
    if (kept < 0) {
        setConsoleLines(lines);
        return;
    }
    settingText = true;
    QTextCursor c(document());
    c.beginEditBlock();
    if (oldTail > 0) {
        c.setPosition(static_cast<int>(kept));
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        c.removeSelectedText();
    }
    c.movePosition(QTextCursor::End);
    c.insertText(added);
    const qsizetype excess = document()->characterCount() - 1 - whole;
    if (excess > 0) {
        c.setPosition(0);
        c.setPosition(static_cast<int>(excess), QTextCursor::KeepAnchor);
        c.removeSelectedText();
    }
    c.endEditBlock();
    settingText = false;
    if (excess < 0) {
        // Part of the kept lines was not in the pane: set it anew.
        setConsoleLines(lines);
        return;
    }
    shownLines = std::move(lines);
    scrollToEnd();
}

void ConsolePane::scrollToEnd() {
    moveCursor(QTextCursor::End);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

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
