// funcref.html as generated at build time from the function catalogue.

#include <gtest/gtest.h>

#include <cctype>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "assistant/FuncAssistCatalogue.h"
#include "docs/FuncRefPage.h"
#include "tests/docs/DocsTestSupport.h"

namespace {

const std::string& Page() {
    static const std::string page = docs_test::ReadFile(docs_test::BinDir() / "funcref.html");
    return page;
}

// The <article> with the given id, or "" when there is none.
std::string Article(const std::string& html, const std::string& id) {
    const std::string open = "<article class=\"entry\" id=\"" + id + "\">";
    const auto start = html.find(open);
    if (start == std::string::npos) return "";
    const auto end = html.find("</article>", start);
    return html.substr(start, end - start);
}

std::vector<std::string> Cells(const std::string& html, const std::string& cls) {
    std::vector<std::string> out;
    const std::regex re("<td class=\"" + cls + "\">([^<]*)</td>");
    for (std::sregex_iterator it(html.begin(), html.end(), re), end; it != end; ++it)
        out.push_back((*it)[1].str());
    return out;
}

std::string Id(const travin::FuncAssistEntry& e) {
    std::string group = travin::GroupCaption(e.Flags);
    for (char& c : group) c = c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return group + "-" + e.Name;
}

}  // namespace

TEST(FuncRefPage, HasOneArticleForEachOfThe44EntriesWithTheirDefaultsInOrder) {
    ASSERT_FALSE(Page().empty());
    std::regex article("<article class=\"entry\"");
    EXPECT_EQ(std::distance(std::sregex_iterator(Page().begin(), Page().end(), article), std::sregex_iterator()), 44);
    for (int i = 0; i < travin::FuncAssistEntryCount; ++i) {
        const auto& e = travin::FuncAssistCatalogue[i];
        SCOPED_TRACE(Id(e));
        const std::string a = Article(Page(), Id(e));
        ASSERT_FALSE(a.empty());
        EXPECT_NE(a.find(std::string("<h4><code>") + e.Name + "</code>"), std::string::npos);
        EXPECT_NE(a.find((e.Flags & 0x80) ? ">function<" : ">subroutine<"), std::string::npos);
        std::vector<std::string> defaults;
        for (int p = 0; p < travin::ParamCount(e.Params); ++p) defaults.push_back(e.Params[p].Default);
        EXPECT_EQ(Cells(a, "default"), defaults);
    }
}

// Written out independently of the catalogue, so a wrong catalogue or a
// generator that drops or reorders parameters shows here.
TEST(FuncRefPage, DefaultsOfSelectedEntriesAreExact) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Cells(Article(Page(), "orlen-svgain"), "default"),
              (V{"1", "100", "1000", "0", "0", "255", "0", "2000", "1", "1", "1"}));
    EXPECT_EQ(Cells(Article(Page(), "orlen-svtraj"), "default"), (V{"1", "151", "0", "100000", "1000", "0"}));
    EXPECT_EQ(Cells(Article(Page(), "daska-sttraj"), "default"), (V{"1", "135", "0", "10", "20"}));
    EXPECT_EQ(Cells(Article(Page(), "general-purpose-testbit"), "default"), (V{"0", "1"}));
    EXPECT_EQ(Cells(Article(Page(), "general-purpose-getchar"), "default"), V{});
    EXPECT_NE(Article(Page(), "orlen-svtraj").find("<code>svtraj(1,151,0,100000,1000,0)</code>"), std::string::npos);
    EXPECT_NE(Article(Page(), "general-purpose-nmreset").find("<code>nmreset()</code>"), std::string::npos);
}

TEST(FuncRefPage, ModeBitsBelongToTheirOwnModuleAndMarkTheDefault) {
    const std::string orlen = Article(Page(), "orlen-homing");
    const std::string daska = Article(Page(), "daska-homing");
    EXPECT_NE(orlen.find("Home on LIMIT 1"), std::string::npos);
    EXPECT_EQ(orlen.find("Home of Limit 1"), std::string::npos);
    EXPECT_NE(daska.find("Home of Limit 1"), std::string::npos);

    // 151 = bits 0, 1, 2, 4 and 7.
    const auto marks = Cells(Article(Page(), "orlen-svtraj"), "mark");
    EXPECT_EQ(marks, (std::vector<std::string>{"set", "set", "set", "", "set", "", "", "set"}));
    EXPECT_EQ(Cells(Article(Page(), "membo-iotimer"), "mark"),
              (std::vector<std::string>{"set", "set", "", "", "", "", "", ""}));
    EXPECT_TRUE(Cells(Article(Page(), "orlen-svgain"), "mark").empty());  // no mode byte
}

// A table of the catalogue's shape with texts that must be escaped, a full
// list of eleven parameters without terminator, and a group value that is no
// module.
TEST(FuncRefPage, EscapesTextsAndKeepsEntriesOfAnUnknownGroup) {
    static const travin::FuncAssistParam eleven[11] = {
        {"1", "a"}, {"2", "b"}, {"3", "c"}, {"4", "d"}, {"5", "e"}, {"6", "f"},
        {"7", "g"}, {"8", "h"}, {"9", "i"}, {"10", "j"}, {"x<y", "k & l"}};
    static const travin::FuncAssistParam none[1] = {{"", ""}};
    static const travin::FuncAssistEntry table[] = {
        {"odd", 0x83, nullptr, eleven, "Compares <a> & \"b\"", "1 if a<b"},
        {"plain", 0x41, nullptr, none, "Nothing", ""},
        {"", 0, nullptr, none, "", ""},
    };
    const std::string page = travin::docs::FuncRefPage(table);
    EXPECT_EQ(page.find("<a> &"), std::string::npos);
    EXPECT_NE(page.find("Compares &lt;a&gt; &amp; &quot;b&quot;"), std::string::npos);
    EXPECT_NE(page.find("1 if a&lt;b"), std::string::npos);
    EXPECT_NE(page.find("<td class=\"default\">x&lt;y</td><td>k &amp; l</td>"), std::string::npos);

    const std::string odd = Article(page, "unknown-odd");
    ASSERT_FALSE(odd.empty()) << "an entry of no known module vanished";
    EXPECT_EQ(Cells(odd, "default").size(), 11u);
    EXPECT_NE(page.find("<section class=\"group\" id=\"unknown\">"), std::string::npos);
    EXPECT_FALSE(Article(page, "general-purpose-plain").empty());
    EXPECT_EQ(travin::docs::HtmlEscape("'"), "&#39;");
}

// The seven names that Orlen and Daska share, and which entry a selected call
// opens, since the page keeps them apart by module.
TEST(FuncRefPage, NamesTheRoutinesThatTwoModulesShare) {
    EXPECT_NE(Page().find("<code>getad</code>, <code>gethome</code>, <code>getpos</code>, <code>homing</code>, "
                          "<code>resetpos</code>, <code>stopmot</code> and <code>waitmove</code> exist for "
                          "more than one module."),
              std::string::npos);
    EXPECT_NE(Page().find("opens the call editor for the Orlen entry"), std::string::npos);
}
