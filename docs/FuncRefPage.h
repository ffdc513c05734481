// The function reference page, built from the function catalogue.
//
//   FuncRefPage(catalogue)  the whole funcref.html text
//   HtmlEscape(text)        text made safe for HTML content and attributes
//
// The page is generated at build time (gen_funcref) so that the help
// document and the function assistant read the very same table and can never
// disagree.
#pragma once

#include <string>
#include <string_view>

#include "assistant/FuncAssistCatalogue.h"

namespace travin::docs {

// Replaces & < > " ' by their entities; every other byte is kept as it is.
std::string HtmlEscape(std::string_view text);

// Builds the complete page from a catalogue walked in order up to its sentinel
// (the first entry whose Name is empty). Entries are grouped by module in the
// order General Purpose, Orlen, Daska, Membo (entries of any other group come
// last, under the catalogue's own caption for them) and keep catalogue order
// within their group. Each entry is an <article> with the id
// "<group>-<name>" (group caption lower-cased, blanks as '-'), so the Orlen
// and Daska entries that share a name stay apart. Parameter defaults are in
// cells of class "default", in parameter order.
std::string FuncRefPage(const FuncAssistEntry* catalogue);

}  // namespace travin::docs
