// Fuzz target: the bytes a board sends, read by the command link over a real
// pseudo-terminal. The first input byte picks the command (its low seven
// bits) and whether the board counts as detected (bit 7 clear); the rest is
// what the board answers: handshake, status, length, data, checksum, and
// whatever follows (console bytes, the replies of nested exchanges, the next
// status poll).
//
// Time stands still while the board's bytes wait; once they are all read,
// every look at the clock is a whole budget later, so a reply cut short
// ends at once instead of after a real time-out.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "link/CommandLink.h"
#include "link/CommandTable.h"
#include "link/Monitor.h"
#include "link/SerialDriver.h"
#include "tests/support/FakeScreens.h"

namespace {

using namespace travin;
using namespace travin::testing;

// The far end: one pseudo-terminal for the whole run, its slave held open
// so that the workbench closing the port never hangs the line up.
struct Line {
    int master = -1;
    int slave = -1;
    std::string folder;

    Line() {
        char pattern[] = "/tmp/travin-fuzz-XXXXXX";
        if (!::mkdtemp(pattern)) std::abort();
        folder = std::string(pattern) + "/";
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) std::abort();
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        std::filesystem::create_symlink(::ttyname(slave), folder + "com1");
    }
    ~Line() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    int waiting() const {
        int n = 0;
        return ::ioctl(slave, TIOCINQ, &n) == 0 ? n : 0;
    }
    // Empties both directions, then puts the board's bytes on the line and
    // waits (in poll, bounded) until the slave side holds all of them.
    void feed(const std::uint8_t* bytes, std::size_t count) {
        ::tcflush(slave, TCIOFLUSH);
        std::uint8_t sink[512];
        while (::read(master, sink, sizeof sink) > 0) {
        }
        std::size_t off = 0;
        for (int tries = 0; off < count && tries < 1000; ++tries) {
            const ssize_t w = ::write(master, bytes + off, count - off);
            if (w > 0) off += static_cast<std::size_t>(w);
            else ::poll(nullptr, 0, 1);
        }
        for (int tries = 0; waiting() < static_cast<int>(off) && tries < 1000; ++tries) ::poll(nullptr, 0, 1);
    }
};

class InputClock : public Clock {
public:
    explicit InputClock(const Line& l) : line(l) {}
    std::int64_t nowMs() override {
        if (line.waiting() == 0) now += 10'000;
        return now;
    }
    void sleepMs(int ms) override { now += ms; }

private:
    const Line& line;
    std::int64_t now = 1'000'000;
};

// The pty's input queue holds 4096 bytes; the rest would wait forever.
constexpr std::size_t kMaxBoardBytes = 4000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static Line line;
    const auto table = commandTable();
    const CommandInfo& command = table[(data[0] & 0x7F) % table.size()];
    const bool detected = (data[0] & 0x80) == 0;
    line.feed(data + 1, std::min(size - 1, kMaxBoardBytes));

    FakeListing listing;
    FakeConsole console;
    FakeNotices notices;
    FakeMainView main;
    FakeTimer timer;
    InputClock clock(line);
    FakeDesktop desktop;
    Workbench wb(Screens{listing, console, notices, main, timer, clock, desktop}, line.folder);
    listing.setLines({"print 1", "A = 2"});
    notices.inputAnswers = {std::string("7")};

    WorkbenchState& s = wb.state;
    s.selectedPort = s.openPort = 1;
    s.portHandle = wb.serial.SioOpen("COM1", 19200);
    if (s.portHandle == kInvalidHandle) std::abort();
    s.reopenRequested = false;
    s.detected = detected;

    // A payload of the size the command carries; its bytes do not matter here.
    std::vector<std::uint8_t> payload(fixedPayload(command.code).begin(), fixedPayload(command.code).end());
    if (command.code == command::DownloadBlock) payload.assign(130, 0);
    if (command.code == command::UploadBlock) payload.assign(2, 0);
    wb.link.SendCommand(command.code, payload.data(), static_cast<int>(payload.size()));

    // What is left is read as the monitor reads it: console bytes, then a
    // status poll (and an input request) from the first tick on.
    s.statusTickCount = 5;
    for (int tick = 0; tick < 3 && s.portHandle != kInvalidHandle && line.waiting() > 0; ++tick)
        wb.monitor.BackgroundProcessTimer();

    if (s.portHandle != kInvalidHandle) wb.serial.SioClose(s.portHandle);
    return 0;
}
