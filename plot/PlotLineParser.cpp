#include "plot/PlotLineParser.h"

#include <charconv>
#include <cmath>

namespace travin {

namespace {

bool isSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r'; }
bool isMarker(char c) { return c == '=' || c == ':'; }

// A unit after a number: letters, '%', and the single-byte '°' (0xB0) and
// 'µ' (0xB5).
bool isUnit(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        const bool letter = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
        if (!letter && b != '%' && b != 0xB0 && b != 0xB5) return false;
    }
    return true;
}

// The number at the start of `text` and the rest after it, or false.
// from_chars takes neither a leading '+' nor leaves "inf" and "nan" out, so
// both are handled here.
bool leadingNumber(std::string_view text, double& value, std::string_view& rest) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.front() == '+') return false;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (error != std::errc() || !std::isfinite(value)) return false;
    rest = text.substr(static_cast<std::size_t>(stop - text.data()));
    return true;
}

// The whole token as a finite number, with or without a unit after it.
bool readValue(std::string_view token, double& value) {
    std::string_view rest;
    if (!leadingNumber(token, value, rest)) return false;
    // "1..2" and "2.5.1" are no numbers, though they start with one.
    return rest.empty() || isUnit(rest);
}

bool isPlainNumber(std::string_view token) {
    double value = 0;
    std::string_view rest;
    return leadingNumber(token, value, rest) && rest.empty();
}

// Numbers joined by colons ("12:30:45", "12:30"): a time of day.
bool isTimeOfDay(std::string_view token) {
    if (token.find(':') == std::string_view::npos) return false;
    std::size_t from = 0;
    while (true) {
        const std::size_t colon = token.find(':', from);
        const std::string_view part = token.substr(from, colon == std::string_view::npos ? colon : colon - from);
        if (part.empty()) return false;
        for (char c : part)
            if ((c < '0' || c > '9') && c != '.') return false;
        if (colon == std::string_view::npos) return true;
        from = colon + 1;
    }
}

// A word that may name a series: not empty, not a number.
bool mayName(std::string_view word) { return !word.empty() && !isPlainNumber(word); }

}  // namespace

std::vector<PlotValue> parsePlotLine(std::string_view line) {
    std::vector<PlotValue> values;
    int unnamed = 0;
    // The word just before (a name if a marker follows it), and a name whose
    // number is still to come ("x =" or "temp:").
    std::string_view lastWord;
    std::string_view pendingName;
    bool pending = false;
    std::size_t at = 0;
    while (at < line.size()) {
        if (isSeparator(line[at])) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < line.size() && !isSeparator(line[end])) ++end;
        const std::string_view token = line.substr(at, end - at);
        at = end;

        if (isTimeOfDay(token)) {
            pending = false;
            lastWord = {};
            continue;
        }
        std::size_t marker = 0;
        while (marker < token.size() && !isMarker(token[marker])) ++marker;
        std::string_view name;
        std::string_view number = token;
        bool named = false;
        const bool markerInToken = marker < token.size();
        if (markerInToken) {
            name = token.substr(0, marker);
            number = token.substr(marker + 1);
            // "x = 5" and "x =5": the name is the word before the marker.
            if (name.empty()) name = lastWord;
            named = true;
            if (number.empty()) {
                pending = mayName(name);
                pendingName = name;
                lastWord = {};
                continue;
            }
        } else if (pending) {
            name = pendingName;
            named = true;
        }
        pending = false;

        double value = 0;
        if (!readValue(number, value)) {
            // "x = y = 3": a word where the number was awaited may name the next.
            lastWord = markerInToken ? std::string_view{} : token;
            continue;
        }
        lastWord = {};
        if (named && !mayName(name)) continue;
        values.push_back({named ? std::string(name) : std::to_string(++unnamed), value});
    }
    return values;
}

void PlotLineParser::feed(std::string_view bytes, const SampleSink& sink) {
    feedPlaced(bytes, [&sink](const std::vector<PlotValue>& values, std::size_t) { sink(values); });
}

void PlotLineParser::feedPlaced(std::string_view bytes, const PlacedSampleSink& sink) {
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
            if (!values.empty()) sink(values, lf);
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
