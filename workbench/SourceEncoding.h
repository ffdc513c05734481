// What kind of text a source file holds, before it becomes the listing.
//
// The listing is single-byte text (Windows-1252). A file written by today's
// editors is often UTF-8: read byte by byte, "é" would show as "Ã©". Such a
// file is recognised so the user can have it converted, and a file that is
// no text at all (NUL bytes, mostly control bytes) is recognised so it is
// refused instead of filling the listing with noise.
#pragma once

#include <string>
#include <vector>

namespace travin {

enum class SourceKind {
    SingleByte,   // plain ASCII, or bytes that are not valid UTF-8: read as they are
    Utf8,         // valid UTF-8 with characters beyond ASCII
    Binary,       // not text
};

struct SourceCheck {
    SourceKind kind = SourceKind::SingleByte;
    // For Binary, why, as a sentence for the error box.
    std::string reason;
    // For Utf8, the first character beyond ASCII (UTF-8) and its line (1-based).
    std::string example;
    int exampleLine = 0;
};

// Looks at the lines as read from the file (without their line ends).
SourceCheck checkSource(const std::vector<std::string>& lines);

struct Utf8Conversion {
    std::vector<std::string> lines;   // single-byte text
    struct Outside {
        int line;          // 1-based
        char32_t character;
    };
    // Every character the single-byte set cannot hold, in order.
    std::vector<Outside> outside;
};

// Converts valid UTF-8 lines to single-byte text (a leading byte-order mark
// dropped).
Utf8Conversion convertFromUtf8(const std::vector<std::string>& lines);

// "é (U+00E9)" in UTF-8, as the codec names a character it refuses.
std::string describeCharacter(char32_t character);

}  // namespace travin
