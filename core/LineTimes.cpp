#include "core/LineTimes.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace travin {

namespace {

std::tm localParts(std::int64_t wallMs) {
    const auto seconds = static_cast<std::time_t>(wallMs >= 0 ? wallMs / 1000 : (wallMs - 999) / 1000);
    std::tm parts{};
#if defined(_WIN32)
    localtime_s(&parts, &seconds);
#else
    localtime_r(&seconds, &parts);
#endif
    return parts;
}

}  // namespace

std::int64_t wallClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int localMsOfDay(std::int64_t wallMs) {
    const std::tm parts = localParts(wallMs);
    const auto millis = static_cast<int>(((wallMs % 1000) + 1000) % 1000);
    return ((parts.tm_hour * 60 + parts.tm_min) * 60 + parts.tm_sec) * 1000 + millis;
}

std::string timeOfDayFromMs(int msOfDay) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", msOfDay / 3600000 % 100, msOfDay / 60000 % 60,
                  msOfDay / 1000 % 60, msOfDay % 1000);
    return text;
}

std::string timeOfDay(std::int64_t wallMs) { return timeOfDayFromMs(localMsOfDay(wallMs)); }

std::string calendarDay(std::int64_t wallMs) {
    const std::tm parts = localParts(wallMs);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
    return text;
}

void LineStamper::stamp(std::string_view bytes, std::int64_t wallMs, std::string& out) {
    if (bytes.empty()) return;
    const std::string time = timeOfDay(wallMs);
    std::size_t from = 0;
    while (from < bytes.size()) {
        if (lineStart) {
            out += time;
            out += ' ';
            lineStart = false;
        }
        const std::size_t lf = bytes.find('\n', from);
        if (lf == std::string_view::npos) {
            out.append(bytes.substr(from));
            return;
        }
        out.append(bytes.substr(from, lf + 1 - from));
        lineStart = true;
        from = lf + 1;
    }
}

}  // namespace travin
