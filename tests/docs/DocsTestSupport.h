// Small helpers shared by the documentation tests: reading the installed
// files and pulling attributes out of HTML.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace docs_test {

inline std::filesystem::path BinDir() { return std::filesystem::path(TRAVIN_BIN_DIR); }

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Values of every attribute named by the pattern (e.g. "href|src"), in order.
inline std::vector<std::string> Attributes(const std::string& html, const std::string& names) {
    std::vector<std::string> values;
    const std::regex re("\\b(?:" + names + ")\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)')", std::regex::icase);
    for (std::sregex_iterator it(html.begin(), html.end(), re), end; it != end; ++it)
        values.push_back((*it)[1].matched ? (*it)[1].str() : (*it)[2].str());
    return values;
}

inline std::set<std::string> Ids(const std::string& html) {
    const auto list = Attributes(html, "id");
    return {list.begin(), list.end()};
}

}  // namespace docs_test
