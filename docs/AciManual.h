// The ACI manual's text source and its conversion for the PDF writer.
//
//   AciManualHtml(text)  the source text as rich-text HTML for QTextDocument
//
// Source format, line by line:
//   "# Title"        a heading
//   "## Title"       a subheading
//   "    code"       a line of code (four blanks, then the code), shown in a
//                    fixed-pitch font; neighbouring code lines form one block,
//                    blank lines between them included
//   "- item"         a list item; plain lines right after it continue it
//   blank line       ends a paragraph, a list or a code block
//   anything else    paragraph text; the lines of one paragraph are joined
// All text is escaped, so < & > may be written as they are.
#pragma once

#include <QString>

namespace travin::docs {

QString AciManualHtml(const QString& text);

}  // namespace travin::docs
