// The wire images and readings of program control, from plain values.
#include <gtest/gtest.h>

#include <numeric>

#include "debugger/ProgramImage.h"

namespace travin {
namespace {

std::vector<std::string> repeatLines(int count, int length, char fill = 'x') {
    return std::vector<std::string>(count, std::string(length, fill));
}

// The stream the board stores: every line plus CR LF.
std::vector<std::uint8_t> streamOf(const std::vector<std::string>& lines) {
    std::vector<std::uint8_t> out;
    for (const auto& l : lines) {
        out.insert(out.end(), l.begin(), l.end());
        out.push_back('\r');
        out.push_back('\n');
    }
    return out;
}

struct LimitCase {
    const char* name;
    std::vector<std::string> lines;
    LimitFault fault;
    int markedLine;   // the line whose start is the reported position; -1 for none
    int size;         // expected running size when the check ended
};

std::vector<std::string> sized(int total) {
    // 2 + sum(len + 2) == total, with lines of at most 80 characters.
    std::vector<std::string> lines;
    int left = total - 2;
    while (left > 0) {
        int length = std::min(78, left - 2);
        lines.emplace_back(length, 'y');
        left -= length + 2;
    }
    return lines;
}

std::vector<std::string> withLine(std::vector<std::string> lines, std::size_t index, std::string line) {
    lines[index] = std::move(line);
    return lines;
}

class Limits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(Limits, FaultAndPosition) {
    const auto& c = GetParam();
    const LimitVerdict v = checkLimits(c.lines);
    EXPECT_EQ(v.fault, c.fault);
    EXPECT_EQ(v.size, c.size);
    if (c.markedLine >= 0) {
        const auto starts = lineStarts(c.lines);
        EXPECT_EQ(lineAtPosition(starts, v.position), c.markedLine);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Program, Limits,
    ::testing::Values(
        LimitCase{"Empty", {}, LimitFault::None, -1, 0},
        LimitCase{"ThreeCharacters", {"abc"}, LimitFault::None, -1, 7},
        LimitCase{"Line80", repeatLines(3, 80), LimitFault::None, -1, 2 + 3 * 82},
        LimitCase{"Line81", withLine(repeatLines(6, 10), 4, std::string(81, 'z')), LimitFault::LineTooLong, 4,
                  2 + 4 * 12},
        LimitCase{"Line81First", {std::string(81, 'z')}, LimitFault::LineTooLong, 0, 0},
        LimitCase{"Lines8192", repeatLines(8192, 1), LimitFault::None, -1, 2 + 8192 * 3},
        LimitCase{"Lines8193", repeatLines(8193, 1), LimitFault::TooManyLines, 8192, 2 + 8192 * 3},
        LimitCase{"Lines8193LastTooLong", withLine(repeatLines(8193, 1), 8192, std::string(81, 'z')),
                  LimitFault::LineTooLong, 8192, 2 + 8192 * 3},
        LimitCase{"Size29696", sized(29696), LimitFault::None, -1, 29696},
        LimitCase{"Size29697", sized(29697), LimitFault::TooLarge, static_cast<int>(sized(29697).size()) - 1,
                  29697}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Pages, OneShortLineIsOnePaddedPage) {
    const auto pages = buildPages({"abc"});
    ASSERT_EQ(pages.size(), 1u);
    Page expected{};
    const std::uint8_t head[] = {0, 0, 'a', 'b', 'c', '\r', '\n'};
    std::copy(std::begin(head), std::end(head), expected.begin());
    EXPECT_EQ(pages[0], expected);
}

TEST(Pages, EmptyListingSendsNoPage) {
    EXPECT_TRUE(buildPages({}).empty());
}

struct PageCase {
    const char* name;
    std::vector<std::string> lines;
    std::size_t pages;
    int dots;
};

class PageLayout : public ::testing::TestWithParam<PageCase> {};

// The pages, read back in order without their numbers, are the stream
// followed by zeros; numbers count up from 0 little-endian; lines may be
// split anywhere.
TEST_P(PageLayout, PagesCarryTheStream) {
    const auto& c = GetParam();
    const auto pages = buildPages(c.lines);
    ASSERT_EQ(pages.size(), c.pages);
    std::vector<std::uint8_t> data;
    int dots = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i][0] | pages[i][1] << 8, static_cast<int>(i));
        data.insert(data.end(), pages[i].begin() + 2, pages[i].end());
        dots += dotAfterPage(i, pages.size());
    }
    auto stream = streamOf(c.lines);
    ASSERT_LE(stream.size() + 1, data.size()) << "the program must end in a zero byte";
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), data.begin()));
    EXPECT_TRUE(std::all_of(data.begin() + static_cast<long>(stream.size()), data.end(),
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(dots, c.dots);
}

INSTANTIATE_TEST_SUITE_P(
    Program, PageLayout,
    ::testing::Values(
        // 2 x (63 + 2) = 130: page 0 full, page 1 two bytes and zeros.
        PageCase{"Stream130", repeatLines(2, 63), 2, 0},
        // 2 x (62 + 2) = 128: a page of zeros follows.
        PageCase{"Stream128", repeatLines(2, 62), 2, 0},
        // 16 x 64 = 1024 = 8 full pages, plus the page of zeros: two dots.
        PageCase{"EightFullPages", repeatLines(16, 62), 9, 2},
        // 3 full pages and a padded one: the padded page earns no dot.
        PageCase{"ThreeFullPagesAndPadding", repeatLines(7, 62), 4, 0},
        // Lines of 80 cross page boundaries at varying offsets.
        PageCase{"LongLinesSplit", repeatLines(30, 80, 'q'), 20, 4},
        PageCase{"LargestProgram", sized(29696), 232, 57}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Pages, SecondPageOfA130ByteStream) {
    const auto pages = buildPages(repeatLines(2, 63));
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[1][0], 1);
    EXPECT_EQ(pages[1][1], 0);
    EXPECT_EQ(pages[1][2], '\r');
    EXPECT_EQ(pages[1][3], '\n');
    EXPECT_EQ(pages[1][4], 0);
}

TEST(Positions, LineAtPosition) {
    const auto starts = lineStarts({"ab", "", "cdef", "g"});   // 0, 4, 6, 12
    EXPECT_EQ(starts, (std::vector<int>{0, 4, 6, 12}));
    const std::pair<int, int> cases[] = {{0, 0}, {1, 0}, {3, 0}, {4, 1}, {5, 1}, {6, 2},
                                         {11, 2}, {12, 3}, {13, 3}, {500, 3}};
    for (auto [position, line] : cases) EXPECT_EQ(lineAtPosition(starts, position), line) << position;
    EXPECT_EQ(lineAtPosition({}, 0), -1);
}

TEST(BreakpointTable, SlotsAsStartPositions) {
    std::vector<std::string> lines(30, "line");   // each line starts at 6 * n
    const auto starts = lineStarts(lines);
    EXPECT_EQ(breakpointPayload({5, 20, 12}, starts),
              (std::array<std::uint8_t, 6>{30, 0, 120, 0, 72, 0}));
    EXPECT_EQ(breakpointPayload({0xFFFF, 0xFFFF, 0xFFFF}, starts),
              (std::array<std::uint8_t, 6>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    // Positions above 255 use both bytes.
    const auto wide = lineStarts(std::vector<std::string>(100, std::string(78, 'w')));
    EXPECT_EQ(breakpointPayload({0xFFFF, 90, 0xFFFF}, wide),
              (std::array<std::uint8_t, 6>{0xFF, 0xFF, 90 * 80 & 0xFF, 90 * 80 >> 8, 0xFF, 0xFF}));
}

TEST(VariableRows, SignedWithSpaceForPositive) {
    EXPECT_EQ(variableRow(0, 5), "A: 5");
    EXPECT_EQ(variableRow(0, -5), "A:-5");
    EXPECT_EQ(variableRow(25, 0), "Z: 0");
    EXPECT_EQ(variableRow(1, INT32_MIN), "B:-2147483648");
    EXPECT_EQ(variableRow(2, INT32_MAX), "C: 2147483647");
}

struct ReadCase {
    const char* text;
    std::optional<std::int32_t> value;
};

class ValueReading : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ValueReading, AsPercentLd) {
    EXPECT_EQ(readLong(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Variables, ValueReading,
    ::testing::Values(ReadCase{"12ab", 12}, ReadCase{"-5", -5}, ReadCase{"+7", 7}, ReadCase{"  \t42", 42},
                      ReadCase{"007", 7}, ReadCase{"abc", std::nullopt}, ReadCase{"", std::nullopt},
                      ReadCase{"-", std::nullopt}, ReadCase{"+ 7", std::nullopt},
                      ReadCase{"2147483647", INT32_MAX}, ReadCase{"-2147483648", INT32_MIN},
                      // Out of range is refused, never limited.
                      ReadCase{"2147483648", std::nullopt}, ReadCase{"-2147483649", std::nullopt},
                      ReadCase{"99999999999999999999999", std::nullopt},
                      ReadCase{"-99999999999999999999999", std::nullopt}));

TEST(StartupTime, ReadingAndClamping) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"0", 1}, {"-4", 1}, {"1", 1}, {"7", 7}, {"9", 7}, {"3abc", 3}, {" 5", 5},
        {"99999999999999999999", 7}, {"-99999999999999999999", 1}, {"", std::nullopt}, {"abc", std::nullopt}};
    for (auto [text, expected] : cases) {
        auto read = readLeadingInteger(text);
        std::optional<int> got;
        if (read) got = clampStartupTime(*read);
        EXPECT_EQ(got, expected) << '"' << text << '"';
    }
}

TEST(UploadText, StreamBackToLines) {
    auto bytes = [](std::string_view s) { return std::vector<std::uint8_t>(s.begin(), s.end()); };
    EXPECT_EQ(splitProgramStream(bytes("ABC\r\nDE")), (std::vector<std::string>{"ABC", "DE"}));
    EXPECT_EQ(splitProgramStream(bytes("ABC\r\n")), (std::vector<std::string>{"ABC"}));
    EXPECT_EQ(splitProgramStream(bytes("\r\n\r\n")), (std::vector<std::string>{"", ""}));
    EXPECT_TRUE(splitProgramStream({}).empty());
    // Every byte value but zero survives, tabs and Latin-1 included.
    std::vector<std::string> lines{"\tA\xE9\xFF", "", "x\x01y"};
    EXPECT_EQ(splitProgramStream(streamOf(lines)), lines);
}

TEST(UploadText, PiecesJoinBackToTheWholeText) {
    auto bytes = [](std::string_view s) { return std::vector<std::uint8_t>(s.begin(), s.end()); };
    using Pieces = std::vector<std::string>;
    EXPECT_EQ(programTextPieces(bytes("ABC\r\nDE")), (Pieces{"ABC", "DE"}));
    // The final line break and the empty lines before it are kept.
    EXPECT_EQ(programTextPieces(bytes("ABC\r\n")), (Pieces{"ABC", ""}));
    EXPECT_EQ(programTextPieces(bytes("ABC\r\n\r\n")), (Pieces{"ABC", "", ""}));
    EXPECT_EQ(programTextPieces({}), (Pieces{""}));
    // A lone CR or LF is no line break of the stream.
    EXPECT_EQ(programTextPieces(bytes("a\rb\nc\r\n")), (Pieces{"a\rb\nc", ""}));
}

}  // namespace
}  // namespace travin
