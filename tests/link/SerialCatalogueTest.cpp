// The catalogue over fixed device lists, and giving devices to COM numbers
// through links in a scratch folder, opened by the real driver over a
// pseudo-terminal.
#include "link/SerialCatalogue.h"
#include "tests/support/RawPty.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include "link/SerialDriver.h"
#include "tests/support/TestFolder.h"

namespace travin::testing {
namespace {

namespace fs = std::filesystem;

class FixedDevices : public SerialDeviceSource {
public:
    std::vector<SerialDevice> list;
    bool knowsHardware = false;
    std::vector<SerialDevice> listDevices() override { return list; }
    bool knowsBuiltInHardware() const override { return knowsHardware; }
};

SerialDevice ftdi() {
    return {"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
            "FT232R USB UART", "FTDI", "A50285BI", 0x0403, 0x6001, ""};
}
SerialDevice ch340() { return {"/dev/ttyUSB1", "", "USB Serial", "QinHeng", "", 0x1a86, 0x7523, ""}; }
SerialDevice builtIn() { return {"/dev/ttyS0", "", "16550A", "", "", -1, -1, ""}; }

struct ListCase {
    const char* name;
    std::vector<SerialDevice> devices;
    const char* soleAdapter;   // path, or "" when there is none
};

std::ostream& operator<<(std::ostream& os, const ListCase& c) { return os << c.name; }

class Catalogue : public ::testing::TestWithParam<ListCase> {
protected:
    fs::path folder = freshTestFolder("travin-catalogue");
    SerialDriver driver{nullptr, folder.string() + "/"};
    FixedDevices source;
    SerialCatalogue catalogue{driver, source};
};

TEST_P(Catalogue, ListsTheDevicesAndFindsTheSoleAdapter) {
    source.list = GetParam().devices;
    const std::vector<SerialDevice> listed = catalogue.devices();
    ASSERT_EQ(listed.size(), GetParam().devices.size());
    for (std::size_t i = 1; i < listed.size(); ++i) EXPECT_LT(listed[i - 1].path, listed[i].path);
    const auto sole = catalogue.soleUsbAdapter();
    EXPECT_EQ(sole ? sole->path : "", GetParam().soleAdapter);
}

INSTANTIATE_TEST_SUITE_P(Lists, Catalogue,
                         ::testing::Values(ListCase{"None", {}, ""},
                                           ListCase{"OneAdapter", {ftdi()}, "/dev/ttyUSB0"},
                                           ListCase{"TwoAdapters", {ch340(), ftdi()}, ""},
                                           ListCase{"AdapterAndBuiltInPort", {builtIn(), ch340()}, "/dev/ttyUSB1"},
                                           ListCase{"BuiltInPortOnly", {builtIn()}, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

using Pty = travin::testing::RawPty;

class Assigning : public Catalogue {};

TEST_F(Assigning, WritesTheStableNameReplacesAnOlderLinkAndTheDriverOpensThroughIt) {
    Pty first, second;
    ASSERT_FALSE(first.slave.empty());
    // The stable name is itself a link to the device, as udev makes it.
    const fs::path byId = folder / "usb-Board_Adapter_42-if00";
    fs::create_symlink(first.slave, byId);
    const SerialDevice adapter{first.slave, byId.string(), "Adapter", "Board", "42", 0x1234, 0x5678, ""};
    const SerialDevice plain{second.slave, "", "pseudo-terminal", "", "", -1, -1, ""};

    std::string error;
    ASSERT_TRUE(catalogue.assign(2, plain, error)) << error;
    ASSERT_TRUE(catalogue.assign(2, adapter, error)) << error;
    EXPECT_EQ(fs::read_symlink(folder / "com2"), byId);
    EXPECT_FALSE(fs::exists(folder / "com2.new"));
    const ComTarget target = catalogue.comTarget(2);
    EXPECT_EQ(target.kind, ComTarget::Kind::Link);
    EXPECT_EQ(target.text(), byId.string());

    const int fd = driver.SioOpen("COM2", 19200);
    ASSERT_GE(fd, 0) << describeOpenFailure(driver.lastOpenFailure());
    const std::uint8_t byte = 0x5a;
    ASSERT_EQ(driver.SioPutChars(fd, &byte, 1), 1);
    std::uint8_t got = 0;
    EXPECT_EQ(::read(first.master, &got, 1), 1);
    EXPECT_EQ(got, 0x5a);
    driver.SioClose(fd);
}

TEST_F(Assigning, RemovingFallsBackToTheBuiltInPort) {
    Pty pty;
    std::string error;
    ASSERT_TRUE(catalogue.assign(3, {pty.slave, "", "", "", "", -1, -1, ""}, error)) << error;
    ASSERT_TRUE(catalogue.unassign(3, error)) << error;
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "com3")));
    EXPECT_EQ(driver.devicePath("COM3"), "/dev/ttyS2");
    const ComTarget target = catalogue.comTarget(3);
    EXPECT_EQ(target.path, "/dev/ttyS2");
    EXPECT_EQ(target.text(), fs::exists("/dev/ttyS2") ? "/dev/ttyS2" : "nothing there");
    // Removing what is not there is no failure.
    EXPECT_TRUE(catalogue.unassign(3, error)) << error;
}

TEST_F(Assigning, APseudoTerminalShowsThroughItsLinkOnce) {
    Pty pty;
    fs::create_symlink(pty.slave, folder / "com1");
    fs::create_symlink(pty.slave, folder / "com4");
    source.list = {ch340()};
    const std::vector<SerialDevice> listed = catalogue.devices();
    ASSERT_EQ(listed.size(), 2u);
    const SerialDevice& board = listed[0].path == pty.slave ? listed[0] : listed[1];
    EXPECT_EQ(board.path, pty.slave);
    EXPECT_EQ(board.comLink, "com1");
    EXPECT_EQ(board.description, "pseudo-terminal");
    // Not counted as a USB adapter: the hint names only real ones.
    EXPECT_EQ(catalogue.soleUsbAdapter()->path, "/dev/ttyUSB1");
}

// A built-in port node the system's list leaves out has no UART behind it;
// the COM number's target says so where the list can tell.
struct HardwareRow {
    const char* name;
    bool knowsHardware;
    bool listed;
    const char* suffix;
};

class BuiltInHardware : public ::testing::TestWithParam<HardwareRow> {};

TEST_P(BuiltInHardware, IsMarkedWhenTheListLeavesItOut) {
    if (!fs::exists("/dev/ttyS0")) GTEST_SKIP() << "no /dev/ttyS0 node on this machine";
    const fs::path folder = freshTestFolder("travin-catalogue");
    SerialDriver driver{nullptr, folder.string() + "/"};
    FixedDevices source;
    source.knowsHardware = GetParam().knowsHardware;
    if (GetParam().listed) source.list = {builtIn()};
    SerialCatalogue catalogue{driver, source};
    const ComTarget target = catalogue.comTarget(1);
    EXPECT_EQ(target.kind, *GetParam().suffix ? ComTarget::Kind::BuiltInEmpty : ComTarget::Kind::BuiltIn);
    EXPECT_EQ(target.text(), std::string("/dev/ttyS0") + GetParam().suffix);
}
INSTANTIATE_TEST_SUITE_P(Ports, BuiltInHardware,
                         ::testing::Values(HardwareRow{"Listed", true, true, ""},
                                           HardwareRow{"LeftOut", true, false, " (no serial hardware)"},
                                           HardwareRow{"ListCannotTell", false, false, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Assigning, ANetworkPortReplacesALinkShowsAsItsAddressAndGoesAgain) {
    Pty pty;
    std::string error;
    ASSERT_TRUE(catalogue.assign(5, {pty.slave, "", "", "", "", -1, -1, ""}, error)) << error;
    ASSERT_TRUE(catalogue.assignNetwork(5, "rfc2217://127.0.0.1:3001", error)) << error;
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(folder / "com5"))) << "the link made way for the address";
    EXPECT_EQ(readBytes(folder / "com5"), "rfc2217://127.0.0.1:3001\n");
    EXPECT_FALSE(fs::exists(folder / "com5.new"));
    ComTarget target = catalogue.comTarget(5);
    EXPECT_EQ(target.kind, ComTarget::Kind::Network);
    EXPECT_EQ(target.text(), "rfc2217://127.0.0.1:3001 (network)");
    EXPECT_EQ(driver.networkAddress("COM5"), "rfc2217://127.0.0.1:3001");
    // Not a device: the list does not show it.
    EXPECT_TRUE(catalogue.devices().empty());

    ASSERT_TRUE(catalogue.assignNetwork(5, "socket://bench-pi:4000", error)) << error;
    EXPECT_EQ(catalogue.comTarget(5).text(), "socket://bench-pi:4000 (network)");
    // A malformed address is refused and the old one stays.
    EXPECT_FALSE(catalogue.assignNetwork(5, "rfc2217://bench-pi", error));
    EXPECT_NE(error.find("not a network port"), std::string::npos) << error;
    EXPECT_FALSE(catalogue.assignNetwork(9, "rfc2217://bench-pi:4000", error));
    EXPECT_EQ(catalogue.comTarget(5).target, "socket://bench-pi:4000");

    ASSERT_TRUE(catalogue.unassign(5, error)) << error;
    EXPECT_EQ(catalogue.comTarget(5).path, "/dev/ttyS4");
    // A file that holds something else is no network port.
    writeBytes(folder / "com6", "/dev/ttyUSB0\n");
    EXPECT_NE(catalogue.comTarget(6).kind, ComTarget::Kind::Network);
    EXPECT_EQ(driver.networkAddress("COM6"), "");
}

}  // namespace
}  // namespace travin::testing
