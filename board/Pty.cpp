#include "board/Pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace vboard {

namespace {

struct RatePair {
    std::uint32_t baud;
    speed_t speed;
};
constexpr RatePair kRates[] = {
    {50, B50},       {75, B75},       {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},     {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},   {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800},
};

std::runtime_error sysError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

std::uint32_t baudFromSpeed(unsigned speed) {
    for (const auto& r : kRates)
        if (r.speed == speed) return r.baud;
    return 0;
}

unsigned speedFromBaud(std::uint32_t baud) {
    for (const auto& r : kRates)
        if (r.baud == baud) return r.speed;
    return B0;
}

bool isSupportedBaud(std::uint32_t baud) {
    switch (baud) {
    case 1200: case 2400: case 4800: case 9600: case 19200:
    case 38400: case 57600: case 115200: case 230400:
        return true;
    default:
        return false;
    }
}

Pty::~Pty() { close(); }

void Pty::open() {
    close();
    if (servesDevice()) {
        const int fd = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) throw sysError("cannot open " + devicePath_);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            auto err = sysError("cannot lock " + devicePath_);
            ::close(fd);
            throw err;
        }
        termios t{};
        if (::tcgetattr(fd, &t) != 0) {
            auto err = sysError(devicePath_ + " is not a serial device");
            ::close(fd);
            throw err;
        }
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | HUPCL | CSTOPB | PARENB);
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        ::cfsetispeed(&t, B19200);
        ::cfsetospeed(&t, B19200);
        ::tcsetattr(fd, TCSANOW, &t);
        fd_ = fd;
        slavePath_ = devicePath_;
        return;
    }
    int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) throw sysError("cannot create pseudo-terminal");
    char name[128];
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof name) != 0) {
        auto err = sysError("cannot prepare pseudo-terminal");
        ::close(fd);
        throw err;
    }
    // The master's termios calls act on the slave's settings, so the pair is
    // raw before anyone can open the slave.
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | HUPCL);
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        ::cfsetispeed(&t, B19200);
        ::cfsetospeed(&t, B19200);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    fd_ = fd;
    slavePath_ = name;
}

void Pty::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::uint32_t Pty::peerBaud() const {
    termios t{};
    if (fd_ < 0 || ::tcgetattr(fd_, &t) != 0) return 0;
    return baudFromSpeed(::cfgetospeed(&t));
}

void Pty::followRate(std::uint32_t baud) {
    if (!servesDevice() || fd_ < 0) return;
    termios t{};
    if (::tcgetattr(fd_, &t) != 0 || baudFromSpeed(::cfgetospeed(&t)) == baud) return;
    const speed_t speed = speedFromBaud(baud);
    if (speed == B0) return;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    // After the bytes already written: the reply that agreed to the rate
    // still leaves at the old one.
    ::tcsetattr(fd_, TCSADRAIN, &t);
}

long Pty::read(std::uint8_t* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

long Pty::write(const std::uint8_t* data, std::size_t size) {
    for (;;) {
        ssize_t n = ::write(fd_, data, size);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

ComLink::~ComLink() { release(); }

void ComLink::acquire(const std::string& dir, int comNumber) {
    release();
    std::string folder = dir.empty() ? std::string(".") : dir;
    if (folder.back() != '/') folder += '/';
    const std::string base = folder + "com" + std::to_string(comNumber);
    const std::string lockPath = base + ".lock";
    // The lock file is unlinked by its owner on release; a board that opened
    // the old file just before that would hold a lock nobody else sees, so
    // check that the locked file is still the one at the path.
    for (int attempt = 0; attempt < 5; ++attempt) {
        int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) throw sysError("cannot create lock file " + lockPath);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int e = errno;
            ::close(fd);
            if (e == EWOULDBLOCK)
                throw std::runtime_error("another board already serves COM" + std::to_string(comNumber) +
                                         " (" + lockPath + " is locked)");
            errno = e;
            throw sysError("cannot lock " + lockPath);
        }
        struct stat held{}, now{};
        if (::fstat(fd, &held) == 0 && ::stat(lockPath.c_str(), &now) == 0 && held.st_ino == now.st_ino &&
            held.st_dev == now.st_dev) {
            lockFd_ = fd;
            lockPath_ = lockPath;
            linkPath_ = base;
            return;
        }
        ::close(fd);
    }
    throw std::runtime_error("cannot take the lock " + lockPath);
}

void ComLink::pointAt(const std::string& target) {
    struct stat st{};
    if (::lstat(linkPath_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
        throw std::runtime_error(linkPath_ + " exists and is not a symbolic link; not replacing it");
    const std::string tmp = linkPath_ + ".new";
    ::unlink(tmp.c_str());
    if (::symlink(target.c_str(), tmp.c_str()) != 0) throw sysError("cannot create link " + tmp);
    if (::rename(tmp.c_str(), linkPath_.c_str()) != 0) {
        auto err = sysError("cannot create link " + linkPath_);
        ::unlink(tmp.c_str());
        throw err;
    }
    target_ = target;
}

void ComLink::release() {
    if (lockFd_ < 0) return;
    if (!target_.empty()) {
        char buf[512];
        ssize_t n = ::readlink(linkPath_.c_str(), buf, sizeof buf - 1);
        if (n >= 0 && std::string(buf, static_cast<std::size_t>(n)) == target_) ::unlink(linkPath_.c_str());
    }
    ::unlink(lockPath_.c_str());
    ::close(lockFd_);
    lockFd_ = -1;
    target_.clear();
}

}  // namespace vboard
