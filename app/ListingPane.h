// The listing pane (RichEdit1): a QTextEdit in plain-text mode seen by the
// core as a ListingView.
//
// This is the one place where program positions (every line break counted
// as two characters, CR LF) and the widget's positions (one character per
// line break) are converted, and where the pane's text meets single-byte
// text: a character the set cannot hold is refused as it is typed, pasted
// or dropped.
//
// Colour marks (breakpoints, the executing line) are display attributes:
// they live in the pane's extra selections, outside the document, so they
// never enter the undo history nor count as an edit.
#pragma once

#include <QTextEdit>
#include <functional>
#include <vector>

#include "core/ScreenInterfaces.h"

namespace travin {

class ListingPane : public QTextEdit, public ListingView {
    Q_OBJECT
public:
    explicit ListingPane(QWidget* parent = nullptr);

    // Called for every mouse press before the pane handles it.
    std::function<void(Qt::MouseButton)> onMouseDown;
    // Called for every key before the pane handles it; true when taken.
    std::function<bool(QKeyEvent*)> onKeyPress;

    // ListingView.
    std::vector<std::string> lines() const override;
    int lineCount() const override;
    int lineStart(int line) const override;
    int textLength() const override;
    void setLines(const std::vector<std::string>& lines) override;
    void clear() override;
    int selectionStart() const override;
    int selectionLength() const override;
    void setSelection(int start, int length) override;
    std::string selectedText() const override;
    void replaceSelection(const std::string& text) override;
    void setSelectionColor(Rgb colour) override;
    Rgb defaultTextColor() const override;
    int firstLineOutsideCharacterSet() const override;
    bool modified() const override;
    void setModified(bool modified) override;
    void scrollCaretIntoView() override;
    void focus() override;

    // Conversions between the two kinds of position.
    int toProgramPosition(int widgetPosition) const;
    int toWidgetPosition(int programPosition) const;

    void setTabStops(int count, int stepPoints);

    // The colour the character at a widget position is shown in: its mark's,
    // or the default text colour.
    QColor shownColour(int widgetPosition) const;

    // Room left of the text for the gutter (the pane keeps its size).
    void setGutterWidth(int width) { setViewportMargins(width, 0, 0, 0); }

signals:
    // A mark was laid down or taken away.
    void marksChanged();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    // A line break the pane would keep inside a line (Shift+Enter, a pasted
    // line separator) ends the line instead: the listing has no other kind.
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    void clearMarks();
    const std::vector<int>& starts() const;   // program start of each line
    mutable std::vector<int> lineStarts;
    mutable int startsRevision = -1;
};

}  // namespace travin
