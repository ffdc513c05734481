#include "debugger/ProgramImage.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace travin {

LimitVerdict checkLimits(const std::vector<std::string>& lines) {
    LimitVerdict verdict;
    int size = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int length = static_cast<int>(lines[i].size());
        if (length > kLineLimit) return {LimitFault::LineTooLong, size, size};
        if (i >= static_cast<std::size_t>(kLineCountLimit)) return {LimitFault::TooManyLines, size, size};
        // The program ends in a zero byte; the 2 covers it with room to spare.
        if (i == 0) size += 2;
        size += length + 2;
    }
    verdict.size = size;
    if (size > kProgramAreaSize) {
        verdict.fault = LimitFault::TooLarge;
        verdict.position = size;
    }
    return verdict;
}

std::vector<Page> buildPages(const std::vector<std::string>& lines) {
    std::vector<Page> pages;
    if (lines.empty()) return pages;
    Page page{};
    int fill = 2;
    std::uint16_t number = 0;
    auto start = [&] {
        page.fill(0);
        page[0] = static_cast<std::uint8_t>(number & 0xFF);
        page[1] = static_cast<std::uint8_t>(number >> 8);
        fill = 2;
    };
    start();
    for (const std::string& line : lines) {
        std::string bytes = line.substr(0, kLineLimit);
        bytes += "\r\n";
        for (char c : bytes) {
            page[fill++] = static_cast<std::uint8_t>(c);
            if (fill == kPageSize) {
                pages.push_back(page);
                ++number;
                start();
            }
        }
    }
    // Always one more page: it carries the zero that ends the program.
    pages.push_back(page);
    return pages;
}

bool dotAfterPage(std::size_t index, std::size_t count) {
    return index + 1 < count && (index + 1) % 4 == 0;
}

std::vector<int> lineStarts(const std::vector<std::string>& lines) {
    std::vector<int> starts;
    starts.reserve(lines.size());
    int position = 0;
    for (const std::string& line : lines) {
        starts.push_back(position);
        position += static_cast<int>(line.size()) + 2;
    }
    return starts;
}

int lineAtPosition(const std::vector<int>& starts, int position) {
    if (starts.empty()) return -1;
    // The first start beyond the position; the line before it holds it.
    auto beyond = std::upper_bound(starts.begin(), starts.end(), position);
    if (beyond == starts.begin()) return 0;
    return static_cast<int>(beyond - starts.begin()) - 1;
}

std::array<std::uint8_t, 6> breakpointPayload(const std::array<std::uint16_t, 3>& slots,
                                              const std::vector<int>& starts) {
    std::array<std::uint8_t, 6> payload{};
    for (std::size_t slot = 0; slot < slots.size(); ++slot) {
        std::uint16_t value = 0xFFFF;
        if (slots[slot] != 0xFFFF && slots[slot] < starts.size())
            value = static_cast<std::uint16_t>(starts[slots[slot]]);
        payload[2 * slot] = static_cast<std::uint8_t>(value & 0xFF);
        payload[2 * slot + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    return payload;
}

std::string variableRow(int index, std::int32_t value) {
    char row[32];
    std::snprintf(row, sizeof row, "%c:% ld", 'A' + index, static_cast<long>(value));
    return row;
}

std::optional<long long> readLeadingInteger(std::string_view text) {
    std::size_t i = 0;
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; };
    while (i < text.size() && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
    // Saturate far outside the 32-bit range so that a long run of digits
    // still reads as "too large" rather than wrapping.
    constexpr long long kCeiling = 1LL << 40;
    long long magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        magnitude = std::min(kCeiling, magnitude * 10 + (text[i] - '0'));
    return negative ? -magnitude : magnitude;
}

std::optional<std::int32_t> readLong(std::string_view text) {
    auto value = readLeadingInteger(text);
    if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
        *value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

int clampStartupTime(long long seconds) {
    return static_cast<int>(std::clamp<long long>(seconds, 1, 7));
}

std::vector<std::string> programTextPieces(const std::vector<std::uint8_t>& stream) {
    std::vector<std::string> pieces(1);
    for (std::size_t i = 0; i < stream.size(); ++i) {
        if (stream[i] == '\r' && i + 1 < stream.size() && stream[i + 1] == '\n') {
            pieces.emplace_back();
            ++i;
        } else {
            pieces.back().push_back(static_cast<char>(stream[i]));
        }
    }
    return pieces;
}

std::vector<int> linesWithLoneBreaks(const std::vector<std::string>& pieces) {
    std::vector<int> lines;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].find_first_of("\r\n") != std::string::npos) lines.push_back(static_cast<int>(i) + 1);
    }
    return lines;
}

std::string loneBreakNotice(const std::vector<int>& lines) {
    std::string numbers;
    for (int line : lines) numbers += (numbers.empty() ? "" : ", ") + std::to_string(line);
    return std::string(lines.size() == 1 ? "Line " : "Lines ") + numbers +
           " of the board's program hold a lone CR or LF. The listing shows it as a new line; "
           "the next Download stores CR LF there.";
}

std::vector<std::string> splitProgramStream(const std::vector<std::uint8_t>& stream) {
    std::vector<std::string> lines = programTextPieces(stream);
    // The piece after a final line break is no line of its own.
    if (lines.back().empty()) lines.pop_back();
    return lines;
}

}  // namespace travin
