// The client's JSON strings: every byte of the board's single-byte text goes
// out as the character the workbench shows for it, as an escape that keeps
// the output plain ASCII, and reads back to the same byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "cli/Json.h"
#include "core/SingleByteText.h"

namespace travin::cli {
namespace {

std::string allBytes(int from, int to) {
    std::string bytes;
    for (int b = from; b <= to; ++b) bytes += static_cast<char>(b);
    return bytes;
}

std::string escapesOf(int from, int to) {
    std::string out;
    char escaped[8];
    for (int b = from; b <= to; ++b) {
        std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
        out += escaped;
    }
    return out;
}

struct JsonRow {
    const char* name;
    std::string bytes;
    std::string expected;  // between the quotes
};

void PrintTo(const JsonRow& row, std::ostream* os) { *os << row.name; }

class JsonStrings : public ::testing::TestWithParam<JsonRow> {};

TEST_P(JsonStrings, EscapeEachByteAsItsCharacter) {
    const JsonRow& row = GetParam();
    EXPECT_EQ(jsonString(row.bytes), "\"" + row.expected + "\"");
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, JsonStrings,
    ::testing::Values(
        // The euro sign, quotation marks, dashes ...; the five bytes the set
        // leaves undefined stay the control characters of their own value.
        JsonRow{"HighBlockAsWindows1252", allBytes(0x80, 0x9F),
                "\\u20ac\\u0081\\u201a\\u0192\\u201e\\u2026\\u2020\\u2021"
                "\\u02c6\\u2030\\u0160\\u2039\\u0152\\u008d\\u017d\\u008f"
                "\\u0090\\u2018\\u2019\\u201c\\u201d\\u2022\\u2013\\u2014"
                "\\u02dc\\u2122\\u0161\\u203a\\u0153\\u009d\\u017e\\u0178"},
        JsonRow{"UpperHalfAsLatin1", allBytes(0xA0, 0xFF), escapesOf(0xA0, 0xFF)},
        JsonRow{"ControlCharacters", std::string(1, '\0') + allBytes(0x01, 0x1F) + "\x7f",
                escapesOf(0x00, 0x1F) + "\\u007f"},
        JsonRow{"QuoteAndBackslash", "say \"a\\b\"", "say \\\"a\\\\b\\\""},
        JsonRow{"PlainTextUnchanged", "COM1 v2.3 /dev/ttyUSB0", "COM1 v2.3 /dev/ttyUSB0"},
        JsonRow{"EuroAmongText", "price 5\x80 \x93ok\x94", "price 5\\u20ac \\u201cok\\u201d"}),
    [](const auto& info) { return std::string(info.param.name); });

// File names, device paths and descriptions are the system's UTF-8 text:
// each character is escaped once, never byte by byte; a byte that starts
// no valid sequence still comes out, as the workbench's character for it.
TEST(JsonSystemStrings, Utf8NamesComeOutAsTheirCharacters) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"/home/ana/pr\xc3\xbc" "f.tn", "/home/ana/pr\\u00fcf.tn"},
        {"\xe8\xa9\xa6\xe9\xa8\x93/a \"b\"", "\\u8a66\\u9a13/a \\\"b\\\""},
        {"run \xf0\x9f\x98\x80.tn", "run \\ud83d\\ude00.tn"},
        {"bad \x80 and cut \xc3", "bad \\u20ac and cut \\u00c3"},
        {"overlong \xc0\xaf, surrogate \xed\xa0\x80", "overlong \\u00c0\\u00af, surrogate \\u00ed\\u00a0\\u20ac"},
        {"tab\there", "tab\\u0009here"},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(jsonSystemString(text), "\"" + expected + "\"") << text;
}

// Reads the escapes back with the workbench's codec: every byte 1 to 255
// comes back unchanged, and nothing outside printable ASCII is written.
TEST(JsonStringsReadBack, EveryByteSurvives) {
    const std::string bytes = allBytes(0x01, 0xFF);
    const std::string json = jsonString(bytes);
    ASSERT_GE(json.size(), 2u);
    std::string back;
    for (std::size_t i = 1; i + 1 < json.size(); ++i) {
        const auto c = static_cast<unsigned char>(json[i]);
        ASSERT_TRUE(c >= 0x20 && c < 0x7F) << "byte " << int(c) << " at " << i;
        if (c != '\\') {
            back += json[i];
            continue;
        }
        ASSERT_LT(i + 1, json.size() - 1);
        if (json[i + 1] != 'u') {
            back += json[++i];
            continue;
        }
        ASSERT_LE(i + 6, json.size() - 1);
        const auto character = static_cast<char32_t>(std::stoul(json.substr(i + 2, 4), nullptr, 16));
        const int byte = byteOfCharacter(character);
        ASSERT_GE(byte, 0) << "U+" << std::hex << unsigned(character) << " is outside the workbench's set";
        back += static_cast<char>(byte);
        i += 5;
    }
    EXPECT_EQ(back, bytes);
}

}  // namespace
}  // namespace travin::cli
