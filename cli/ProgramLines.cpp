#include "cli/ProgramLines.h"

#include <algorithm>
#include <cctype>

namespace travin::cli {

namespace {

bool isBlank(unsigned char c) { return c == ' ' || c == '\t'; }
bool isNameStart(unsigned char c) { return std::isalpha(c) || c == '_'; }
bool isNameChar(unsigned char c) { return std::isalnum(c) || c == '_'; }

// The line without its comment and the blanks around what is left.
std::string code(const std::string& line) {
    std::string text = line.substr(0, line.find('\''));
    const auto first = std::find_if_not(text.begin(), text.end(), [](char c) { return isBlank(static_cast<unsigned char>(c)); });
    text.erase(text.begin(), first);
    while (!text.empty() && isBlank(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

std::string lowerWord(const std::string& text, std::size_t& at) {
    while (at < text.size() && isBlank(static_cast<unsigned char>(text[at]))) ++at;
    std::string word;
    while (at < text.size() && isNameChar(static_cast<unsigned char>(text[at])))
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(text[at++])));
    return word;
}

}  // namespace

bool holdsStatement(const std::string& line) {
    const std::string text = code(line);
    if (text.empty()) return false;
    if (text.back() != ':' || !isNameStart(static_cast<unsigned char>(text[0]))) return true;
    // name: with nothing but blanks between the name and the colon.
    std::size_t at = 0;
    while (at < text.size() && isNameChar(static_cast<unsigned char>(text[at]))) ++at;
    while (at < text.size() && isBlank(static_cast<unsigned char>(text[at]))) ++at;
    return at != text.size() - 1;
}

bool stoppedAtItsEnd(const std::vector<std::string>& lines, int line) {
    if (line < 0 || line >= static_cast<int>(lines.size())) return false;
    const std::string text = code(lines[static_cast<std::size_t>(line)]);
    std::size_t at = 0;
    if (lowerWord(text, at) == "end") {
        std::size_t next = at;
        if (lowerWord(text, next) != "if") return true;
    }
    for (int later = line + 1; later < static_cast<int>(lines.size()); ++later)
        if (holdsStatement(lines[static_cast<std::size_t>(later)])) return false;
    return holdsStatement(lines[static_cast<std::size_t>(line)]);
}

int lineWithZeroByte(const std::vector<std::string>& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find('\0') != std::string::npos) return static_cast<int>(i);
    return -1;
}

}  // namespace travin::cli
