// The serial driver over real pseudo-terminals: each test makes a pty pair,
// points com<n> in a temporary folder at its slave side, and drives the
// driver through that name while the test plays the board on the master.
#include "link/SerialDriver.h"
#include "tests/support/RawPty.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace travin {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

using Pty = travin::testing::RawPty;

// Polls a condition with short sleeps until it holds or the time is up.
template <typename Pred>
bool eventually(Pred pred, milliseconds limit = milliseconds(2000)) {
    const auto end = Clock::now() + limit;
    while (!pred()) {
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(milliseconds(1));
    }
    return true;
}

// Reads exactly n bytes from fd within the limit (fewer if time runs out).
std::vector<std::uint8_t> readFor(int fd, std::size_t n, milliseconds limit) {
    std::vector<std::uint8_t> got;
    const auto end = Clock::now() + limit;
    std::uint8_t buf[4096];
    while (got.size() < n) {
        const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
        if (left <= 0) break;
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(left)) <= 0) break;
        const ssize_t r = ::read(fd, buf, std::min(sizeof buf, n - got.size()));
        if (r <= 0) break;
        got.insert(got.end(), buf, buf + r);
    }
    return got;
}

int openedRate(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return -1;
    switch (cfgetospeed(&tio)) {
        case B1200: return 1200;
        case B2400: return 2400;
        case B4800: return 4800;
        case B9600: return 9600;
        case B19200: return 19200;
        case B38400: return 38400;
        case B57600: return 57600;
        case B115200: return 115200;
        case B230400: return 230400;
        default: return 0;
    }
}

class SerialPort : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GE(pty.master, 0) << "no pseudo-terminal: " << std::strerror(errno);
        char tmpl[] = "/tmp/travin-serial-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        folder = tmpl;
        ASSERT_EQ(::symlink(pty.slave.c_str(), (folder / "com3").c_str()), 0);
        driver = SerialDriver([this](const std::string& t) { notices.push_back(t); },
                              folder.string() + "/");
    }
    void TearDown() override {
        for (int fd : opened) driver.SioClose(fd);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    int open(const std::string& name = "COM3", int baud = 19200) {
        const int fd = driver.SioOpen(name, baud);
        if (fd >= 0) opened.push_back(fd);
        return fd;
    }
    void close(int fd) {
        driver.SioClose(fd);
        std::erase(opened, fd);
    }

    Pty pty;
    std::filesystem::path folder;
    std::vector<std::string> notices;
    SerialDriver driver{nullptr, std::string()};
    std::vector<int> opened;
};

TEST_F(SerialPort, OpensThroughTheLinkWithTheLinkSettingsAndCloses) {
    EXPECT_EQ(driver.devicePath("COM3"), (folder / "com3").string());
    // Start from a device left in a state far from the link's: cooked,
    // echoing, translating, 7E2 with both kinds of flow control.
    termios dirty{};
    ASSERT_EQ(tcgetattr(pty.master, &dirty), 0);
    dirty.c_cflag = (dirty.c_cflag & ~static_cast<tcflag_t>(CSIZE | CLOCAL)) | CS7 | PARENB |
                    CSTOPB | CRTSCTS | HUPCL;
    dirty.c_iflag |= IXON | IXOFF | ICRNL | ISTRIP | INPCK;
    dirty.c_oflag |= OPOST | ONLCR;
    dirty.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    ASSERT_EQ(tcsetattr(pty.master, TCSANOW, &dirty), 0);

    const int fd = open();
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(notices.empty());

    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    EXPECT_EQ(openedRate(fd), 19200);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS | HUPCL), 0u);
    EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
    EXPECT_NE(tio.c_cflag & CREAD, 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | INPCK), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);

    // Every byte value passes both ways untranslated (CR, LF, XON, XOFF, 0).
    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
    ASSERT_NE(driver.SioPutChars(fd, all.data(), 256), 0);
    EXPECT_EQ(readFor(pty.master, 256, milliseconds(2000)), all);
    ASSERT_EQ(::write(pty.master, all.data(), all.size()), 256);
    std::vector<std::uint8_t> back(256);
    EXPECT_EQ(driver.SioGetChars(fd, back.data(), 256), 256);
    EXPECT_EQ(back, all);

    close(fd);
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
    // Closing released the port: it opens again.
    const int again = open();
    EXPECT_GE(again, 0);
    EXPECT_TRUE(notices.empty());
}

