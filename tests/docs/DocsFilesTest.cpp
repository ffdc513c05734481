// The installed help documents: all six present, every link between them
// resolves, nothing is fetched from elsewhere, and the ACI manual is a real PDF.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "tests/docs/DocsTestSupport.h"

namespace fs = std::filesystem;
using docs_test::Attributes;
using docs_test::BinDir;
using docs_test::Ids;
using docs_test::ReadFile;

namespace {

std::vector<fs::path> InstalledPages() {
    std::vector<fs::path> pages;
    for (const auto& e : fs::directory_iterator(BinDir()))
        if (e.is_regular_file() && e.path().extension() == ".html") pages.push_back(e.path());
    std::sort(pages.begin(), pages.end());
    return pages;
}

bool HasScheme(const std::string& ref) {
    // "http:", "file:", "mailto:", "javascript:" ... and protocol-relative "//host".
    static const std::regex scheme("^[A-Za-z][A-Za-z0-9+.-]*:");
    return ref.rfind("//", 0) == 0 || std::regex_search(ref, scheme);
}

}  // namespace

// The Help menu opens these by name from the executable's folder.
TEST(HelpDocuments, AllSixAreInstalledNextToTheExecutable) {
    for (const char* name : {"tnoverview.html", "tnquickstart.html", "uiref.html", "langref.html",
                             "funcref.html", "aci_manual.pdf"}) {
        const fs::path path = BinDir() / name;
        EXPECT_TRUE(fs::is_regular_file(path)) << path;
        if (fs::is_regular_file(path)) {
            EXPECT_GT(fs::file_size(path), 1000u) << path;
        }
    }
    EXPECT_TRUE(fs::is_regular_file(BinDir() / "style.css"));
}

TEST(HelpDocuments, EveryLinkResolvesAndNothingIsExternal) {
    const auto pages = InstalledPages();
    ASSERT_GE(pages.size(), 3u) << "no pages in " << BinDir();
    for (const fs::path& page : pages) {
        const std::string html = ReadFile(page);
        const auto ownIds = Ids(html);
        for (const std::string& ref : Attributes(html, "href|src")) {
            SCOPED_TRACE(page.filename().string() + " -> " + ref);
            ASSERT_FALSE(ref.empty());
            EXPECT_FALSE(HasScheme(ref)) << "external or absolute reference";
            if (HasScheme(ref)) continue;
            const auto hash = ref.find('#');
            const std::string file = ref.substr(0, hash);
            const std::string fragment = hash == std::string::npos ? "" : ref.substr(hash + 1);
            EXPECT_EQ(file.find('?'), std::string::npos);
            const fs::path target = file.empty() ? page : page.parent_path() / file;
            if (!fs::is_regular_file(target)) {
                ADD_FAILURE() << "missing " << target;
                continue;
            }
            if (!fragment.empty()) {
                const auto ids = file.empty() ? ownIds : Ids(ReadFile(target));
                EXPECT_TRUE(ids.count(fragment)) << "no id \"" << fragment << "\" in " << target;
            }
        }
        // Ids must be unique, or a fragment lands on the wrong place.
        const auto ids = Attributes(html, "id");
        EXPECT_EQ(ids.size(), ownIds.size()) << page << " repeats an id";
        EXPECT_EQ(html.find("<script"), std::string::npos) << page;
    }
}

TEST(HelpDocuments, StylesheetNeedsNothingFromOutside) {
    const std::string css = ReadFile(BinDir() / "style.css");
    ASSERT_FALSE(css.empty());
    EXPECT_EQ(css.find("@import"), std::string::npos);
    EXPECT_EQ(css.find("@font-face"), std::string::npos);
    EXPECT_EQ(css.find("url("), std::string::npos);
}

TEST(HelpDocuments, AciManualIsANonTrivialPdf) {
    const std::string pdf = ReadFile(BinDir() / "aci_manual.pdf");
    ASSERT_GT(pdf.size(), 10000u);
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
    std::string tail = pdf.substr(pdf.size() - 32);
    while (!tail.empty() && std::isspace(static_cast<unsigned char>(tail.back()))) tail.pop_back();
    EXPECT_TRUE(tail.size() >= 5 && tail.substr(tail.size() - 5) == "%%EOF") << "truncated PDF";

    // A manual of several sections fills more than one page.
    const std::regex page("/Type\\s*/Page(?![s])");
    const auto pages = std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), page), std::sregex_iterator());
    EXPECT_GE(pages, 2);
}
