// The serial port driver: the only code that touches the serial port.
//
//   SioOpen      open "COM1".."COM8" with the link's line settings
//   SioBaud      change the rate of an open port
//   SioPutChars  write bytes (completes partial writes within the time-out)
//   SioGetChars  read up to n bytes (returns what arrived within the time-out)
//   SioTest      bytes waiting, or -1 when the port cannot be queried or is gone
//   SioWaitReadable  sleeps until a byte can be read, the line breaks, or the
//                given milliseconds pass; never spins
//   SioPurge     discard every byte received and not yet read
//   SioClose     close the port
//
// The handle is the operating system's handle of the open port (a file
// descriptor on POSIX, a HANDLE carried as an int on Windows), kInvalidHandle
// (-1) when closed. The caller holds the handle; the driver keeps no port
// state beyond the device's own settings found at open, which SioClose hands
// back on POSIX. Failures that the workbench reports are shown through the
// notice callback; the driver never prints and never exits.
//
// Line settings: raw 8 data bits, no parity, one stop bit, no flow control,
// no byte translation, DTR and RTS held off, exclusive access (a second open
// of an open port fails), never waiting for a carrier. Rates: 1200, 2400,
// 4800, 9600, 19200, 38400, 57600, 115200, 230400; an unsupported rate opens
// at 19200 with a notice, and leaves the rate unchanged with a notice when
// changing. Time-outs: a transfer of n bytes takes at most 10 * n + 100 ms;
// a read returns what arrived by then, a write that cannot complete by then
// fails with the notice "SioPutChars failed". SioTest returns -1 also when
// the device is gone (unplugged, or the other side of a pseudo-terminal
// closed).
//
// Port names: "COM<n>" opens the device named by the entry com<n> in the
// device folder (normally the executable's folder) when that entry exists,
// otherwise /dev/ttyS<n-1>. This resolution lives here and nowhere else. On
// Windows the name is opened as given.
//
// Network ports: "rfc2217://HOST:PORT" and "socket://HOST:PORT" open a TCP
// connection instead (SioOpenDevice takes them as names, and a com<n> entry
// that is a small file whose one line is such an address gives that COM
// number to it). The same calls then work on the connection, with the same
// time-outs; see SerialDriverNet.cpp.
//
// When an open fails, lastOpenFailure() tells what was opened and why (see
// link/PortFailure.h); it is cleared by the next open that succeeds.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "link/PortFailure.h"

namespace travin {

// The low-latency switch of a UART's driver (Linux's ASYNC_LOW_LATENCY,
// which makes a USB adapter hand each byte on at once instead of after its
// latency timer). The POSIX half fills it with the real calls; tests put a
// recording fake in its place. Empty members: the platform has no switch.
struct LowLatencyCalls {
    // The flag as the driver has it; nullopt when the device has no such
    // setting.
    std::function<std::optional<bool>(int handle)> read;
    // Sets it; false when refused.
    std::function<bool(int handle, bool on)> write;
};

class SerialDriver {
public:
    using NoticeFn = std::function<void(const std::string&)>;

    SerialDriver(NoticeFn showNotice, std::string deviceFolder);

    int SioOpen(const std::string& name, int baud);
    // The same open for a device named by its path, for callers that take a
    // device path where a COM name would do.
    int SioOpenDevice(const std::string& path, int baud);
    int SioBaud(int handle, int baud);
    int SioPutChars(int handle, const std::uint8_t* bytes, int count);
    int SioGetChars(int handle, std::uint8_t* buffer, int count);
    int SioTest(int handle);

    enum class Wait { Readable, TimedOut, LineBroken, Failed };
    // Sleeps until a byte waits (Readable), the time passes (TimedOut), the
    // device reports a hang-up or error (LineBroken) or the wait itself
    // fails (Failed). The caller keeps its own budget; this only bounds one
    // sleep. A byte the platform had to take in to learn that it came is
    // kept and handed out first by SioGetChars, and counted by SioTest.
    Wait SioWaitReadable(int handle, int milliseconds);
    // Discards what was received and not read (the system's input queue and
    // any byte SioWaitReadable held), so that the next exchange starts on a
    // clean line. Bytes still on their way arrive afterwards as usual.
    void SioPurge(int handle);
    void SioClose(int handle);

    // The device path a COM name opens ("" for a name that is not COM1..COM8).
    std::string devicePath(const std::string& name) const;
    // True when `name` now resolves to another device than the one open as
    // `handle` (its com<n> entry appeared, was changed or went away), so
    // the port must be opened again to follow it. Never on Windows, where
    // names are opened as given.
    bool SioNameMoved(int handle, const std::string& name) const;

    // False when nothing is at the device a port name (COM<n> or a path)
    // opens any more: an adapter that was pulled out. True where the
    // platform cannot tell.
    bool SioDevicePresent(const std::string& name) const;

    // The network address `name` reaches: the name itself when it is one,
    // the one line of a com<n> entry that is a file holding one, else "".
    std::string networkAddress(const std::string& name) const;

    // The folder of the com<n> entries, ending with a separator.
    const std::string& linkFolder() const { return deviceFolder; }

    const OpenFailure& lastOpenFailure() const { return openFailure; }

    static bool isSupportedRate(int baud);

    // The open asks for low latency where the device has the switch, and
    // the close puts back what it found.
    LowLatencyCalls lowLatency;

private:
    static constexpr int kInvalidHandle = -1;

    void notify(const std::string& text) const;
    // The open of `name`, resolved to the device `path`.
    int openResolved(const std::string& name, const std::string& path, int baud);
    // Records the failure of an open of `name` at `path` with `error`.
    void openFailed(const std::string& name, const std::string& path, int error);
    // The line settings could not be read or set: recorded, and shown
    // unless the device has no hardware behind it.
    void settingsRefused(const std::string& name, const std::string& path, int error);

    // The network half (SerialDriverNet.cpp): the open of `name`, reached
    // through `path`, as the address `url`, and the calls on its handle.
    class NetPort;
    bool isNetwork(int handle) const { return netPorts.count(handle) != 0; }
    int openNetwork(const std::string& name, const std::string& path, const std::string& url, int baud);
    int netBaud(int handle, int baud);
    int netPutChars(int handle, const std::uint8_t* bytes, int count);
    int netGetChars(int handle, std::uint8_t* buffer, int count);
    int netTest(int handle);
    Wait netWaitReadable(int handle, int milliseconds);
    bool netNameMoved(int handle, const std::string& name) const;
    void netPurge(int handle);
    void netClose(int handle);

    NoticeFn showNotice;
    std::string deviceFolder;
    OpenFailure openFailure;
    // The device's settings found at open, by handle, as raw bytes of the
    // platform's settings record.
    std::map<int, std::vector<std::uint8_t>> originalSettings;
    // Bytes taken in by SioWaitReadable and not yet read, by handle (only
    // where the platform cannot wait without reading).
    std::map<int, std::vector<std::uint8_t>> heldBytes;
    // Open ports whose low-latency flag the open switched on.
    std::set<int> lowLatencySwitchedOn;
    // The open network ports, by handle (their socket).
    std::map<int, std::shared_ptr<NetPort>> netPorts;
    // Handshakes with a silent host still under way, by address: the next
    // open of that address takes them up instead of waiting all over.
    class Connecting;
    std::map<std::string, std::shared_ptr<Connecting>> connecting;
    // Addresses whose name lookup was still under way at the last open, with
    // when that open started: the next open waits for the name only briefly.
    std::map<std::string, std::chrono::steady_clock::time_point> lookingUp;
};

}  // namespace travin
