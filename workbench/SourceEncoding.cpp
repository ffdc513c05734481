#include "workbench/SourceEncoding.h"

#include <cstdio>

#include "core/SingleByteText.h"

namespace travin {

namespace {

// Decodes one UTF-8 sequence at `i`; false when it is not valid (overlong
// forms and surrogates included).
bool decodeUtf8(const std::string& s, std::size_t& i, char32_t& out) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    int more = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        out = lead;
        ++i;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        more = 1, c = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        more = 2, c = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        more = 3, c = lead & 0x07, least = 0x10000;
    } else {
        return false;
    }
    if (i + static_cast<std::size_t>(more) >= s.size()) return false;
    for (int k = 1; k <= more; ++k) {
        const unsigned char next = byte(i + static_cast<std::size_t>(k));
        if ((next & 0xC0) != 0x80) return false;
        c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    out = c;
    i += static_cast<std::size_t>(more) + 1;
    return true;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isControlByte(unsigned char c) {
    // Tab and form feed are at home in text; line ends are gone already.
    return (c < 0x20 && c != '\t' && c != '\f') || c == 0x7F;
}

}  // namespace

SourceCheck checkSource(const std::vector<std::string>& lines) {
    SourceCheck check;
    std::size_t total = 0, control = 0;
    bool valid = true, beyondAscii = false;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        total += line.size();
        for (unsigned char c : line) {
            if (c == 0) {
                check.kind = SourceKind::Binary;
                check.reason = "It holds NUL bytes: it is not a text file.";
                return check;
            }
            if (isControlByte(c)) ++control;
        }
        for (std::size_t i = 0; valid && i < line.size();) {
            const std::size_t at = i;
            char32_t c = 0;
            if (!decodeUtf8(line, i, c)) {
                valid = false;
                break;
            }
            if (c >= 0x80 && !beyondAscii) {
                beyondAscii = true;
                check.example = line.substr(at, i - at);
                check.exampleLine = static_cast<int>(n) + 1;
            }
        }
    }
    if (total > 0 && control * 2 > total) {
        check.kind = SourceKind::Binary;
        check.reason = "Most of its bytes are control characters: it is not a text file.";
        return check;
    }
    if (valid && beyondAscii) check.kind = SourceKind::Utf8;
    else check.example.clear(), check.exampleLine = 0;
    return check;
}

Utf8Conversion convertFromUtf8(const std::vector<std::string>& lines) {
    Utf8Conversion result;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        std::string line = lines[n];
        if (n == 0 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        std::string bytes;
        for (std::size_t i = 0; i < line.size();) {
            char32_t c = 0;
            if (!decodeUtf8(line, i, c)) {
                // Not UTF-8 after all: this byte as it is.
                c = characterOfByte(static_cast<unsigned char>(line[i]));
                ++i;
            }
            const int b = byteOfCharacter(c);
            if (b < 0) {
                result.outside.push_back({static_cast<int>(n) + 1, c});
                continue;
            }
            bytes += static_cast<char>(b);
        }
        result.lines.push_back(std::move(bytes));
    }
    return result;
}

std::string describeCharacter(char32_t character) {
    std::string text;
    appendUtf8(text, character);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(character));
    return text + " (U+" + hex + ")";
}

}  // namespace travin
