// The one single-byte character set, byte by byte.
#include <gtest/gtest.h>

#include <set>

#include "workbench/FindPrint.h"
#include "core/SingleByteText.h"

namespace {

using travin::byteOfCharacter;
using travin::characterOfByte;

// Every byte names one character and that character gives the byte back;
// no two bytes share a character.
TEST(SingleByteText, EveryByteRoundTripsThroughItsOwnCharacter) {
    std::set<char32_t> seen;
    for (int b = 0; b < 256; ++b) {
        const char32_t c = characterOfByte(static_cast<unsigned char>(b));
        EXPECT_EQ(byteOfCharacter(c), b) << "byte " << b;
        EXPECT_TRUE(seen.insert(c).second) << "byte " << b;
    }
}

struct Shown {
    unsigned char byte;
    char32_t character;
};

TEST(SingleByteText, TheHighControlBytesShowAsTheSetsCharactersAndTheFiveGapsStayControls) {
    for (const Shown& s : {Shown{0x41, U'A'}, Shown{0x80, U'€'}, Shown{0x81, 0x81}, Shown{0x84, U'„'},
                           Shown{0x8A, U'Š'}, Shown{0x8D, 0x8D}, Shown{0x8F, 0x8F}, Shown{0x90, 0x90},
                           Shown{0x93, U'“'}, Shown{0x94, U'”'}, Shown{0x96, U'–'}, Shown{0x99, U'™'},
                           Shown{0x9D, 0x9D}, Shown{0x9F, U'Ÿ'}, Shown{0xA0, 0xA0}, Shown{0xE9, U'é'},
                           Shown{0xFF, U'ÿ'}})
        EXPECT_EQ(characterOfByte(s.byte), s.character) << int(s.byte);
}

// What the set cannot hold has no byte, so no caller can turn it into '?'.
TEST(SingleByteText, CharactersOutsideTheSetHaveNoByte) {
    for (char32_t c : {char32_t(0x80), char32_t(0x82), char32_t(0x9F), U'→', U'Ā', U'‐', U'\uFFFD', U'😀'})
        EXPECT_EQ(byteOfCharacter(c), -1) << std::hex << static_cast<unsigned>(c);
}

// Case-blind find and the assistant's names lower the set's own capitals.
TEST(SingleByteText, FindIgnoresCaseForTheSetsOwnLettersAndKeepsWordsWhole) {
    EXPECT_EQ(travin::lowerSingleByte(std::string("\x8A\x8C\x8E\x9F\xC0\xD7\xDE")),
              std::string("\x9A\x9C\x9E\xFF\xE0\xD7\xFE"));
    const std::string text = "x=\x8A" "AB y=\x9A" "ab";
    EXPECT_EQ(travin::findInRange(text, "\x9A" "ab", 0, 99, false, false), 2);
    EXPECT_EQ(travin::findInRange(text, "\x9A" "ab", 0, 99, true, false), 8);
    // Š is a letter: "AB" inside "ŠAB" is no whole word.
    EXPECT_EQ(travin::findInRange(text, "AB", 0, 99, true, true), -1);
}

}  // namespace
