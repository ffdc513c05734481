// A pseudo-terminal pair, raw from the start (in canonical mode the count of
// waiting bytes reads 0 while bytes wait). Its slave side stands in for a
// serial device; closing the master is the "unplug".
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

namespace travin::testing {

class RawPty {
public:
    RawPty() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
        termios tio{};
        tcgetattr(master, &tio);
        cfmakeraw(&tio);
        tcsetattr(master, TCSANOW, &tio);
        slave = ptsname(master);
    }
    ~RawPty() { hangUp(); }
    RawPty(const RawPty&) = delete;
    RawPty& operator=(const RawPty&) = delete;

    void hangUp() {
        if (master >= 0) ::close(master);
        master = -1;
    }

    int master = -1;
    std::string slave;
};

}  // namespace travin::testing
