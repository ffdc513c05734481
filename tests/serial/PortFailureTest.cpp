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
                      ErrorRow{EINVAL, false, PortFault::Other}));

// The cause a user can mend alone carries its fix.
TEST(FailureText, PermissionNamesTheGroupToJoin) {
    EXPECT_EQ(describeOpenFailure({"COM3", "/b/com3", "/dev/ttyUSB0", EACCES}),
              "COM3: /b/com3 -> /dev/ttyUSB0: permission denied; fix: sudo usermod -aG dialout $USER, then log "
              "in again");
}

}  // namespace
}  // namespace travin
