#include "link/NetPortName.h"

#include <algorithm>
#include <cctype>

namespace travin {

namespace {

constexpr const char* kTelnetScheme = "rfc2217://";
constexpr const char* kRawScheme = "socket://";

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

bool validService(const std::string& digits) {
    if (digits.empty() || digits.size() > 5) return false;
    if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c) != 0; })) return false;
    const long value = std::stol(digits);
    return value >= 1 && value <= 65535;
}

}  // namespace

std::string NetPortName::url() const {
    const bool ipv6 = host.find(':') != std::string::npos;
    return std::string(telnet ? kTelnetScheme : kRawScheme) + (ipv6 ? "[" + host + "]" : host) + ":" + service;
}

bool looksLikeNetPortName(const std::string& name) {
    return startsWith(name, kTelnetScheme) || startsWith(name, kRawScheme);
}

std::optional<NetPortName> parseNetPortName(const std::string& name) {
    NetPortName parsed;
    std::string rest;
    if (startsWith(name, kTelnetScheme)) {
        rest = name.substr(std::string(kTelnetScheme).size());
    } else if (startsWith(name, kRawScheme)) {
        parsed.telnet = false;
        rest = name.substr(std::string(kRawScheme).size());
    } else {
        return std::nullopt;
    }
    // A trailing slash is how some tools write it; nothing else may follow.
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    std::string::size_type colon;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':') return std::nullopt;
        parsed.host = rest.substr(1, close - 1);
        colon = close + 1;
    } else {
        colon = rest.rfind(':');
        if (colon == std::string::npos) return std::nullopt;
        parsed.host = rest.substr(0, colon);
        // An IPv6 address needs its brackets, or its last group reads as
        // the port.
        if (parsed.host.find(':') != std::string::npos) return std::nullopt;
    }
    parsed.service = rest.substr(colon + 1);
    if (parsed.host.empty() || !validService(parsed.service)) return std::nullopt;
    const bool hostCharsOk = std::all_of(parsed.host.begin(), parsed.host.end(), [](unsigned char c) {
        return std::isalnum(c) != 0 || c == '.' || c == '-' || c == '_' || c == ':' || c == '%';
    });
    if (!hostCharsOk) return std::nullopt;
    return parsed;
}

}  // namespace travin
