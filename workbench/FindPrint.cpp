#include "workbench/FindPrint.h"

#include <algorithm>

#include "core/SingleByteText.h"

namespace travin {

namespace {

bool isWordChar(unsigned char c) {
    return isSingleByteLetter(c) || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

int findInRange(const std::string& text, const std::string& pattern, int start, int length,
                bool matchCase, bool wholeWord) {
    const int size = static_cast<int>(text.size());
    const int n = static_cast<int>(pattern.size());
    const int from = std::clamp(start, 0, size);
    const int end = std::clamp(start + std::max(length, 0), from, size);
    if (n == 0) return -1;
    for (int pos = from; pos + n <= end; ++pos) {
        bool same = true;
        for (int i = 0; i < n && same; ++i) {
            unsigned char a = static_cast<unsigned char>(text[pos + i]);
            unsigned char b = static_cast<unsigned char>(pattern[i]);
            same = matchCase ? a == b : lowerSingleByte(a) == lowerSingleByte(b);
        }
        if (!same) continue;
        if (wholeWord) {
            if (pos > 0 && isWordChar(static_cast<unsigned char>(text[pos - 1]))) continue;
            if (pos + n < size && isWordChar(static_cast<unsigned char>(text[pos + n]))) continue;
        }
        return pos;
    }
    return -1;
}

void FindPrint::EditFind1Execute() {
    wb.screens.desktop.showFindDialog();
}

void FindPrint::FindDialog1Find() {
    const auto options = wb.screens.desktop.findOptions();
    ListingView& listing = wb.screens.listing;

    // The text in program positions, the same positions the selection uses.
    std::string text;
    const auto lines = listing.lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += "\r\n";
        text += lines[i];
    }
    const int length = static_cast<int>(text.size());
    const int start = listing.selectionLength() > 0 ? listing.selectionStart() + listing.selectionLength()
                                                    : listing.selectionStart();

    int hit = findInRange(text, options.text, start, length - start, options.matchCase, options.wholeWord);
    // The second pass takes every hit that begins before the start, also
    // one that runs on past it: the user sees it on the screen.
    const int pattern = static_cast<int>(options.text.size());
    if (hit < 0)
        hit = findInRange(text, options.text, 0, start + std::max(pattern - 1, 0), options.matchCase,
                          options.wholeWord);
    if (hit < 0) {
        wb.screens.desktop.showMessage("Seach string '" + options.text + "' not found");
        return;
    }
    // The hit is shown selected and in view, but the keys stay with the
    // find dialog: with the listing focused, the next Enter meant for Find
    // Next would replace the selected hit with a line break.
    listing.setSelection(hit, 0);
    listing.scrollCaretIntoView();
    listing.setSelection(hit, static_cast<int>(options.text.size()));
}

void FindPrint::PrintMenuClick() {
    // The desktop layer reports a missing or failing printer itself, with the
    // toolkit's error box; the listing is never changed here.
    wb.screens.desktop.printListing();
}

void FindPrint::ExportPdfMenuClick() {
    wb.screens.desktop.exportListingPdf();
}

}  // namespace travin
