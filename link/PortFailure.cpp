#include "link/PortFailure.h"

#include <cerrno>
#include <cstring>

namespace travin {

PortFault portFaultFor(int error, bool throughLink) {
    switch (error) {
        case ENOENT:
            return throughLink ? PortFault::LinkPointsNowhere : PortFault::NoSuchDevice;
        // A device node without hardware behind it (a built-in ttyS<n> the
        // machine lacks, an adapter pulled while its name lingers).
        case ENXIO:
        case ENODEV:
        case EIO:
            return PortFault::NoSuchDevice;
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

std::string reasonFor(PortFault fault, int error) {
    switch (fault) {
        case PortFault::NoSuchDevice:
            return "no such device";
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
    return std::string("cannot be opened (") + std::strerror(error) + ")";
}

}  // namespace

std::string describeOpenFailure(const OpenFailure& failure, const std::string& hint) {
    const bool throughLink = !failure.linkTarget.empty();
    std::string text = failure.port + ": " + failure.path;
    if (throughLink) text += " -> " + failure.linkTarget;
    text += ": " + reasonFor(portFaultFor(failure.error, throughLink), failure.error);
    if (!hint.empty()) text += "; " + hint;
    return text;
}

}  // namespace travin
