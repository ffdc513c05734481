#include "app/ListingAids.h"

#include <QInputDialog>
#include <QTextBlock>
#include <QToolTip>
#include <algorithm>

#include "app/ListingCompleter.h"
#include "app/ListingGutter.h"
#include "app/ListingHighlighter.h"
#include "app/ListingPane.h"
#include "app/ListingProblems.h"

namespace travin {

namespace {

// The parameter under the caret, also just above the caret where the eye
// is, as editors show a call's parameters; gone when the caret leaves the
// call or the listing the focus.
void showCallTip(ListingPane* pane, const QString& hint) {
    if (hint.isEmpty() || !pane->hasFocus()) {
        if (QToolTip::isVisible() && QToolTip::text() == pane->property("callTip").toString()) QToolTip::hideText();
        pane->setProperty("callTip", QString());
        return;
    }
    const QRect caret = pane->cursorRect();
    const QPoint above = pane->viewport()->mapToGlobal(caret.topLeft()) - QPoint(0, caret.height() + 8);
    pane->setProperty("callTip", hint);
    QToolTip::showText(above, hint, pane->viewport(), QRect(), 60000);
}

}  // namespace

ListingAids::ListingAids(ListingPane* pane, QStatusBar* statusBar)
    : highlighter(new ListingHighlighter(pane->document())),
      gutter(new ListingGutter(pane)),
      problems(new ListingProblems(pane, highlighter, statusBar)),
      completer(new ListingCompleter(pane)) {
    highlighter->setParent(pane);
    completer->onCallHint = [p = problems, pane](const QString& hint) {
        p->setCallHint(hint);
        showCallTip(pane, hint);
    };
    pane->onKeyPress = [c = completer](QKeyEvent* event) { return c->keyPress(event); };
}

void goToLine(ListingPane* pane, int line) {
    const int count = pane->document()->blockCount();
    const QTextBlock block = pane->document()->findBlockByNumber(std::clamp(line, 1, count) - 1);
    QTextCursor c = pane->textCursor();
    c.setPosition(block.position());
    pane->setTextCursor(c);
    pane->ensureCursorVisible();
    pane->setFocus(Qt::OtherFocusReason);
}

void askAndGoToLine(QWidget* parent, ListingPane* pane) {
    const int count = pane->document()->blockCount();
    bool ok = false;
    const int line = QInputDialog::getInt(parent, "Go to Line", QString("Line number (1 - %1):").arg(count),
                                          pane->textCursor().blockNumber() + 1, 1, count, 1, &ok);
    if (ok) goToLine(pane, line);
}

}  // namespace travin
