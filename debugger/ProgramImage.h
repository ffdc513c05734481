// The pure side of program control: what goes on the wire and what the
// listing shows, computed from plain values so that it can be checked
// without a board or a window.
//
// Index:
//   kLineLimit, kLineCountLimit, kProgramAreaSize   the board's limits
//   LimitVerdict, checkLimits()      the three limits and where they fail
//   buildPages()                     the listing as 130-byte download pages
//   dotAfterPage()                   whether a page's reply earns a dot
//   lineStarts()                     the program position of each line
//   lineAtPosition()                 the line that holds a program position
//   breakpointPayload()              the six bytes of the breakpoint table
//   variableRow()                    "%c:% ld" for the variables pane
//   readLong()                       "%ld"-style reading, range-checked
//   readLeadingInteger()             the same reading, any size
//   clampStartupTime()               1 to 7 seconds
//   splitProgramStream()             an uploaded stream as listing lines
//   programTextPieces()              an uploaded stream as the pane's text
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace travin {

inline constexpr int kLineLimit = 80;
inline constexpr int kLineCountLimit = 8192;
inline constexpr int kProgramAreaSize = 29696;
inline constexpr int kPageBytes = 128;
inline constexpr int kPageSize = 130;          // page number + 128 bytes
inline constexpr int kProgramBlocks = 232;

enum class LimitFault { None, LineTooLong, TooManyLines, TooLarge };

struct LimitVerdict {
    LimitFault fault = LimitFault::None;
    int position = 0;   // program position to mark when a limit fails
    int size = 0;       // running size when the check stopped
};

// Applies the line length, line count and size limits in the order the
// board's download expects: a line's own length is reported before the line
// count, and the size only after the last line.
LimitVerdict checkLimits(const std::vector<std::string>& lines);

using Page = std::array<std::uint8_t, kPageSize>;

// Every line's first 80 characters plus CR LF, cut into numbered pages; the
// last page is padded with zeros (and holds only zeros when the stream ends
// on a page boundary). An empty listing gives no page.
std::vector<Page> buildPages(const std::vector<std::string>& lines);

// True when sending page `index` of `count` writes a progress dot: one for
// every fourth full page; the padded last page never writes one.
bool dotAfterPage(std::size_t index, std::size_t count);

// Start positions of the lines (every line break counted as two).
std::vector<int> lineStarts(const std::vector<std::string>& lines);

// The last line whose start is not greater than `position`; -1 when there
// are no lines.
int lineAtPosition(const std::vector<int>& starts, int position);

// Slots as start positions of their lines, little-endian, 0xFFFF for an
// empty slot (or one naming a line the listing no longer has).
std::array<std::uint8_t, 6> breakpointPayload(const std::array<std::uint16_t, 3>& slots,
                                              const std::vector<int>& starts);

// "A: 5", "A:-5".
std::string variableRow(int index, std::int32_t value);

// Reads a signed decimal as "%ld" does (leading white space, optional sign,
// digits, anything after ignored). Nothing when there is no number or the
// number does not fit in 32 bits: a value is never limited silently.
std::optional<std::int32_t> readLong(std::string_view text);

// Reads a leading decimal like readLong, but any size; used where the value
// is limited to a range afterwards anyway.
std::optional<long long> readLeadingInteger(std::string_view text);

// Start-up time in seconds, limited to 1..7.
int clampStartupTime(long long seconds);

// An uploaded program stream as listing lines: CR LF ends a line; a stream
// that ends in a line break has no extra empty line.
std::vector<std::string> splitProgramStream(const std::vector<std::uint8_t>& stream);

// An uploaded program stream cut at every CR LF, keeping what follows the
// last one (empty when the stream ends in a line break): joined again with
// line breaks, as ListingView::setLines does, the pieces give the stream's
// whole text, so trailing empty lines and the final line break survive.
std::vector<std::string> programTextPieces(const std::vector<std::uint8_t>& stream);
// The numbers (from 1) of the pieces that hold a CR or an LF not part of a
// CR LF: the listing pane breaks its line there, so the next download would
// store CR LF where the board held one byte.
std::vector<int> linesWithLoneBreaks(const std::vector<std::string>& pieces);
// The notice that names those lines.
std::string loneBreakNotice(const std::vector<int>& lines);

}  // namespace travin
