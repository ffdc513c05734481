// The low-latency flag of a UART driver: the open switches it on where it
// was off, and the close puts it back, so the device is left as it was
// found. A pseudo-terminal has no such flag, so the driver's calls go to a
// recording fake.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "link/SerialDriver.h"
#include "tests/support/RawPty.h"

namespace travin {
namespace {

struct Call {
    std::string what;   // "read", "on", "off"
    int handle;
    friend bool operator==(const Call&, const Call&) = default;
};

std::ostream& operator<<(std::ostream& os, const Call& c) { return os << c.what << "(" << c.handle << ")"; }

struct FlagRow {
    const char* name;
    std::optional<bool> found;   // the flag as the device has it; nullopt: no such setting
    bool refused;                // the device refuses the change
    std::vector<std::string> calls;   // open then close
};

class LowLatency : public ::testing::TestWithParam<FlagRow> {};

TEST_P(LowLatency, IsPutBackOnCloseAsTheOpenFoundIt) {
    const FlagRow& row = GetParam();
    testing::RawPty pty;
    ASSERT_FALSE(pty.slave.empty());
    SerialDriver driver([](const std::string&) {}, "/nonexistent/");
    std::vector<Call> calls;
    driver.lowLatency.read = [&](int handle) {
        calls.push_back({"read", handle});
        return row.found;
    };
    driver.lowLatency.write = [&](int handle, bool on) {
        calls.push_back({on ? "on" : "off", handle});
        return !row.refused;
    };
    const int handle = driver.SioOpenDevice(pty.slave, 19200);
    ASSERT_GE(handle, 0);
    driver.SioClose(handle);
    std::vector<Call> expected;
    for (const auto& what : row.calls) expected.push_back({what, handle});
    EXPECT_EQ(calls, expected);
}
INSTANTIATE_TEST_SUITE_P(
    Flag, LowLatency,
    ::testing::Values(FlagRow{"OffIsSwitchedOnThenBack", false, false, {"read", "on", "off"}},
                      FlagRow{"AlreadyOnIsLeftOn", true, false, {"read"}},
                      FlagRow{"NoSuchSetting", std::nullopt, false, {"read"}},
                      FlagRow{"RefusedIsNotUndone", false, true, {"read", "on"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A second open and close of the same device after the first starts from
// the flag as the first close left it.
TEST(LowLatency, EachOpenRemembersItsOwnChange) {
    testing::RawPty pty;
    ASSERT_FALSE(pty.slave.empty());
    SerialDriver driver([](const std::string&) {}, "/nonexistent/");
    bool flag = false;
    int switches = 0;
    driver.lowLatency.read = [&](int) { return std::optional<bool>(flag); };
    driver.lowLatency.write = [&](int, bool on) {
        flag = on;
        ++switches;
        return true;
    };
    for (int i = 0; i < 2; ++i) {
        const int handle = driver.SioOpenDevice(pty.slave, 19200);
        ASSERT_GE(handle, 0);
        EXPECT_TRUE(flag) << "open " << i;
        driver.SioClose(handle);
        EXPECT_FALSE(flag) << "close " << i;
    }
    EXPECT_EQ(switches, 4);
}

}  // namespace
}  // namespace travin
