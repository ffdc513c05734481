// The serial driver on POSIX termios. The handle is the file descriptor.
//
// The line settings of the link (raw 8N1, no flow control, DTR and RTS off,
// no carrier wait) are expressed in termios; the read and write time-outs
// (10 ms per byte plus 100 ms) are kept by poll() over a non-blocking
// descriptor, so no call ever spins or waits longer than its budget.
#include "link/SerialDriver.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/serial.h>
#endif

namespace travin {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultRate = 19200;
// The flow-control characters of the link's line settings; flow control
// itself is off, so they only matter to a device that ignores that.
constexpr unsigned char kXonChar = 0x78;
constexpr unsigned char kXoffChar = 0x79;

struct Rate {
    int baud;
    speed_t speed;
};

constexpr Rate kRates[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},
    {9600, B9600},   {19200, B19200}, {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400},
};

bool speedFor(int baud, speed_t& speed) {
    for (const Rate& r : kRates) {
        if (r.baud == baud) {
            speed = r.speed;
            return true;
        }
    }
    return false;
}

// Ioctls that a device simply does not have (a pseudo-terminal has no modem
// lines, a USB adapter may lack the serial-info calls) are not failures.
bool deviceLacksIoctl(int err) {
    return err == EINVAL || err == ENOTTY || err == ENOTSUP || err == EOPNOTSUPP;
}

// DTR and RTS held off. Applying line settings can raise them again on some
// drivers, so this runs after every tcsetattr.
bool holdModemLinesOff(int fd) {
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (ioctl(fd, TIOCMBIC, &lines) == 0) return true;
    return deviceLacksIoctl(errno);
}

// The real switch: TIOCGSERIAL / TIOCSSERIAL where Linux has them.
LowLatencyCalls systemLowLatencyCalls() {
    LowLatencyCalls calls;
#if defined(__linux__) && defined(TIOCGSERIAL) && defined(TIOCSSERIAL)
    calls.read = [](int fd) -> std::optional<bool> {
        serial_struct info;
        std::memset(&info, 0, sizeof info);
        if (ioctl(fd, TIOCGSERIAL, &info) != 0) return std::nullopt;
        return (info.flags & ASYNC_LOW_LATENCY) != 0;
    };
    calls.write = [](int fd, bool on) {
        serial_struct info;
        std::memset(&info, 0, sizeof info);
        if (ioctl(fd, TIOCGSERIAL, &info) != 0) return false;
        if (on) info.flags |= ASYNC_LOW_LATENCY;
        else info.flags &= ~ASYNC_LOW_LATENCY;
        return ioctl(fd, TIOCSSERIAL, &info) == 0;
    };
#endif
    return calls;
}

// The link's line settings on top of whatever the device had.
void applyLineSettings(termios& tio, speed_t speed) {
    cfmakeraw(&tio);
    // No parity checking or marking, no break handling, no translation of
    // CR and NL, no software flow control in either direction.
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR |
                                          IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK |
                                          IGNPAR);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    // 8 data bits, no parity, one stop bit, no hardware flow control.
    // CLOCAL: never wait for or react to a carrier. HUPCL cleared: closing
    // leaves the modem lines as they are.
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | HUPCL);
#ifdef CRTSCTS
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
#ifdef CMSPAR
    tio.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    // Reads never block in the kernel; the deadline is kept by poll().
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    tio.c_cc[VSTART] = kXonChar;
    tio.c_cc[VSTOP] = kXoffChar;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
}

// tcsetattr succeeds when any part of the change was taken, so read back the
// parts the link depends on.
bool settingsTaken(int fd, speed_t speed) {
    termios now{};
    if (tcgetattr(fd, &now) != 0) return false;
    return cfgetospeed(&now) == speed && (now.c_cflag & CSIZE) == CS8 &&
           (now.c_cflag & (PARENB | CSTOPB)) == 0;
}

// Milliseconds left until the deadline, never negative.
int msLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// The time-out of a transfer of n bytes: 10 ms per byte plus 100 ms.
Clock::time_point deadlineFor(int count) {
    return Clock::now() + std::chrono::milliseconds(10LL * count + 100);
}

void closeQuietly(int fd) {
    const int saved = errno;
    (void)ioctl(fd, TIOCNXCL);
    (void)::close(fd);
    errno = saved;
}

}  // namespace

SerialDriver::SerialDriver(NoticeFn notice, std::string folder)
    : lowLatency(systemLowLatencyCalls()), showNotice(std::move(notice)), deviceFolder(std::move(folder)) {
    if (!deviceFolder.empty() && deviceFolder.back() != '/') deviceFolder += '/';
}

void SerialDriver::notify(const std::string& text) const {
    if (showNotice) showNotice(text);
}

void SerialDriver::openFailed(const std::string& name, const std::string& path, int error) {
    openFailure = OpenFailure{name, path, {}, error};
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return;
    char target[4096];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    if (n > 0) openFailure.linkTarget.assign(target, static_cast<std::size_t>(n));
}

