// The board's end of the line: a pseudo-terminal master, and the com<N>
// link with its lock that lets the workbench find the slave side.
//
// Index:
//   Pty        open()/close() the master, slavePath(), rate the far side set,
//              whether any slave fd is open (attached), non-blocking I/O;
//              or, with useDevice(), an existing serial device in its place
//   ComLink    lock com<N>.lock, point com<N> at a path, remove it again
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vboard {

class Pty {
public:
    Pty() = default;
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Creates a new master/slave pair, sets it raw (8N1, no echo, no flow
    // control) at 19200 at once, so nothing written before the workbench
    // opens the slave is echoed or cooked. The master is non-blocking and
    // close-on-exec. Throws std::runtime_error on failure.
    void open();
    // Closes the master. Any open slave fd sees a hang-up (POLLHUP).
    void close();

    // Serve the existing serial device `path` (a USB adapter on a null-modem
    // cable, a port a serial server shares) instead of making a pair: open()
    // then opens it raw at 19200 and locked against a second board, and
    // slavePath() is its path.
    void useDevice(const std::string& path) { devicePath_ = path; }
    bool servesDevice() const { return !devicePath_.empty(); }
    // A served device takes the board's rate once what was written has
    // left; on a pair, the rate is the far side's to set and this does
    // nothing.
    void followRate(std::uint32_t baud);
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& slavePath() const { return slavePath_; }

    // The rate the slave side has set (tcgetattr on the master reports the
    // slave's termios on Linux), or 0 when it cannot be read or is unknown.
    std::uint32_t peerBaud() const;

    // Non-blocking read/write of the master. read returns bytes read, 0 when
    // none wait, -1 when no slave fd is open (EIO) or on error. write
    // returns bytes written (0 when the buffer is full), -1 on error.
    long read(std::uint8_t* buffer, std::size_t size);
    long write(const std::uint8_t* data, std::size_t size);

private:
    int fd_ = -1;
    std::string slavePath_;
    std::string devicePath_;
};

// Maps a termios speed constant to bit/s and back; 0 / B0 when unknown.
std::uint32_t baudFromSpeed(unsigned speed);
unsigned speedFromBaud(std::uint32_t baud);
// The nine rates the board accepts for ChangeBaud.
bool isSupportedBaud(std::uint32_t baud);

class ComLink {
public:
    ComLink() = default;
    ~ComLink();
    ComLink(const ComLink&) = delete;
    ComLink& operator=(const ComLink&) = delete;

    // Takes the lock <dir>/com<N>.lock (flock, non-blocking). Throws
    // std::runtime_error "another board already serves COM<N>" when a live
    // board holds it, or another readable error when it cannot be made.
    void acquire(const std::string& dir, int comNumber);
    // Points <dir>/com<N> at `target`, replacing an earlier link atomically.
    // Refuses (throws) when com<N> exists and is not a symbolic link.
    void pointAt(const std::string& target);
    // Removes the link if it still points at what pointAt() set, and the lock.
    void release();

    const std::string& linkPath() const { return linkPath_; }
    bool held() const { return lockFd_ >= 0; }

private:
    std::string linkPath_;
    std::string lockPath_;
    std::string target_;
    int lockFd_ = -1;
};

}  // namespace vboard
