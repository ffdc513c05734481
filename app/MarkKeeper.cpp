#include "app/MarkKeeper.h"

#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>
#include <memory>

namespace travin {

void keepMarksOffNewText(QTextEdit& pane) {
    // Highlighting and other format-only passes report a change too, without
    // a new revision: only a real edit moves the marks.
    auto revision = std::make_shared<int>(pane.document()->revision());
    QObject::connect(pane.document(), &QTextDocument::contentsChange, &pane,
                     [&pane, revision](int position, int, int added) {
                         const int now = pane.document()->revision();
                         if (now == *revision) return;
                         *revision = now;
                         if (added <= 0) return;
                         const int insertedEnd = position + added;
                         const auto marks = pane.extraSelections();
                         QList<QTextEdit::ExtraSelection> kept;
                         bool cut = false;
                         for (const QTextEdit::ExtraSelection& mark : marks) {
                             const int start = mark.cursor.selectionStart();
                             const int end = mark.cursor.selectionEnd();
                             if (end <= position || start >= insertedEnd) {
                                 kept.append(mark);
                                 continue;
                             }
                             cut = true;
                             const auto part = [&](int a, int b) {
                                 if (b <= a) return;
                                 QTextEdit::ExtraSelection piece = mark;
                                 piece.cursor = QTextCursor(pane.document());
                                 piece.cursor.setPosition(a);
                                 piece.cursor.setPosition(b, QTextCursor::KeepAnchor);
                                 kept.append(piece);
                             };
                             part(start, std::min(end, position));
                             part(std::max(start, insertedEnd), end);
                         }
                         if (cut) pane.setExtraSelections(kept);
                     });
}

}  // namespace travin
