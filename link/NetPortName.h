// Network port names: "rfc2217://HOST:PORT" (a serial port served over
// Telnet with the COM-PORT option, as ser2net does) and "socket://HOST:PORT"
// (raw TCP to a bridge that carries bytes only). HOST may be a name, an
// IPv4 address or an IPv6 address in brackets.
//
// Standard C++ only: the driver, the catalogue and the command-line client
// read names the same way.
#pragma once

#include <optional>
#include <string>

namespace travin {

struct NetPortName {
    bool telnet = true;   // rfc2217:// (true) or socket:// (false)
    std::string host;     // without the brackets of an IPv6 address
    std::string service;  // the TCP port, as digits

    std::string url() const;
    friend bool operator==(const NetPortName&, const NetPortName&) = default;
};

// The parts of a network port name; nothing for any other name, and for a
// network name without a host or with a port outside 1..65535.
std::optional<NetPortName> parseNetPortName(const std::string& name);

// True when `name` starts like a network port name (even a malformed one),
// so it is never taken for a device path.
bool looksLikeNetPortName(const std::string& name);

}  // namespace travin
