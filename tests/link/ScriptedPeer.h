// A scripted far end of the serial line for the link's tests: a real
// pseudo-terminal whose slave the workbench opens through <folder>/com<N>,
// and a thread on the master that answers syncs and frames as the test
// says. It records every byte that reached the wire, with its arrival time.
//
// The peer keeps a slave fd of its own open, so the workbench closing and
// reopening the port never hangs the master up; hangUp() closes the master.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace travin::testing {

class ScriptedPeer {
public:
    using Clock = std::chrono::steady_clock;
    struct Frame {
        std::uint8_t code = 0;
        std::vector<std::uint8_t> payload;
        std::uint8_t checksum = 0;
        std::vector<std::uint8_t> wire;   // sync, code, N, payload, checksum
    };
    struct Timed {
        std::uint8_t byte;
        Clock::time_point at;
    };

    // Bytes to send for the n-th sync (0-based); the default echoes it. A
    // sequence ending in 0xAA makes the peer wait for the frame.
    std::function<std::vector<std::uint8_t>(int)> onSync = [](int) { return std::vector<std::uint8_t>{0xAA}; };
    // Reply bytes for a frame; the default answers "stopped, no data".
    std::function<std::vector<std::uint8_t>(const Frame&)> onFrame = [](const Frame&) {
        return std::vector<std::uint8_t>{0x00, 0x00};
    };

    // Bytes a second the peer sends at most (1920 is 19200 bit/s); 0: as
    // fast as the pseudo-terminal takes them.
    std::atomic<int> bytesPerSecond{0};

    ScriptedPeer(const std::string& folder, int com) {
        int slave = -1;
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
        // Raw at once: in canonical mode the waiting-byte count reads 0.
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B19200);
        ::tcsetattr(slave, TCSANOW, &t);
        slavePath = ::ttyname(slave);
        heldSlave = slave;
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        link = folder + "com" + std::to_string(com);
        std::filesystem::remove(link);
        std::filesystem::create_symlink(slavePath, link);
    }
    ~ScriptedPeer() {
        stop();
        std::error_code ec;
        std::filesystem::remove(link, ec);
        if (heldSlave >= 0) ::close(heldSlave);
        if (master >= 0) ::close(master);
    }

    void start() {
        worker = std::thread([this] { run(); });
    }
    void stop() {
        quit = true;
        if (worker.joinable()) worker.join();
    }
    // Closes both ends the peer holds: the workbench's slave fd sees a hang-up.
    void hangUp() {
        stop();
        ::close(master);
        master = -1;
        ::close(heldSlave);
        heldSlave = -1;
    }
    void send(const std::vector<std::uint8_t>& bytes) {
        std::lock_guard lock(mutex);
        outbox.insert(outbox.end(), bytes.begin(), bytes.end());
    }

    std::vector<std::uint8_t> received() const {
        std::lock_guard lock(mutex);
        std::vector<std::uint8_t> out;
        for (const auto& t : wire) out.push_back(t.byte);
        return out;
    }
    std::vector<Timed> timedBytes() const {
        std::lock_guard lock(mutex);
        return wire;
    }
    std::vector<Frame> frames() const {
        std::lock_guard lock(mutex);
        return done;
    }
    int syncCount() const {
        std::lock_guard lock(mutex);
        return syncs;
    }
    bool waitForFrames(std::size_t n, std::chrono::milliseconds timeout) const {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, timeout, [&] { return done.size() >= n; });
    }

    std::string slavePath;

private:
    void run() {
        enum { Idle, Code, Length, Payload, Checksum } state = Idle;
        Frame frame;
        int left = 0;
        while (!quit) {
            flushOutbox();
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 5) <= 0) continue;
            std::uint8_t buf[256];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            for (ssize_t i = 0; i < n; ++i) {
                const std::uint8_t b = buf[i];
                std::vector<std::uint8_t> answer;
                {
                    std::lock_guard lock(mutex);
                    wire.push_back({b, Clock::now()});
                    switch (state) {
                    case Idle:
                        if (b == 0xAA) {
                            answer = onSync(syncs++);
                            if (!answer.empty() && answer.back() == 0xAA) {
                                state = Code;
                                frame = Frame{};
                                frame.wire.push_back(b);
                            }
                        }
                        break;
                    case Code:
                        frame.code = b;
                        frame.wire.push_back(b);
                        state = Length;
                        break;
                    case Length:
                        left = b;
                        frame.wire.push_back(b);
                        state = left ? Payload : Checksum;
                        break;
                    case Payload:
                        frame.payload.push_back(b);
                        frame.wire.push_back(b);
                        if (--left == 0) state = Checksum;
                        break;
                    case Checksum:
                        frame.checksum = b;
                        frame.wire.push_back(b);
                        answer = onFrame(frame);
                        done.push_back(frame);
                        changed.notify_all();
                        state = Idle;
                        break;
                    }
                }
                writeAll(answer);
            }
        }
    }
    void flushOutbox() {
        std::vector<std::uint8_t> bytes;
        {
            std::lock_guard lock(mutex);
            bytes.swap(outbox);
        }
        writeAll(bytes);
    }
    void writeAll(const std::vector<std::uint8_t>& bytes) {
        std::size_t off = 0;
        const int rate = bytesPerSecond;
        // Paced: a slice of 10 ms worth of bytes at a time.
        const std::size_t slice = rate > 0 ? std::max<std::size_t>(1, static_cast<std::size_t>(rate) / 100) : bytes.size();
        while (off < bytes.size() && !quit) {
            if (rate > 0 && off > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const ssize_t w = ::write(master, bytes.data() + off, std::min(slice, bytes.size() - off));
            if (w > 0) {
                off += static_cast<std::size_t>(w);
            } else {
                pollfd p{master, POLLOUT, 0};
                ::poll(&p, 1, 10);
            }
        }
    }

    int master = -1;
    int heldSlave = -1;
    std::string link;
    std::thread worker;
    std::atomic<bool> quit{false};
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<Timed> wire;
    std::vector<Frame> done;
    std::vector<std::uint8_t> outbox;
    int syncs = 0;
};

// A fresh temporary folder (with its trailing separator), removed at the end.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "travin-link-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path = pattern + "/";
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

// A reply frame with data: S, M, data, checksum.
inline std::vector<std::uint8_t> dataReply(std::uint8_t status, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out{status, static_cast<std::uint8_t>(data.size())};
    std::uint8_t sum = static_cast<std::uint8_t>(status + data.size());
    for (auto b : data) {
        out.push_back(b);
        sum = static_cast<std::uint8_t>(sum + b);
    }
    out.push_back(sum);
    return out;
}

}  // namespace travin::testing
