// The listing's gutter: line numbers from 1 (as the client and the board's
// error lines count), a dot on each breakpoint line and an arrow on the
// executing line, beside the text inside the listing pane (the pane keeps
// its place and size; the text moves right by the gutter's width).
//
// The gutter reads the breakpoints and the executing line from the pane's
// marks, so it shows exactly what the listing shows. A click on a line
// number is handed to onLineClicked, which the window wires to the Break
// button's handler: every rule of breakpoints stays where it is.
#pragma once

#include <QWidget>
#include <functional>

namespace travin {

class ListingPane;

class ListingGutter : public QWidget {
    Q_OBJECT
public:
    explicit ListingGutter(ListingPane* pane);

    // The 0-based line a click in the gutter named.
    std::function<void(int line)> onLineClicked;

    // The line shown at a gutter y coordinate, or -1 below the last.
    int lineAt(int y) const;
    // What the gutter shows for a line (for tests): its number's text, and
    // whether a breakpoint dot and the executing arrow are drawn there.
    struct LineMarks {
        bool breakpoint = false;
        bool executing = false;
    };
    LineMarks marksOf(int line) const;
    // The 0-based lines whose numbers are in view, first to last.
    std::pair<int, int> visibleLines() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateWidth();
    void place();
    int neededWidth() const;
    // The block's top edge in gutter coordinates.
    int blockTop(int line) const;

    ListingPane* pane;
    int width_ = 0;
};

}  // namespace travin