void SerialDriver::settingsRefused(const std::string& name, const std::string& path, int error) {
    openFailed(name, path, error);
    // EIO: a device node with no UART behind it (ttyS1 to ttyS3 exist on
    // every PC). That is no refused configuration, and the open failure
    // names it; a box would come back with every retry of the monitor.
    if (error != EIO) notify("Failed to set COMM configuration");
}

bool SerialDriver::isSupportedRate(int baud) {
    speed_t ignored;
    return speedFor(baud, ignored);
}

std::string SerialDriver::devicePath(const std::string& name) const {
    if (name.size() != 4 || name.compare(0, 3, "COM") != 0) return {};
    const char digit = name[3];
    if (digit < '1' || digit > '8') return {};
    // lstat, not stat: a link whose target is gone still names the port the
    // user set up, and opening it then fails instead of silently falling back
    // to a built-in port.
    const std::string link = deviceFolder + "com" + digit;
    struct stat st;
    if (lstat(link.c_str(), &st) == 0) return link;
    return std::string("/dev/ttyS") + static_cast<char>(digit - 1);
}

bool SerialDriver::SioNameMoved(int handle, const std::string& name) const {
    if (isNetwork(handle)) return netNameMoved(handle, name);
    const std::string path = devicePath(name);
    if (handle < 0 || path.empty()) return false;
    struct stat open;
    // A port that cannot be looked at is SioTest's to report.
    if (fstat(handle, &open) != 0) return false;
    struct stat named;
    if (stat(path.c_str(), &named) != 0) return true;   // it names nothing now
    return open.st_dev != named.st_dev || open.st_ino != named.st_ino || open.st_rdev != named.st_rdev;
}

bool SerialDriver::SioDevicePresent(const std::string& name) const {
    // A network port has no device here to look at.
    if (!networkAddress(name).empty()) return true;
    const std::string com = devicePath(name);
    struct stat st;
    return stat((com.empty() ? name : com).c_str(), &st) == 0;
}

int SerialDriver::SioOpen(const std::string& name, int baud) {
    const std::string path = devicePath(name);
    if (path.empty()) return kInvalidHandle;
    if (const std::string url = networkAddress(name); !url.empty()) return openNetwork(name, path, url, baud);
    return openResolved(name, path, baud);
}

int SerialDriver::SioOpenDevice(const std::string& path, int baud) {
    if (!networkAddress(path).empty()) return openNetwork(path, path, path, baud);
    return openResolved(path, path, baud);
}

int SerialDriver::openResolved(const std::string& name, const std::string& path, int baud) {
    // Non-blocking from the start, so that the open itself never waits for a
    // carrier and every later transfer is bounded by poll().
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        openFailed(name, path, errno);
        return kInvalidHandle;
    }

    // Exclusive access: flock is honoured for root too, TIOCEXCL keeps out
    // programs that do not take the lock. Either alone leaves a gap.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        openFailed(name, path, errno);
        (void)::close(fd);
        return kInvalidHandle;
    }
    if (ioctl(fd, TIOCEXCL) != 0 && !deviceLacksIoctl(errno)) {
        openFailed(name, path, errno);
        (void)::close(fd);
        return kInvalidHandle;
    }

    speed_t speed = B19200;
    if (!speedFor(baud, speed)) {
        notify("Baud rate not supported - using default of 19200");
        speedFor(kDefaultRate, speed);
    }

    termios original{};
    if (tcgetattr(fd, &original) != 0) {
        settingsRefused(name, path, errno);
        closeQuietly(fd);
        return kInvalidHandle;
    }
    termios tio = original;
    applyLineSettings(tio, speed);
    errno = 0;
    if (tcsetattr(fd, TCSANOW, &tio) != 0 || !settingsTaken(fd, speed) ||
        !holdModemLinesOff(fd)) {
        const int error = errno != 0 ? errno : EINVAL;
        (void)tcsetattr(fd, TCSANOW, &original);
        settingsRefused(name, path, error);
        closeQuietly(fd);
        return kInvalidHandle;
    }

    // The time-outs live in poll(), which needs the descriptor non-blocking.
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || ((flags & O_NONBLOCK) == 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)) {
        openFailed(name, path, errno);
        (void)tcsetattr(fd, TCSANOW, &original);
        notify("Failed to set Comm timeouts");
        closeQuietly(fd);
        return kInvalidHandle;
    }

    // Each exchange waits for a short reply: ask the driver not to hold
    // received bytes back for its latency timer, and remember to put the
    // flag back, as the line settings are.
    lowLatencySwitchedOn.erase(fd);
    if (lowLatency.read && lowLatency.write) {
        const std::optional<bool> was = lowLatency.read(fd);
        if (was && !*was && lowLatency.write(fd, true)) lowLatencySwitchedOn.insert(fd);
    }
    openFailure = OpenFailure{};

    // Kept so that closing hands the device back as it was found.
    std::vector<std::uint8_t>& kept = originalSettings[fd];
    kept.resize(sizeof original);
    std::memcpy(kept.data(), &original, sizeof original);
    return fd;
}