TEST_F(SerialPort, ASecondOpenOfAnOpenPortFailsSilently) {
    const int first = open();
    ASSERT_GE(first, 0);
    EXPECT_EQ(open(), -1);
    EXPECT_TRUE(notices.empty());
#ifdef TIOCGEXCL
    // The refused open left the first one's exclusive mode alone.
    int exclusive = 0;
    ASSERT_EQ(ioctl(first, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
#endif
    // The first handle is untouched by the refused open.
    const std::uint8_t byte = 0x5a;
    EXPECT_NE(driver.SioPutChars(first, &byte, 1), 0);
    EXPECT_EQ(readFor(pty.master, 1, milliseconds(1000)), std::vector<std::uint8_t>{0x5a});
    close(first);
    EXPECT_GE(open(), 0);
}

TEST_F(SerialPort, ClosingHandsBackTheSettingsFoundAtOpen) {
    termios before{};
    ASSERT_EQ(tcgetattr(pty.master, &before), 0);
    cfsetospeed(&before, B4800);
    cfsetispeed(&before, B4800);
    ASSERT_EQ(tcsetattr(pty.master, TCSANOW, &before), 0);
    const int fd = open("COM3", 115200);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(openedRate(fd), 115200);
    close(fd);
    EXPECT_EQ(openedRate(pty.master), 4800);
}

TEST_F(SerialPort, ChangingTo115200AndBackKeepsTheLineSettings) {
    const int fd = open();
    ASSERT_GE(fd, 0);
    termios before{};
    ASSERT_EQ(tcgetattr(fd, &before), 0);

    ASSERT_EQ(driver.SioBaud(fd, 115200), 1);
    EXPECT_EQ(openedRate(fd), 115200);
    ASSERT_EQ(driver.SioBaud(fd, 19200), 1);
    EXPECT_EQ(openedRate(fd), 19200);
    EXPECT_TRUE(notices.empty());

    termios after{};
    ASSERT_EQ(tcgetattr(fd, &after), 0);
    const tcflag_t line = CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CLOCAL | CREAD | HUPCL;
    EXPECT_EQ(after.c_cflag & line, before.c_cflag & line);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
}

TEST_F(SerialPort, AnEmptyOneByteReadReturnsNothingWithin110Ms) {
    const int fd = open();
    ASSERT_GE(fd, 0);
    std::uint8_t byte = 0;
    const auto start = Clock::now();
    EXPECT_EQ(driver.SioGetChars(fd, &byte, 1), 0);
    const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    // 110 ms is the budget; some room for the wake-up on a loaded machine.
    EXPECT_LE(took.count(), 140);
}

TEST_F(SerialPort, AReadWaitsWithinItsTimeOutForALateByte) {
    const int fd = open();
    ASSERT_GE(fd, 0);
    std::thread late([&] {
        std::this_thread::sleep_for(milliseconds(40));
        const std::uint8_t b = 0x42;
        (void)::write(pty.master, &b, 1);
    });
    std::uint8_t byte = 0;
    const int got = driver.SioGetChars(fd, &byte, 1);
    late.join();
    EXPECT_EQ(got, 1);
    EXPECT_EQ(byte, 0x42);
}

TEST_F(SerialPort, SioTestCountsWaitingBytesAndReportsAHangUp) {
    const int fd = open();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(driver.SioTest(fd), 0);
    const std::uint8_t five[] = {1, 2, 3, 4, 5};
    ASSERT_EQ(::write(pty.master, five, 5), 5);
    EXPECT_TRUE(eventually([&] { return driver.SioTest(fd) == 5; }));
    std::uint8_t two[2];
    ASSERT_EQ(driver.SioGetChars(fd, two, 2), 2);
    EXPECT_EQ(driver.SioTest(fd), 3);

    pty.hangUp();  // the "unplug" of a pseudo-terminal
    EXPECT_EQ(driver.SioTest(fd), -1);
    EXPECT_TRUE(notices.empty());
}

// The wait the command link sleeps in: it ends with the byte, at its time,
// or at once on a hung-up line, and takes no byte away from the reader.
TEST_F(SerialPort, TheWaitForAByteEndsWithTheByteTheTimeOrTheHangUp) {
    const int fd = open();
    ASSERT_GE(fd, 0);

    auto start = Clock::now();
    EXPECT_EQ(driver.SioWaitReadable(fd, 60), SerialDriver::Wait::TimedOut);
    auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
    EXPECT_GE(took, 55);
    EXPECT_LE(took, 200);

    std::thread late([&] {
        std::this_thread::sleep_for(milliseconds(30));
        const std::uint8_t b = 0x5A;
        (void)::write(pty.master, &b, 1);
    });
    start = Clock::now();
    EXPECT_EQ(driver.SioWaitReadable(fd, 2000), SerialDriver::Wait::Readable);
    took = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
    late.join();
    EXPECT_LT(took, 1000);
    EXPECT_EQ(driver.SioTest(fd), 1);
    std::uint8_t byte = 0;
    ASSERT_EQ(driver.SioGetChars(fd, &byte, 1), 1);
    EXPECT_EQ(byte, 0x5A);

    pty.hangUp();
    start = Clock::now();
    EXPECT_EQ(driver.SioWaitReadable(fd, 2000), SerialDriver::Wait::LineBroken);
    EXPECT_LT(std::chrono::duration_cast<milliseconds>(Clock::now() - start).count(), 1000);
}

TEST_F(SerialPort, A64KiBWriteArrivesWhole) {
    const int fd = open();
    ASSERT_GE(fd, 0);
    // Far larger than the pseudo-terminal's buffer, so the system takes it
    // in parts while the other side drains it.
    std::vector<std::uint8_t> frame(64 * 1024);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xff);
    std::vector<std::uint8_t> received;
    std::thread reader([&] { received = readFor(pty.master, frame.size(), milliseconds(20000)); });
    const int ok = driver.SioPutChars(fd, frame.data(), static_cast<int>(frame.size()));
    reader.join();
    EXPECT_NE(ok, 0);
    EXPECT_TRUE(notices.empty());
    ASSERT_EQ(received.size(), frame.size());
    EXPECT_TRUE(received == frame);
}

TEST_F(SerialPort, AWriteThatCannotCompleteFailsWithinItsTimeOut) {
    const int fd = open();
    ASSERT_GE(fd, 0);
    // Nobody reads the other side: fill the output until it refuses more.
    // Large pieces first, then single bytes for the last room, twice, since
    // the pty frees buffer space asynchronously.
    std::vector<std::uint8_t> chunk(4096, 0x55);
    const auto end = Clock::now() + milliseconds(5000);
    for (std::size_t piece : {chunk.size(), std::size_t{1}, std::size_t{1}}) {
        while (Clock::now() < end && ::write(fd, chunk.data(), piece) > 0) {
        }
        ASSERT_EQ(errno, EAGAIN);
        std::this_thread::sleep_for(milliseconds(20));
    }

    const std::uint8_t ten[10] = {};
    const auto start = Clock::now();
    EXPECT_EQ(driver.SioPutChars(fd, ten, 10), 0);
    const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    EXPECT_GE(took.count(), 190);  // it waited its 10 * 10 + 100 ms
    EXPECT_LE(took.count(), 300);
    EXPECT_EQ(notices, std::vector<std::string>{"SioPutChars failed"});
}

TEST_F(SerialPort, AWriteToAHungUpPortFailsWithItsNotice) {
    const int fd = open();
    ASSERT_GE(fd, 0);
    pty.hangUp();
    const std::uint8_t byte = 1;
    EXPECT_EQ(driver.SioPutChars(fd, &byte, 1), 0);
    EXPECT_EQ(notices, std::vector<std::string>{"SioPutChars failed"});
}

TEST_F(SerialPort, ClosedHandleQueriesFailWithoutNotices) {
    const int fd = open();
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_EQ(driver.SioTest(fd), -1);
    EXPECT_EQ(driver.SioBaud(fd, 115200), 0);
    // The state is read before the rate is judged: no rate notice either.
    EXPECT_EQ(driver.SioBaud(fd, 600), 0);
    std::uint8_t byte = 0;
    EXPECT_EQ(driver.SioGetChars(fd, &byte, 1), 0);
    EXPECT_TRUE(notices.empty());
}

TEST_F(SerialPort, ADeviceThatTakesNoLineSettingsIsRefused) {
    ASSERT_EQ(::symlink("/dev/null", (folder / "com6").c_str()), 0);
    EXPECT_EQ(open("COM6"), -1);
    EXPECT_EQ(notices, std::vector<std::string>{"Failed to set COMM configuration"});
}

TEST_F(SerialPort, AMissingDeviceOpensNothingAndShowsNothing) {
    ASSERT_EQ(::symlink((folder / "gone").c_str(), (folder / "com4").c_str()), 0);
    // The dangling link still names the port: no fall-back to a built-in one.
    EXPECT_EQ(driver.devicePath("COM4"), (folder / "com4").string());
    EXPECT_EQ(open("COM4"), -1);
    // The rate is only looked at once the device is open.
    EXPECT_EQ(open("COM4", 300), -1);
    EXPECT_TRUE(notices.empty());
}

TEST_F(SerialPort, WithoutALinkTheBuiltInPortIsUsed) {
    EXPECT_EQ(driver.devicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(driver.devicePath("COM8"), "/dev/ttyS7");
    // A folder given without its trailing separator still finds the link.
    SerialDriver bare([](const std::string&) {}, folder.string());
    EXPECT_EQ(bare.devicePath("COM3"), (folder / "com3").string());
}

// --- Why an open failed ------------------------------------------------------

struct FailureCase {
    const char* name;
    const char* port;
    // Prepares the failure in the fixture's folder; false skips the case.
    bool (*prepare)(class OpenFailureReason& test, std::string& skipReason);
    PortFault fault;
};

std::ostream& operator<<(std::ostream& os, const FailureCase& c) { return os << c.name; }

class OpenFailureReason : public SerialPort, public ::testing::WithParamInterface<FailureCase> {
public:
    bool link(const char* com, const std::filesystem::path& target) {
        return ::symlink(target.c_str(), (folder / com).c_str()) == 0;
    }
    bool plainFile(const std::filesystem::path& path, mode_t mode) {
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, mode);
        if (fd < 0) return false;
        ::close(fd);
        return ::chmod(path.c_str(), mode) == 0;
    }
    using SerialPort::folder;
    using SerialPort::open;
    using SerialPort::pty;
};

TEST_P(OpenFailureReason, IsRecordedWithThePortAndTheDevice) {
    const FailureCase& c = GetParam();
    std::string skip;
    if (!c.prepare(*this, skip)) GTEST_SKIP() << skip;
    EXPECT_EQ(open(c.port), -1);
    const OpenFailure& failure = driver.lastOpenFailure();
    ASSERT_TRUE(failure.failed());
    EXPECT_EQ(failure.port, c.port);
    EXPECT_EQ(failure.path, driver.devicePath(c.port));
    EXPECT_EQ(portFaultFor(failure.error, !failure.linkTarget.empty()), c.fault) << std::strerror(failure.error);
    // The next open that succeeds forgets it.
    while (!opened.empty()) close(opened.back());
    ASSERT_GE(open("COM3"), 0);
    EXPECT_FALSE(driver.lastOpenFailure().failed());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, OpenFailureReason,
    ::testing::Values(
        FailureCase{"MissingBuiltInPort", "COM8",
                    [](OpenFailureReason&, std::string& skip) {
                        skip = "this machine has /dev/ttyS7";
                        return !std::filesystem::exists("/dev/ttyS7");
                    },
                    PortFault::NoSuchDevice},
        FailureCase{"LinkToNothing", "COM4",
                    [](OpenFailureReason& t, std::string&) { return t.link("com4", t.folder / "gone"); },
                    PortFault::LinkPointsNowhere},
        FailureCase{"RegularFile", "COM5",
                    [](OpenFailureReason& t, std::string&) {
                        return t.plainFile(t.folder / "notes.txt", 0644) && t.link("com5", t.folder / "notes.txt");
                    },
                    PortFault::NotSerial},
        FailureCase{"HeldThroughTheLock", "COM6",
                    [](OpenFailureReason& t, std::string&) {
                        return t.link("com6", t.pty.slave) && t.open("COM6") >= 0;
                    },
                    PortFault::InUse},
        FailureCase{"NotAllowed", "COM7",
                    [](OpenFailureReason& t, std::string& skip) {
                        skip = "runs as root, who may open any file";
                        if (::geteuid() == 0) return false;
                        return t.plainFile(t.folder / "locked", 0) && t.link("com7", t.folder / "locked");
                    },
                    PortFault::PermissionDenied}),
    [](const auto& info) { return std::string(info.param.name); });

class NotAPortName : public ::testing::TestWithParam<const char*> {};

TEST_P(NotAPortName, GivesNoPathAndTheInvalidHandle) {
    std::vector<std::string> notices;
    SerialDriver driver([&](const std::string& t) { notices.push_back(t); }, "/tmp/");
    EXPECT_EQ(driver.devicePath(GetParam()), "");
    EXPECT_EQ(driver.SioOpen(GetParam(), 19200), -1);
    EXPECT_TRUE(notices.empty());
}

INSTANTIATE_TEST_SUITE_P(Names, NotAPortName,
                         ::testing::Values("COM9", "COM0", "LPT1", "com1", "COM10", "COM", "",
                                           "COM1 ", "/dev/ttyS0"));

// --- Rates -----------------------------------------------------------------

class RateOnOpen : public SerialPort, public ::testing::WithParamInterface<int> {};

TEST_P(RateOnOpen, SupportedRatesOpenAsAskedOthersAt19200WithANotice) {
    const int baud = GetParam();
    const int fd = open("COM3", baud);
    ASSERT_GE(fd, 0);
    if (SerialDriver::isSupportedRate(baud)) {
        EXPECT_EQ(openedRate(fd), baud);
        EXPECT_TRUE(notices.empty());
    } else {
        EXPECT_EQ(openedRate(fd), 19200);
        EXPECT_EQ(notices,
                  std::vector<std::string>{"Baud rate not supported - using default of 19200"});
    }
}

class RateOnChange : public SerialPort, public ::testing::WithParamInterface<int> {};

TEST_P(RateOnChange, SupportedRatesAreTakenOthersRefusedWithANotice) {
    const int baud = GetParam();
    const int fd = open();
    ASSERT_GE(fd, 0);
    if (SerialDriver::isSupportedRate(baud)) {
        EXPECT_EQ(driver.SioBaud(fd, baud), 1);
        EXPECT_EQ(openedRate(fd), baud);
        EXPECT_TRUE(notices.empty());
    } else {
        EXPECT_EQ(driver.SioBaud(fd, baud), 0);
        EXPECT_EQ(openedRate(fd), 19200);
        EXPECT_EQ(notices, std::vector<std::string>{"Baud rate not supported"});
    }
}

const int kSupported[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
const int kUnsupported[] = {300, 600, 0, -19200, 14400, 19201, 460800, 921600};

INSTANTIATE_TEST_SUITE_P(Supported, RateOnOpen, ::testing::ValuesIn(kSupported));
INSTANTIATE_TEST_SUITE_P(Unsupported, RateOnOpen, ::testing::ValuesIn(kUnsupported));
INSTANTIATE_TEST_SUITE_P(Supported, RateOnChange, ::testing::ValuesIn(kSupported));
INSTANTIATE_TEST_SUITE_P(Unsupported, RateOnChange, ::testing::ValuesIn(kUnsupported));

// The table itself, so that a rate cannot silently join or leave it.
TEST(SerialRates, ExactlyTheNineRatesAreSupported) {
    int count = 0;
    for (int baud = 0; baud <= 1000000; ++baud) count += SerialDriver::isSupportedRate(baud);
    EXPECT_EQ(count, 9);
    for (int baud : kSupported) EXPECT_TRUE(SerialDriver::isSupportedRate(baud)) << baud;
}

}  // namespace
}  // namespace travin
