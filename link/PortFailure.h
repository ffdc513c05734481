// Why a COM port did not open, in words a user can act on.
//
//   OpenFailure         what the driver saw when an open failed: the COM
//                       name, the path it opened, the link's target when
//                       that path is a link, and the error number (errno)
//   portFaultFor        the error number read as one of a few causes
//   describeOpenFailure one line for the status bar or stderr: the COM
//                       name, the device, the cause and its fix
//   openFailureCause    the cause and its fix alone
//   describeLostDevice  the line for an open port whose device went away
//
// A network port (rfc2217:// or socket://) fails for its own causes: the
// host is not found, refuses or does not answer, the server refuses the
// COM-PORT option, or the connection drops while it is set up.
//
// Standard C++ only, so the command-line client prints the same text.
#pragma once

#include <string>

namespace travin {

struct OpenFailure {
    std::string port;         // "COM2"; empty while no open has failed
    std::string path;         // what was opened: the com<n> link or /dev/ttyS<n-1>
    std::string linkTarget;   // the link's target as written, when `path` is a link
    int error = 0;            // errno of the step that failed, or a code below
    int waitedMs = 0;         // a network port: how long the step was waited for

    bool failed() const { return !port.empty(); }
};

// Causes of a network port's failure that have no errno of their own.
inline constexpr int kErrorHostNotFound = -1001;
inline constexpr int kErrorComPortRefused = -1002;
inline constexpr int kErrorNoTelnetAnswer = -1003;
inline constexpr int kErrorBadAddress = -1004;
inline constexpr int kErrorLookupSlow = -1005;   // the name server did not answer in time

enum class PortFault {
    NoSuchDevice,       // nothing at that name, or no device answers behind it
    NoHardware,         // a device node with no hardware behind it (EIO)
    LinkPointsNowhere,  // a com<n> link whose target is gone
    PermissionDenied,   // the user may not open it (not in the dialout group)
    InUse,              // another program holds it
    NotSerial,          // opened, but it is not a terminal device
    BadAddress,         // a network port name that is not HOST:PORT
    HostNotFound,       // a network port whose host name does not resolve
    ConnectionRefused,  // nothing listens at that host and port
    NoAnswer,           // the host, or the server's Telnet side, stays silent
    ComPortRefused,     // a Telnet server that will not serve the COM-PORT option
    ConnectionDropped,  // the server closed or reset the connection
    Other,
};

// `throughLink`: the path opened was a com<n> link, so a missing file means
// the link's target is gone rather than the name itself.
PortFault portFaultFor(int error, bool throughLink);

// `hint` is appended after the cause when not empty (e.g. which adapter to
// assign).
std::string describeOpenFailure(const OpenFailure& failure, const std::string& hint = {});
std::string openFailureCause(const OpenFailure& failure);

// `port` "COM2" or a device path, `path` the device it opened.
std::string describeLostDevice(const std::string& port, const std::string& path);

}  // namespace travin
