// Turns the console text a program prints into samples for the plot.
//
//   PlotValue              one number of a line and the series it belongs to
//   parsePlotLine(line)    the numbers of one line
//   PlotLineParser         feeds bytes as they arrive, keeps the unfinished
//                          line, and reports each finished line's numbers
//
// A line ends at LF; CR ends no line and only separates, as spaces, tabs and
// commas do. A token "name:value" names its series ("pos:120"); a token "name:"
// names the number that follows it ("pos: 120"). Any other number belongs to
// the series named by its place among the line's unnamed numbers, "1", "2",
// "3" ..., so words between the numbers ("I = 4  sum = 10") do not move
// them. Numbers may be negative, decimal and carry an exponent ("-1.5e3");
// a token that is not a number is skipped and nothing else with it.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace travin {

struct PlotValue {
    std::string series;
    double value = 0;
    friend bool operator==(const PlotValue&, const PlotValue&) = default;
};

// The numbers of one line (without its LF), in the order they stand; empty
// for a line without numbers.
std::vector<PlotValue> parsePlotLine(std::string_view line);

class PlotLineParser {
public:
    using SampleSink = std::function<void(const std::vector<PlotValue>&)>;

    // Calls `sink` once for every line completed by these bytes that holds
    // numbers; the part after the last LF waits for the next feed.
    void feed(std::string_view bytes, const SampleSink& sink);
    // Forgets the unfinished line: its rest, up to the next LF, is no sample.
    void reset();

    // A line that grows past this many bytes without an LF is no sample
    // (a status line redrawn with CR); it is dropped up to its LF.
    static constexpr std::size_t kMaxLineLength = 4096;

private:
    std::string partial;
    bool overlong = false;
};

}  // namespace travin