int SerialDriver::SioBaud(int handle, int baud) {
    if (isNetwork(handle)) return netBaud(handle, baud);
    termios tio{};
    if (tcgetattr(handle, &tio) != 0) return 0;
    speed_t speed;
    if (!speedFor(baud, speed)) {
        notify("Baud rate not supported");
        return 0;
    }
    // Only the rate changes; the rest of the line settings stay as they are.
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0) return 0;
    if (tcsetattr(handle, TCSANOW, &tio) != 0) return 0;
    if (!holdModemLinesOff(handle)) return 0;
    return settingsTaken(handle, speed) ? 1 : 0;
}

int SerialDriver::SioPutChars(int handle, const std::uint8_t* bytes, int count) {
    if (isNetwork(handle)) return netPutChars(handle, bytes, count);
    if (count <= 0) return 1;
    // The system may take a frame in parts (a full output queue); finish it
    // within the write time-out rather than lose the rest.
    const Clock::time_point deadline = deadlineFor(count);
    int done = 0;
    while (done < count) {
        const ssize_t n = ::write(handle, bytes + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
        const int wait = msLeft(deadline);
        if (wait == 0) break;
        pollfd pfd{handle, POLLOUT, 0};
        const int ready = ::poll(&pfd, 1, wait);
        if (ready < 0 && errno != EINTR) break;
        // A hang-up or error shows in the next write's result.
    }
    if (done == count) return 1;
    notify("SioPutChars failed");
    return 0;
}

int SerialDriver::SioGetChars(int handle, std::uint8_t* buffer, int count) {
    if (isNetwork(handle)) return netGetChars(handle, buffer, count);
    if (count <= 0) return 0;
    // Return once count bytes arrived, or at the time-out with what came.
    const Clock::time_point deadline = deadlineFor(count);
    int done = 0;
    bool pollSaidReadable = false;
    while (done < count) {
        const ssize_t n = ::read(handle, buffer + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            pollSaidReadable = false;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
        // With VMIN and VTIME 0 an empty raw tty reads 0, not EAGAIN; only
        // after poll() reported it readable does 0 mean nothing more comes.
        if (n == 0 && pollSaidReadable) break;
        const int wait = msLeft(deadline);
        if (wait == 0) break;
        pollfd pfd{handle, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, wait);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0) {
            if ((pfd.revents & POLLIN) == 0) break;  // hang-up or error only
            pollSaidReadable = true;
        }
    }
    return done;
}

int SerialDriver::SioTest(int handle) {
    if (isNetwork(handle)) return netTest(handle);
    // A device that is gone (an unplugged adapter, a pseudo-terminal whose
    // other side closed) is not always refused by the count query; poll()
    // reports its hang-up for sure.
    pollfd pfd{handle, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, 0);
    if (ready < 0) return -1;
    if (ready > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return -1;
    int waiting = 0;
#if defined(TIOCINQ)
    if (ioctl(handle, TIOCINQ, &waiting) != 0) return -1;
#else
    if (ioctl(handle, FIONREAD, &waiting) != 0) return -1;
#endif
    return waiting < 0 ? -1 : waiting;
}

SerialDriver::Wait SerialDriver::SioWaitReadable(int handle, int milliseconds) {
    if (isNetwork(handle)) return netWaitReadable(handle, milliseconds);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd entry{handle, POLLIN, 0};
        const int ready = ::poll(&entry, 1, left > 0 ? static_cast<int>(left) : 0);
        if (ready == 0) return Wait::TimedOut;
        if (ready < 0) {
            // A signal cut the sleep short: sleep on for the time that is left.
            if (errno == EINTR) continue;
            return Wait::Failed;
        }
        // A hung-up line also reports itself readable (the read would fail),
        // so the hang-up is told first; bytes that still wait are counted
        // by SioTest either way.
        if (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) return Wait::LineBroken;
        return Wait::Readable;
    }
}

void SerialDriver::SioPurge(int handle) {
    if (handle < 0) return;
    if (isNetwork(handle)) return netPurge(handle);
    heldBytes.erase(handle);
    (void)tcflush(handle, TCIFLUSH);
}

void SerialDriver::SioClose(int handle) {
    if (handle < 0) return;
    if (isNetwork(handle)) return netClose(handle);
    const auto kept = originalSettings.find(handle);
    if (kept != originalSettings.end()) {
        termios original{};
        if (kept->second.size() == sizeof original) {
            std::memcpy(&original, kept->second.data(), sizeof original);
            // Hand back the settings found at open, but still without a
            // hang-up on close: the lines stay as they are.
            original.c_cflag &= ~static_cast<tcflag_t>(HUPCL);
            (void)tcsetattr(handle, TCSANOW, &original);
        }
        originalSettings.erase(kept);
    }
    if (lowLatencySwitchedOn.erase(handle) > 0 && lowLatency.write) (void)lowLatency.write(handle, false);
    closeQuietly(handle);
}

}  // namespace travin
