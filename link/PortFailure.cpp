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
        default:
            return PortFault::Other;
    }
}

namespace {

std::string reasonFor(PortFault fault, const OpenFailure& failure) {
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
        case PortFault::Other:
            break;
    }
    return std::string("cannot be opened (") + std::strerror(failure.error) + ")";
}

}  // namespace

std::string describeOpenFailure(const OpenFailure& failure, const std::string& hint) {
    const bool throughLink = !failure.linkTarget.empty();
    std::string text = failure.port + ": " + failure.path;
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
