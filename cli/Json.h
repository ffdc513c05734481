// The few JSON pieces the client prints: a string with its escapes.
#pragma once

#include <cstdio>
#include <string>

namespace travin::cli {

// `text` as a JSON string. Bytes from 0x80 up are single-byte text
// (Windows-1252 on the board), passed as \u00XX so the output stays valid
// UTF-8 whatever the board sent.
inline std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

}  // namespace travin::cli
