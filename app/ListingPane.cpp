#include "app/ListingPane.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <algorithm>

#include "app/SingleByteQt.h"

namespace travin {

namespace {

// Drops the caret's own format, so text inserted next is in the default
// colour. Without a selection nothing in the text itself changes.
void resetCaretFormat(QTextEdit& pane) {
    QTextCursor c = pane.textCursor();
    c.clearSelection();
    c.setCharFormat(QTextCharFormat());
    pane.setTextCursor(c);
}

QString fromBytes(const std::string& bytes) { return fromSingleByte(bytes); }

std::string toBytes(const QString& text) { return toSingleByte(text); }

// True (after the note) when `text` holds a character the listing cannot
// keep; the whole entry is then refused.
bool refuses(const QString& text) {
    const qsizetype bad = firstOutsideSingleByte(text);
    if (bad < 0) return false;
    tellRefusal(text, bad);
    return true;
}

}  // namespace

ListingPane::ListingPane(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(false);
    setLineWrapMode(QTextEdit::NoWrap);
    setWordWrapMode(QTextOption::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(false);
    setUndoRedoEnabled(true);
    setContextMenuPolicy(Qt::NoContextMenu);
}

const std::vector<int>& ListingPane::starts() const {
    // Recomputed only when the text changed, so walking the lines to find
    // one position stays linear in total.
    const int revision = document()->revision();
    if (revision != startsRevision) {
        lineStarts.clear();
        int pos = 0;
        for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
            lineStarts.push_back(pos);
            pos += b.length() - 1 + 2;
        }
        startsRevision = revision;
    }
    return lineStarts;
}

std::vector<std::string> ListingPane::lines() const {
    std::vector<std::string> out;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) out.push_back(toBytes(b.text()));
    // A text that ends in a line break has no extra empty last line.
    if (!out.empty() && out.back().empty()) out.pop_back();
    return out;
}

int ListingPane::lineCount() const {
    int count = document()->blockCount();
    if (document()->lastBlock().length() <= 1) --count;   // empty last block
    return std::max(count, 0);
}

int ListingPane::lineStart(int line) const {
    const auto& s = starts();
    if (line < 0) return 0;
    if (line >= static_cast<int>(s.size())) return textLength();
    return s[static_cast<std::size_t>(line)];
}

int ListingPane::textLength() const {
    const int widgetLength = document()->characterCount() - 1;
    return toProgramPosition(widgetLength);
}

void ListingPane::setLines(const std::vector<std::string>& newLines) {
    QString text;
    for (std::size_t i = 0; i < newLines.size(); ++i) {
        if (i) text += QChar('\n');
        text += fromBytes(newLines[i]);
    }
    // The pane inserts new text in the caret's format, which after a mark
    // (breakpoint, executing line) is that mark's colour.
    resetCaretFormat(*this);
    clearMarks();
    setPlainText(text);
    resetCaretFormat(*this);
}

void ListingPane::clear() {
    // Text typed into the emptied pane starts in the default colour, not in
    // the colour the caret last stood in.
    resetCaretFormat(*this);
    clearMarks();
    QTextEdit::clear();
    resetCaretFormat(*this);
}

int ListingPane::toProgramPosition(int widgetPosition) const {
    const QTextBlock block = document()->findBlock(widgetPosition);
    if (!block.isValid()) return widgetPosition + std::max(0, document()->blockCount() - 1);
    // Every line break before this block counts one extra character.
    return widgetPosition + block.blockNumber();
}

int ListingPane::toWidgetPosition(int programPosition) const {
    const auto& s = starts();
    if (s.empty() || programPosition <= 0) return 0;
    // The last line whose program start is not greater than the position.
    auto it = std::upper_bound(s.begin(), s.end(), programPosition);
    const int line = static_cast<int>(it - s.begin()) - 1;
    const QTextBlock block = document()->findBlockByNumber(line);
    const int offset = programPosition - s[static_cast<std::size_t>(line)];
    const int textLen = block.length() - 1;
    // A position between CR and LF, or past the text, lands at the line end;
    // the line break itself follows the line's text.
    if (offset <= textLen) return block.position() + offset;
    if (block.next().isValid()) return block.position() + textLen + 1;
    return block.position() + textLen;
}

int ListingPane::selectionStart() const { return toProgramPosition(textCursor().selectionStart()); }

int ListingPane::selectionLength() const {
    const QTextCursor c = textCursor();
    return toProgramPosition(c.selectionEnd()) - toProgramPosition(c.selectionStart());
}

void ListingPane::setSelection(int start, int length) {
    QTextCursor c = textCursor();
    const int a = toWidgetPosition(start);
    const int b = toWidgetPosition(start + length);
    c.setPosition(a);
    c.setPosition(b, QTextCursor::KeepAnchor);
    setTextCursor(c);
}

