// Turns the console text a program prints into samples for the plot.
//
//   PlotValue              one number of a line and the series it belongs to
//   parsePlotLine(line)    the numbers of one line
//   PlotLineParser         feeds bytes as they arrive, keeps the unfinished
//                          line, and reports each finished line's numbers
//
// A line ends at LF. Blanks, tabs, commas, semicolons and CR separate. What
// a line may hold:
//
//   name=value, name = value, name:value, name: value   a named number
//                          ("x=5" from print "x=", A; "temp: 25"). The name
//                          is the word before the '=' or ':'; a word that is
//                          itself a number names nothing.
//   a plain number         belongs to the series named by its place among
//                          the line's unnamed numbers, "1", "2", "3" ..., so
//                          words between the numbers do not move them.
//   a number with a unit   counts as the number: "25C", "3.3V", "12mm",
//                          "50%" (the unit is letters, '%', '°' or 'µ' and
//                          nothing else; "3x4" or "0x10" count as nothing).
//   a time of day          "12:30:45" or "12:30" is no sample and names
//                          nothing.
//
// Numbers may be negative, decimal and carry an exponent ("-1.5e3"); a
// token that is not a number is skipped and nothing else with it.
#pragma once

#include <cstddef>
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
    // Also told where in the fed bytes the line's LF stood.
    using PlacedSampleSink = std::function<void(const std::vector<PlotValue>&, std::size_t lineFeedAt)>;

    // Calls `sink` once for every line completed by these bytes that holds
    // numbers; the part after the last LF waits for the next feed.
    void feed(std::string_view bytes, const SampleSink& sink);
    void feedPlaced(std::string_view bytes, const PlacedSampleSink& sink);
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
