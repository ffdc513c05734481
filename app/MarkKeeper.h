// Keeps the listing's colour marks (breakpoints, the executing line, the
// end of the program) on the text they were laid on.
//
// A mark is an extra selection whose cursors move with the text, so a
// character typed at a mark's end, or an assistant's insertion inside it,
// would be drawn in the mark's colour. After every edit the inserted range
// is cut out of each mark it fell into: new text is always in the default
// colour.
#pragma once

class QTextEdit;

namespace travin {

// Watches `pane` for the rest of its life.
void keepMarksOffNewText(QTextEdit& pane);

}  // namespace travin