std::string ListingPane::selectedText() const {
    QString text = textCursor().selection().toPlainText();
    text.replace(QChar('\n'), QStringLiteral("\r\n"));
    return toBytes(text);
}

void ListingPane::replaceSelection(const std::string& text) {
    QString t = fromBytes(text);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor c = textCursor();
    c.insertText(t);
    setTextCursor(c);
}

void ListingPane::setSelectionColor(Rgb colour) {
    const QTextCursor selection = textCursor();
    if (!selection.hasSelection()) return;
    const int from = selection.selectionStart();
    const int to = selection.selectionEnd();
    // A new colour replaces whatever marks lay under the range; the parts of
    // older marks outside it stay.
    QList<QTextEdit::ExtraSelection> marks;
    for (const QTextEdit::ExtraSelection& mark : extraSelections()) {
        const int start = mark.cursor.selectionStart();
        const int end = mark.cursor.selectionEnd();
        if (end <= from || start >= to) {
            if (end > start) marks.append(mark);
            continue;
        }
        const auto keep = [&](int a, int b) {
            if (b <= a) return;
            QTextEdit::ExtraSelection part = mark;
            part.cursor = QTextCursor(document());
            part.cursor.setPosition(a);
            part.cursor.setPosition(b, QTextCursor::KeepAnchor);
            marks.append(part);
        };
        keep(start, from);
        keep(to, end);
    }
    const QColor shown(colour.red, colour.green, colour.blue);
    // The default colour is no mark at all.
    if (shown != palette().color(QPalette::Text)) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = selection;
        mark.format.setForeground(shown);
        marks.append(mark);
    }
    setExtraSelections(marks);
    emit marksChanged();
}

void ListingPane::clearMarks() {
    setExtraSelections({});
    emit marksChanged();
}

QColor ListingPane::shownColour(int widgetPosition) const {
    // The last mark laid down is the one on top.
    const auto marks = extraSelections();
    for (auto it = marks.rbegin(); it != marks.rend(); ++it) {
        if (widgetPosition >= it->cursor.selectionStart() && widgetPosition < it->cursor.selectionEnd())
            return it->format.foreground().color();
    }
    return palette().color(QPalette::Text);
}


Rgb ListingPane::defaultTextColor() const {
    const QColor c = palette().color(QPalette::Text);
    return Rgb{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
               static_cast<std::uint8_t>(c.blue())};
}

int ListingPane::firstLineOutsideCharacterSet() const {
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        if (firstOutsideSingleByte(b.text()) >= 0) return b.blockNumber();
    }
    return -1;
}

bool ListingPane::modified() const { return document()->isModified(); }

void ListingPane::setModified(bool m) { document()->setModified(m); }

void ListingPane::scrollCaretIntoView() { ensureCursorVisible(); }

void ListingPane::focus() {
    // From the find dialog the keys go to the listing only once its window
    // is the active one again.
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void ListingPane::setTabStops(int count, int stepPoints) {
    QTextOption option = document()->defaultTextOption();
    QList<QTextOption::Tab> tabs;
    const qreal pixelsPerPoint = logicalDpiX() / 72.0;
    for (int i = 1; i <= count; ++i) tabs.append(QTextOption::Tab(i * stepPoints * pixelsPerPoint, QTextOption::LeftTab));
    option.setTabs(tabs);
    option.setWrapMode(QTextOption::NoWrap);
    document()->setDefaultTextOption(option);
}

void ListingPane::keyPressEvent(QKeyEvent* event) {
    if (onKeyPress && onKeyPress(event)) return;
    if (refuses(event->text())) {
        event->accept();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & Qt::ShiftModifier)) {
        QKeyEvent plain(event->type(), event->key(), event->modifiers() & ~Qt::ShiftModifier, event->text(),
                        event->isAutoRepeat(), static_cast<ushort>(event->count()));
        QTextEdit::keyPressEvent(&plain);
        event->setAccepted(plain.isAccepted());
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void ListingPane::inputMethodEvent(QInputMethodEvent* event) {
    if (refuses(event->commitString())) {
        event->accept();
        return;
    }
    QTextEdit::inputMethodEvent(event);
}

void ListingPane::insertFromMimeData(const QMimeData* source) {
    if (!source || !source->hasText()) {
        QTextEdit::insertFromMimeData(source);
        return;
    }
    const QString text = source->text().replace(QChar(QChar::LineSeparator), QChar('\n'));
    if (refuses(text)) return;
    if (text == source->text()) {
        QTextEdit::insertFromMimeData(source);
        return;
    }
    QMimeData plain;
    plain.setText(text);
    QTextEdit::insertFromMimeData(&plain);
}

void ListingPane::mousePressEvent(QMouseEvent* event) {
    if (onMouseDown) onMouseDown(event->button());
    // The right button opens the function assistant instead of moving the
    // caret, so the selection it works on stays as the user made it.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTextEdit::mousePressEvent(event);
}

}  // namespace travin
