// The few JSON pieces the client prints: a string with its escapes.
#pragma once

#include <cstdio>
#include <string>

#include "core/SingleByteText.h"

namespace travin::cli {

// `text` as a JSON string. Its bytes are the workbench's single-byte text,
// so each byte from 0x7F up, and each control character, goes out as the
// \uXXXX escape of the character that byte shows as (0x80 as the euro sign);
// the output is plain ASCII and valid UTF-8 whatever the board sent.
inline std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(characterOfByte(c)));
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// `text` as a JSON string when it is the system's text, not the board's:
// file names, device paths and descriptions, which are UTF-8 here. Each
// character outside printable ASCII goes out as its \uXXXX escape (a
// surrogate pair above U+FFFF); a byte that starts no valid UTF-8 sequence
// goes out as the workbench's character for it, so nothing is dropped.
inline std::string jsonSystemString(const std::string& text) {
    std::string out = "\"";
    auto escape = [&](char32_t c) {
        char escaped[16];
        if (c > 0xFFFF) {
            const char32_t v = c - 0x10000;
            std::snprintf(escaped, sizeof escaped, "\\u%04x\\u%04x", static_cast<unsigned>(0xD800 + (v >> 10)),
                          static_cast<unsigned>(0xDC00 + (v & 0x3FF)));
        } else {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
        }
        out += escaped;
    };
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = bytes[i];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        // The length and lowest value of a sequence led by c; 0: no lead.
        const std::size_t length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        char32_t value = length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
        bool valid = length > 0 && i + length <= n;
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (bytes[i + k] & 0xC0) == 0x80;
            value = (value << 6) | (bytes[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are no characters.
        valid = valid && !(length == 3 && value < 0x800) && !(length == 4 && (value < 0x10000 || value > 0x10FFFF)) &&
                !(value >= 0xD800 && value <= 0xDFFF);
        if (valid) {
            escape(value);
            i += length;
        } else {
            escape(characterOfByte(c));
            ++i;
        }
    }
    return out + "\"";
}

}  // namespace travin::cli
