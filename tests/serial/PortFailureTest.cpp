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

struct TextRow {
    const char* name;
    OpenFailure failure;
    const char* hint;
    const char* text;
};

std::ostream& operator<<(std::ostream& os, const TextRow& r) { return os << r.name; }

class FailureText : public ::testing::TestWithParam<TextRow> {};

TEST_P(FailureText, NamesPortDeviceCauseAndFix) {
    EXPECT_EQ(describeOpenFailure(GetParam().failure, GetParam().hint), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FailureText,
    ::testing::Values(
        TextRow{"Missing", {"COM5", "/dev/ttyS4", "", ENOENT}, "", "COM5: /dev/ttyS4: no such device"},
        TextRow{"MissingWithHint", {"COM1", "/dev/ttyS0", "", EIO}, "plug it in",
                "COM1: /dev/ttyS0: no such device; plug it in"},
        TextRow{"Dangling", {"COM2", "/b/com2", "/dev/serial/by-id/usb-x", ENOENT}, "",
                "COM2: /b/com2 -> /dev/serial/by-id/usb-x: the link points nowhere (is the adapter unplugged?)"},
        TextRow{"Permission", {"COM3", "/b/com3", "/dev/ttyUSB0", EACCES}, "",
                "COM3: /b/com3 -> /dev/ttyUSB0: permission denied; fix: sudo usermod -aG dialout $USER, then "
                "log in again"},
        TextRow{"Busy", {"COM4", "/dev/ttyS3", "", EBUSY}, "", "COM4: /dev/ttyS3: in use by another program"},
        TextRow{"NotATerminal", {"COM6", "/b/com6", "/tmp/notes.txt", ENOTTY}, "",
                "COM6: /b/com6 -> /tmp/notes.txt: not a serial device"},
        TextRow{"Other", {"COM7", "/dev/ttyS6", "", EINVAL}, "",
                "COM7: /dev/ttyS6: cannot be opened (Invalid argument)"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace travin
