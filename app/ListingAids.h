// What the listing pane knows of Travin, put together for the window: the
// colours, the gutter, the problems as you type and completion; and Go to
// line. Each part is a file of its own; this only wires them to the pane.
#pragma once

#include <QString>

class QStatusBar;
class QWidget;

namespace travin {

class ListingCompleter;
class ListingGutter;
class ListingHighlighter;
class ListingPane;
class ListingProblems;

struct ListingAids {
    // All of them children of the pane (the problems panel of the status bar).
    ListingAids(ListingPane* pane, QStatusBar* statusBar);

    ListingHighlighter* highlighter;
    ListingGutter* gutter;
    ListingProblems* problems;
    ListingCompleter* completer;
};

// Puts the caret at the start of the 1-based line (limited to the listing),
// scrolled into view, and the focus in the listing.
void goToLine(ListingPane* pane, int line);

// Asks for the line number (the caret's line offered) and goes there.
void askAndGoToLine(QWidget* parent, ListingPane* pane);

}  // namespace travin
