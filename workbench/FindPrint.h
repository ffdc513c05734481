// Find in the listing and printing the listing. Both work in every target
// state: neither talks to the board.
#pragma once

#include <string>
#include "debugger/DebuggerParts.h"

namespace travin {


// Searches `text` for `pattern` within [start, start + length) and answers
// the position of the first hit lying wholly inside that range, or -1.
// Without matchCase letters compare case-blind (the single-byte set's own
// letters included);
// with wholeWord a hit must not touch a letter, digit or underscore on
// either side.
int findInRange(const std::string& text, const std::string& pattern, int start, int length,
                bool matchCase, bool wholeWord);

class FindPrint {
public:
    explicit FindPrint(DebuggerParts& parts) : wb(parts) {}

    // Shows the find dialog beside the listing pane.
    void EditFind1Execute();
    // One Find Next: from just after the selection (or the caret) to the
    // end, then wrapping round once over the hits that begin before it.
    // The hit is selected and scrolled into view; the focus stays where it
    // is (the find dialog).
    void FindDialog1Find();
    // Prints the listing on the default printer at once.
    void PrintMenuClick();
    // Writes the listing, as Print prints it, to a PDF file the user names.
    void ExportPdfMenuClick();

private:
    DebuggerParts& wb;
};

}  // namespace travin
