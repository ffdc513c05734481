// The ACI manual's text format, converted for the PDF writer.

#include <gtest/gtest.h>

#include <QString>

#include <ostream>

#include "docs/AciManual.h"

namespace {

QString Body(const char* text) {
    QString html = travin::docs::AciManualHtml(QString::fromUtf8(text));
    html.remove(QStringLiteral("<html><body>\n"));
    html.remove(QStringLiteral("</body></html>\n"));
    return html;
}

}  // namespace

struct AciCase {
    const char* name;
    const char* text;
    const char* html;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const AciCase& c, std::ostream* os) { *os << c.name; }

class AciManualFormat : public ::testing::TestWithParam<AciCase> {};

TEST_P(AciManualFormat, ConvertsAsDocumented) {
    EXPECT_EQ(Body(GetParam().text).toStdString(), GetParam().html);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, AciManualFormat,
    ::testing::Values(
        AciCase{"Headings", "# Title\n## Sub\n", "<h1>Title</h1>\n<h2>Sub</h2>\n"},
        AciCase{"ParagraphLinesAreJoined", "one\ntwo\n\nthree\n", "<p>one two</p>\n<p>three</p>\n"},
        AciCase{"CodeKeepsItsBlanksAndIsEscaped", "    if A < 5 then\n      B = 1\n",
                "<pre>if A &lt; 5 then\n  B = 1</pre>\n"},
        AciCase{"BlankLineInsideCodeStaysInTheBlock", "    a\n\n    b\ntext\n", "<pre>a\n\nb</pre>\n<p>text</p>\n"},
        AciCase{"CodeRightAfterAParagraphLine", "Type:\n    print A\n", "<p>Type:</p>\n<pre>print A</pre>\n"},
        AciCase{"ListItemsAndContinuation", "- first\n  more\n- second\n\nafter\n",
                "<ul>\n<li>first more</li>\n<li>second</li>\n</ul>\n<p>after</p>\n"},
        AciCase{"CrLfLineEnds", "# T\r\n\r\nx & y\r\n", "<h1>T</h1>\n<p>x &amp; y</p>\n"},
        AciCase{"HashWithoutBlankIsText", "#5 is a number\n", "<p>#5 is a number</p>\n"}),
    [](const ::testing::TestParamInfo<AciCase>& info) { return std::string(info.param.name); });
