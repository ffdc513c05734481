#include "link/PortFailure.h"

#include <cerrno>
#include <cstring>

namespace travin {

PortFault portFaultFor(int error, bool throughLink) {
    switch (error) {
        case ENOENT:
            return throughLink ? PortFault::LinkPointsNowhere : PortFault::NoSuchDevice;
        case ENXIO:
        case ENODEV:
            return PortFault::NoSuchDevice;
        // The node is there but the driver finds no hardware behind it: a
        // built-in ttyS<n> the machine lacks (every PC has ttyS0 to ttyS3),
        // or an adapter pulled while its name lingers.
        case EIO:
            return PortFault::NoHardware;
        case EACCES:
        case EPERM:
        case EROFS:
            return PortFault::PermissionDenied;
        // EBUSY: the kernel's exclusive mode (TIOCEXCL) of another program;
        // EWOULDBLOCK: its lock (flock) on the device.
        case EBUSY:
        case EWOULDBLOCK:
            return PortFault::InUse;
        // ENOTTY from the terminal calls on a plain file; EISDIR for a folder.
        case ENOTTY:
        case EISDIR:
            return PortFault::NotSerial;
        case kErrorBadAddress:
            return PortFault::BadAddress;
        case kErrorHostNotFound:
            return PortFault::HostNotFound;
        case ECONNREFUSED:
            return PortFault::ConnectionRefused;
        case ETIMEDOUT:
        case kErrorNoTelnetAnswer:
        case kErrorLookupSlow:
            return PortFault::NoAnswer;
        case kErrorComPortRefused:
            return PortFault::ComPortRefused;
        case ECONNRESET:
        case ECONNABORTED:
        case EPIPE:
            return PortFault::ConnectionDropped;
        default:
            return PortFault::Other;
    }
}

namespace {

std::string reasonFor(PortFault fault, const OpenFailure& failure) {
    const int error = failure.error;
    switch (fault) {
        case PortFault::NoSuchDevice:
            return "no such device";
        case PortFault::NoHardware:
            return "no serial hardware behind " + (failure.linkTarget.empty() ? failure.path : failure.linkTarget);
        case PortFault::LinkPointsNowhere:
            return "the link points nowhere (is the adapter unplugged?)";
        case PortFault::PermissionDenied:
            return "permission denied; fix: sudo usermod -aG dialout $USER, then log in again";
        case PortFault::InUse:
            return "in use by another program";
        case PortFault::NotSerial:
            return "not a serial device";
        case PortFault::BadAddress:
            return "not a network port address (rfc2217://HOST:PORT or socket://HOST:PORT)";
        case PortFault::HostNotFound:
            return "host not found";
        case PortFault::ConnectionRefused:
            return "connection refused (is the serial server running, and is this its port?)";
        case PortFault::NoAnswer:
            if (error == kErrorNoTelnetAnswer) {
                return "the server did not answer the COM-PORT request within " + std::to_string(failure.waitedMs) +
                       " ms (is it an RFC 2217 server? socket:// reaches a raw one)";
            }
            if (error == kErrorLookupSlow) {
                return "the host name was not resolved within " + std::to_string(failure.waitedMs) +
                       " ms (is the name server reachable? an IP address needs none)";
            }
            return "no answer from the host within " + std::to_string(failure.waitedMs) + " ms";
        case PortFault::ComPortRefused:
            return "the server refused the COM-PORT option: the port is served raw and speed changes will not "
                   "reach the board (serve it with telnet(rfc2217), or use socket:// for a bridge that sets the "
                   "speed itself)";
        case PortFault::ConnectionDropped:
            return "the connection dropped";
        case PortFault::Other:
            break;
    }
    return std::string("cannot be opened (") + std::strerror(error) + ")";
}

}  // namespace

std::string describeOpenFailure(const OpenFailure& failure, const std::string& hint) {
    const bool throughLink = !failure.linkTarget.empty();
    // A port opened by its path or address is named once.
    std::string text = failure.port == failure.path ? failure.port : failure.port + ": " + failure.path;
    if (throughLink) text += " -> " + failure.linkTarget;
    text += ": " + openFailureCause(failure);
    if (!hint.empty()) text += "; " + hint;
    return text;
}

std::string openFailureCause(const OpenFailure& failure) {
    return reasonFor(portFaultFor(failure.error, !failure.linkTarget.empty()), failure);
}

std::string describeLostDevice(const std::string& port, const std::string& path) {
    std::string text = port;
    if (path != port) text += " (" + path + ")";
    return text + ": the device went away (unplugged?)";
}

}  // namespace travin
