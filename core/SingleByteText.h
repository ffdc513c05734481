// The workbench's one single-byte character set: Windows-1252.
//
// Source files, the listing, console bytes and everything on the wire are
// single-byte text. Each byte shows as the Windows-1252 character it names
// (0x80 as the euro sign, 0x93 as a left double quotation mark, ...); the
// five bytes that set leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) show
// as the control characters of the same value, so every byte 0 to 255 maps
// to one character and back unchanged. A character outside the set has no
// byte: callers refuse it where it enters or report it, never replace it.
//
//   characterOfByte   byte -> Unicode code point
//   byteOfCharacter   Unicode code point -> byte, or -1 outside the set
//   lowerSingleByte   lower case of a byte, the set's own letters included
//   isSingleByteLetter  letters of the set (for word boundaries)
#pragma once

#include <string>

namespace travin {

char32_t characterOfByte(unsigned char byte);
int byteOfCharacter(char32_t character);

unsigned char lowerSingleByte(unsigned char byte);
std::string lowerSingleByte(const std::string& text);
bool isSingleByteLetter(unsigned char byte);

}  // namespace travin
