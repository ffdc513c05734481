// The tests' own small client of the board: its own framing, written apart
// from both the board's and the workbench's, over the real pseudo-terminal.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace boardtest {

using Bytes = std::vector<std::uint8_t>;
using Ms = std::chrono::milliseconds;

inline Bytes bytesOf(std::string_view s) { return Bytes(s.begin(), s.end()); }

struct Reply {
    bool ok = false;             // a whole reply arrived and its check byte matched
    std::string failure;         // why not
    Bytes beforeEcho;            // bytes other than 0xAA/0xAB read while waiting for the echo
    int busyCount = 0;           // 0xAB answers
    std::uint8_t status = 0;
    Bytes data;                  // reply data (with data only)
    Bytes raw;                   // every reply byte, status first
};

class TestClient {
public:
    TestClient() = default;
    explicit TestClient(const std::string& path, unsigned speed = B19200) { open(path, speed); }
    ~TestClient() { close(); }
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    bool open(const std::string& path, unsigned speed = B19200) {
        close();
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return false;
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
        ::tcsetattr(fd_, TCSANOW, &t);
        return true;
    }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    void setSpeed(unsigned speed) {
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
        ::tcsetattr(fd_, TCSANOW, &t);
    }

    void write(const Bytes& b) {
        // A line that hung up can keep answering EAGAIN with POLLHUP set, so
        // the write gives up after a deadline instead of retrying forever.
        const auto end = std::chrono::steady_clock::now() + Ms(2000);
        std::size_t done = 0;
        while (done < b.size()) {
            ssize_t n = ::write(fd_, b.data() + done, b.size() - done);
            if (n > 0) done += static_cast<std::size_t>(n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR) return;  // hung up
            else {
                if (std::chrono::steady_clock::now() >= end) return;
                pollfd p{fd_, POLLOUT, 0};
                if (::poll(&p, 1, 10) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return;
            }
        }
    }

    // One byte within `timeout`, or nothing (also after a hang-up).
    std::optional<std::uint8_t> readByte(Ms timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            std::uint8_t b;
            ssize_t n = ::read(fd_, &b, 1);
            if (n == 1) return b;
            auto left = std::chrono::duration_cast<Ms>(end - std::chrono::steady_clock::now()).count();
            if (left <= 0) return std::nullopt;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) > 0 && (p.revents & POLLHUP) && !(p.revents & POLLIN))
                return std::nullopt;
        }
    }

    // Everything that arrives within `quiet` of the previous byte.
    Bytes drain(Ms quiet = Ms(50)) {
        Bytes out;
        while (auto b = readByte(quiet)) out.push_back(*b);
        return out;
    }

    // True when the line reports a hang-up (as the workbench's byte count query sees it).
    bool hungUp() {
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, 0);
        return (p.revents & POLLHUP) != 0;
    }

    // One exchange: sync (again after 100 ms on busy), frame, reply.
    Reply exchange(std::uint8_t code, const Bytes& payload = {}, Ms timeout = Ms(2000), bool badChecksum = false) {
        Reply r;
        const auto end = std::chrono::steady_clock::now() + timeout;
        auto left = [&] {
            return std::max(Ms(0), std::chrono::duration_cast<Ms>(end - std::chrono::steady_clock::now()));
        };
        write({0xAA});
        for (;;) {
            auto b = readByte(left());
            if (!b) { r.failure = "no echo"; return r; }
            if (*b == 0xAA) break;
            if (*b == 0xAB) {
                ++r.busyCount;
                std::this_thread::sleep_for(Ms(100));
                write({0xAA});
                continue;
            }
            r.beforeEcho.push_back(*b);
        }
        Bytes frame{code, static_cast<std::uint8_t>(payload.size())};
        frame.insert(frame.end(), payload.begin(), payload.end());
        unsigned sum = 0;
        for (auto x : frame) sum += x;
        frame.push_back(static_cast<std::uint8_t>(sum + (badChecksum ? 1 : 0)));
        write(frame);
        auto s = readByte(left());
        if (!s) { r.failure = "no status"; return r; }
        auto second = readByte(left());
        if (!second) { r.failure = "no second byte"; return r; }
        r.status = *s;
        r.raw = {*s, *second};
        if (!(*s & 0x80)) {
            r.ok = *second == *s;
            if (!r.ok) r.failure = "check byte differs";
            return r;
        }
        unsigned run = *s + *second;
        for (int i = 0; i < *second; ++i) {
            auto d = readByte(left());
            if (!d) { r.failure = "data stopped"; return r; }
            r.data.push_back(*d);
            r.raw.push_back(*d);
            run += *d;
        }
        auto c = readByte(left());
        if (!c) { r.failure = "no checksum"; return r; }
        r.raw.push_back(*c);
        r.ok = *c == static_cast<std::uint8_t>(run);
        if (!r.ok) r.failure = "checksum differs";
        return r;
    }

private:
    int fd_ = -1;
};

inline std::int32_t i32At(const Bytes& b, std::size_t o) {
    return static_cast<std::int32_t>(b[o] | (b[o + 1] << 8) | (b[o + 2] << 16) | (static_cast<std::uint32_t>(b[o + 3]) << 24));
}
inline unsigned u16At(const Bytes& b, std::size_t o) { return b[o] | (b[o + 1] << 8); }
inline Bytes u16(unsigned v) { return {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8)}; }
inline Bytes u32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 24)};
}

}  // namespace boardtest
