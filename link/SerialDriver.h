// The serial port driver: the only code that touches the serial port.
//
//   SioOpen      open "COM1".."COM8" with the link's line settings
//   SioBaud      change the rate of an open port
//   SioPutChars  write bytes (completes partial writes within the time-out)
//   SioGetChars  read up to n bytes (returns what arrived within the time-out)
//   SioTest      bytes waiting, or -1 when the port cannot be queried or is gone
//   SioClose     close the port
//
// The handle is the operating system's handle of the open port (a file
// descriptor on POSIX), kInvalidHandle (-1) when closed. The driver keeps no
// port state of its own; the caller holds the handle. Failures that the
// workbench reports are shown through the notice callback; the driver never
// prints and never exits.
//
// Port names: "COM<n>" opens the device named by the entry com<n> in the
// device folder (normally the executable's folder) when that entry exists,
// otherwise /dev/ttyS<n-1>. This resolution lives here and nowhere else.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace travin {

class SerialDriver {
public:
    using NoticeFn = std::function<void(const std::string&)>;

    SerialDriver(NoticeFn showNotice, std::string deviceFolder);

    int SioOpen(const std::string& name, int baud);
    int SioBaud(int handle, int baud);
    int SioPutChars(int handle, const std::uint8_t* bytes, int count);
    int SioGetChars(int handle, std::uint8_t* buffer, int count);
    int SioTest(int handle);
    void SioClose(int handle);

    // The device path a COM name opens ("" for a name that is not COM1..COM8).
    std::string devicePath(const std::string& name) const;

    static bool isSupportedRate(int baud);

private:
    NoticeFn showNotice;
    std::string deviceFolder;
};

}  // namespace travin
