#include "core/SingleByteText.h"

#include <array>

namespace travin {

namespace {

// 0x80..0x9F; the undefined five keep their own value as control characters.
constexpr std::array<char32_t, 32> kHighControls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char32_t characterOfByte(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
    return byte;
}

int byteOfCharacter(char32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) return static_cast<int>(character);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == character) return static_cast<int>(0x80 + i);
    }
    return -1;
}

unsigned char lowerSingleByte(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    // À..Þ lie 32 below their small forms, except the multiplication sign.
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    switch (c) {
    case 0x8A: return 0x9A;   // Š
    case 0x8C: return 0x9C;   // Œ
    case 0x8E: return 0x9E;   // Ž
    case 0x9F: return 0xFF;   // Ÿ
    default: return c;
    }
}

std::string lowerSingleByte(const std::string& text) {
    std::string out = text;
    for (char& ch : out) ch = static_cast<char>(lowerSingleByte(static_cast<unsigned char>(ch)));
    return out;
}

bool isSingleByteLetter(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    if (c >= 0xC0) return c != 0xD7 && c != 0xF7;
    switch (c) {
    case 0x83: case 0x8A: case 0x8C: case 0x8E: case 0x9A: case 0x9C: case 0x9E: case 0x9F:
    case 0xAA: case 0xB5: case 0xBA:
        return true;
    default:
        return false;
    }
}

}  // namespace travin
