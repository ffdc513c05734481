#include "plot/PlotLineParser.h"

#include <charconv>
#include <cmath>

namespace travin {

namespace {

bool isSeparator(char c) { return c == ' ' || c == '\t' || c == ','; }

// The whole token as a finite number, or false. from_chars takes neither a
// leading '+' nor leaves "inf" and "nan" out, so both are handled here.
bool readNumber(std::string_view token, double& value) {
    if (!token.empty() && token.front() == '+') token.remove_prefix(1);
    if (token.empty() || token.front() == '+') return false;
    const char* end = token.data() + token.size();
    const auto [stop, error] = std::from_chars(token.data(), end, value, std::chars_format::general);
    return error == std::errc() && stop == end && std::isfinite(value);
}

}  // namespace

std::vector<PlotValue> parsePlotLine(std::string_view line) {
    std::vector<PlotValue> values;
    int unnamed = 0;
    std::string pendingName;  // from a "name:" token, for the next token
    std::size_t at = 0;
    while (at < line.size()) {
        if (isSeparator(line[at]) || line[at] == '\r') {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < line.size() && !isSeparator(line[end]) && line[end] != '\r') ++end;
        const std::string_view token = line.substr(at, end - at);
        at = end;

        std::string name;
        std::string_view number = token;
        const std::size_t colon = token.rfind(':');
        if (colon != std::string_view::npos) {
            name = std::string(token.substr(0, colon));
            number = token.substr(colon + 1);
            if (number.empty()) {
                pendingName = name;
                continue;
            }
        } else if (!pendingName.empty()) {
            name = pendingName;
        }
        pendingName.clear();

        double value = 0;
        if (!readNumber(number, value)) continue;
        if (name.empty()) name = std::to_string(++unnamed);
        values.push_back({std::move(name), value});
    }
    return values;
}

void PlotLineParser::feed(std::string_view bytes, const SampleSink& sink) {
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t lf = bytes.find('\n', start);
        const std::string_view piece = bytes.substr(start, lf == std::string_view::npos ? lf : lf - start);
        if (!overlong) {
            partial.append(piece);
            if (partial.size() > kMaxLineLength) {
                overlong = true;
                partial.clear();
            }
        }
        if (lf == std::string_view::npos) return;
        if (!overlong) {
            const std::vector<PlotValue> values = parsePlotLine(partial);
            if (!values.empty()) sink(values);
        }
        partial.clear();
        overlong = false;
        start = lf + 1;
    }
}

void PlotLineParser::reset() {
    // Mid-line, the rest of the line up to its LF would read as a line of
    // its own; it is skipped as an overlong line is.
    overlong = overlong || !partial.empty();
    partial.clear();
}

}  // namespace travin
