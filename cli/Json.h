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

}  // namespace travin::cli
