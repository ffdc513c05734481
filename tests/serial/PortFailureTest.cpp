// Reading an open failure's error number as a cause, and the line the user
// sees for it.
#include "link/PortFailure.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>

namespace travin {
namespace {

struct ErrorRow {
    int error;
    bool throughLink;
    PortFault fault;
};

std::ostream& operator<<(std::ostream& os, const ErrorRow& r) {
    return os << "errno " << r.error << (r.throughLink ? " through a link" : "");
}

class ErrorMapping : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(ErrorMapping, NamesTheCause) {
    EXPECT_EQ(portFaultFor(GetParam().error, GetParam().throughLink), GetParam().fault);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ErrorMapping,
    ::testing::Values(ErrorRow{ENOENT, false, PortFault::NoSuchDevice},
                      ErrorRow{ENOENT, true, PortFault::LinkPointsNowhere},
                      ErrorRow{ENXIO, false, PortFault::NoSuchDevice},
                      ErrorRow{ENODEV, true, PortFault::NoSuchDevice},
                      ErrorRow{EIO, false, PortFault::NoSuchDevice},
                      ErrorRow{EACCES, false, PortFault::PermissionDenied},
                      ErrorRow{EPERM, true, PortFault::PermissionDenied},
                      ErrorRow{EBUSY, false, PortFault::InUse},
                      ErrorRow{EWOULDBLOCK, true, PortFault::InUse},
                      ErrorRow{ENOTTY, true, PortFault::NotSerial},
                      ErrorRow{EISDIR, false, PortFault::NotSerial},
                      ErrorRow{EINVAL, false, PortFault::Other},
                      ErrorRow{kErrorBadAddress, false, PortFault::BadAddress},
                      ErrorRow{kErrorHostNotFound, true, PortFault::HostNotFound},
                      ErrorRow{ECONNREFUSED, false, PortFault::ConnectionRefused},
                      ErrorRow{ETIMEDOUT, false, PortFault::NoAnswer},
                      ErrorRow{kErrorNoTelnetAnswer, true, PortFault::NoAnswer},
                      ErrorRow{kErrorComPortRefused, false, PortFault::ComPortRefused},
                      ErrorRow{ECONNRESET, false, PortFault::ConnectionDropped},
                      ErrorRow{EPIPE, true, PortFault::ConnectionDropped}));

// The cause a user can mend alone carries its fix.
TEST(FailureText, PermissionNamesTheGroupToJoin) {
    EXPECT_EQ(describeOpenFailure({"COM3", "/b/com3", "/dev/ttyUSB0", EACCES}),
              "COM3: /b/com3 -> /dev/ttyUSB0: permission denied; fix: sudo usermod -aG dialout $USER, then log "
              "in again");
}

// A host that stays silent is named with the time it was given; a port
// opened by its address names it once.
TEST(FailureText, NoAnswerSaysHowLongItWasWaitedFor) {
    OpenFailure failure{"rfc2217://lab-pi:3001", "rfc2217://lab-pi:3001", "", ETIMEDOUT, 2003};
    EXPECT_EQ(describeOpenFailure(failure), "rfc2217://lab-pi:3001: no answer from the host within 2003 ms");
}

}  // namespace
}  // namespace travin
