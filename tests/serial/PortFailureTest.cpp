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
                      ErrorRow{EIO, false, PortFault::NoHardware},
                      ErrorRow{EIO, true, PortFault::NoHardware},
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

// A built-in port the machine has no UART for opens, but its first line
// settings call fails with EIO: the line says so, for the node or for the
// link's target.
struct TextRow {
    OpenFailure failure;
    std::string text;
};

class FailureLines : public ::testing::TestWithParam<TextRow> {};

TEST_P(FailureLines, NameTheCause) { EXPECT_EQ(describeOpenFailure(GetParam().failure), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Causes, FailureLines,
    ::testing::Values(TextRow{{"COM3", "/dev/ttyS2", "", EIO}, "COM3: /dev/ttyS2: no serial hardware behind /dev/ttyS2"},
                      TextRow{{"COM2", "/b/com2", "/dev/ttyS5", EIO},
                              "COM2: /b/com2 -> /dev/ttyS5: no serial hardware behind /dev/ttyS5"},
                      TextRow{{"COM1", "/dev/ttyS0", "", ENOENT}, "COM1: /dev/ttyS0: no such device"}));

TEST(FailureText, ALostDeviceSaysItWentAway) {
    EXPECT_EQ(describeLostDevice("COM1", "/b/com1"), "COM1 (/b/com1): the device went away (unplugged?)");
    EXPECT_EQ(describeLostDevice("/dev/ttyUSB0", "/dev/ttyUSB0"), "/dev/ttyUSB0: the device went away (unplugged?)");
}

// A host that stays silent is named with the time it was given; a port
// opened by its address names it once.
TEST(FailureText, NoAnswerSaysHowLongItWasWaitedFor) {
    OpenFailure failure{"rfc2217://lab-pi:3001", "rfc2217://lab-pi:3001", "", ETIMEDOUT, 2003};
    EXPECT_EQ(describeOpenFailure(failure), "rfc2217://lab-pi:3001: no answer from the host within 2003 ms");
}

}  // namespace
}  // namespace travin
