// The serial driver on the Windows communications calls. The handle is the
// port's HANDLE carried as an int (Windows kernel handles fit in 32 bits);
// INVALID_HANDLE_VALUE is -1 either way.
#include "link/SerialDriver.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace travin {

namespace {

constexpr DWORD kDefaultRate = 19200;

// The configuration record's size field says 50 while the record handed over
// is 52 bytes long; the port drivers the workbench was made for expect that.
constexpr DWORD kConfigSizeField = 50;
constexpr DWORD kConfigLength = 52;
static_assert(sizeof(COMMCONFIG) == kConfigLength, "configuration record is 52 bytes");
static_assert(sizeof(DCB) == 28, "device-control block is 28 bytes");

HANDLE toHandle(int handle) {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle));
}

int fromHandle(HANDLE h) {
    if (h == INVALID_HANDLE_VALUE) return -1;
    return static_cast<int>(reinterpret_cast<std::intptr_t>(h));
}

// The link's line settings in a device-control block.
void fillLineSettings(DCB& dcb, DWORD rate) {
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof(DCB);  // 28
    dcb.BaudRate = rate;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = FALSE;
    dcb.XonLim = 100;
    dcb.XoffLim = 100;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x78;
    dcb.XoffChar = 0x79;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
}

}  // namespace

SerialDriver::SerialDriver(NoticeFn notice, std::string folder)
    : showNotice(std::move(notice)), deviceFolder(std::move(folder)) {}

void SerialDriver::notify(const std::string& text) const {
    if (showNotice) showNotice(text);
}

void SerialDriver::openFailed(const std::string& name, const std::string& path, int error) {
    openFailure = OpenFailure{name, path, {}, error};
}

bool SerialDriver::isSupportedRate(int baud) {
    switch (baud) {
        case 1200: case 2400: case 4800: case 9600: case 19200:
        case 38400: case 57600: case 115200: case 230400:
            return true;
        default:
            return false;
    }
}

std::string SerialDriver::devicePath(const std::string& name) const {
    if (name.size() != 4 || name.compare(0, 3, "COM") != 0) return {};
    if (name[3] < '1' || name[3] > '8') return {};
    return name;
}

bool SerialDriver::SioNameMoved(int handle, const std::string& name) const {
    // A COM name here is the port itself, never an entry that can move; only
    // the address of a network port given to it can change.
    return isNetwork(handle) && netNameMoved(handle, name);
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
    // Not shared, an existing device, synchronous.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        // Windows says "access denied" for a port another program holds.
        const DWORD code = GetLastError();
        openFailed(name, path, code == ERROR_FILE_NOT_FOUND ? ENOENT
                               : code == ERROR_ACCESS_DENIED ? EBUSY
                                                             : EIO);
        return kInvalidHandle;
    }

    DWORD rate = static_cast<DWORD>(baud);
    if (!isSupportedRate(baud)) {
        notify("Baud rate not supported - using default of 19200");
        rate = kDefaultRate;
    }

    // COMMCONFIG ends in a one-element provider array, so it spans 52 bytes.
    COMMCONFIG config;
    std::memset(&config, 0, sizeof config);
    config.dwSize = kConfigSizeField;
    config.wVersion = 1;
    config.wReserved = 0;
    fillLineSettings(config.dcb, rate);
    config.dwProviderSubType = PST_RS232;
    config.dwProviderOffset = 0;
    config.dwProviderSize = 0;
    if (!SetCommConfig(h, &config, kConfigLength)) {
        openFailed(name, path, ENOTTY);
        notify("Failed to set COMM configuration");
        CloseHandle(h);
        return kInvalidHandle;
    }

    // Reads and writes of n bytes end after at most 10 * n + 100 ms.
    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 10;
    timeouts.ReadTotalTimeoutConstant = 100;
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 100;
    if (!SetCommTimeouts(h, &timeouts)) {
        notify("Failed to set Comm timeouts");
        CloseHandle(h);
        return kInvalidHandle;
    }
    openFailure = OpenFailure{};
    return fromHandle(h);
}

int SerialDriver::SioBaud(int handle, int baud) {
    if (isNetwork(handle)) return netBaud(handle, baud);
    HANDLE h = toHandle(handle);
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof(DCB);
    if (!GetCommState(h, &dcb)) return 0;
    if (!isSupportedRate(baud)) {
        notify("Baud rate not supported");
        return 0;
    }
    dcb.BaudRate = static_cast<DWORD>(baud);
    return SetCommState(h, &dcb) ? 1 : 0;
}

int SerialDriver::SioPutChars(int handle, const std::uint8_t* bytes, int count) {
    if (isNetwork(handle)) return netPutChars(handle, bytes, count);
    if (count <= 0) return 1;
    HANDLE h = toHandle(handle);
    // One synchronous write may end at the write time-out with only part of
    // the frame sent; a short write is as much a failure as a refused one.
    DWORD written = 0;
    const BOOL ok = WriteFile(h, bytes, static_cast<DWORD>(count), &written, nullptr);
    if (ok && written == static_cast<DWORD>(count)) return 1;
    notify("SioPutChars failed");
    return 0;
}

int SerialDriver::SioGetChars(int handle, std::uint8_t* buffer, int count) {
    if (isNetwork(handle)) return netGetChars(handle, buffer, count);
    if (count <= 0) return 0;
    // Bytes the wait took in come first, in the order they arrived.
    int given = 0;
    const auto held = heldBytes.find(handle);
    if (held != heldBytes.end()) {
        while (given < count && !held->second.empty()) {
            buffer[given++] = held->second.front();
            held->second.erase(held->second.begin());
        }
        if (held->second.empty()) heldBytes.erase(held);
        if (given == count) return given;
    }
    HANDLE h = toHandle(handle);
    // A failed read reports how many bytes it moved before failing.
    DWORD got = 0;
    (void)ReadFile(h, buffer + given, static_cast<DWORD>(count - given), &got, nullptr);
    return given + static_cast<int>(got);
}

int SerialDriver::SioTest(int handle) {
    if (isNetwork(handle)) return netTest(handle);
    HANDLE h = toHandle(handle);
    // Also clears a pending line-error condition, which would otherwise stop
    // all further transfers; the error bits themselves are not needed.
    DWORD errors = 0;
    COMSTAT status;
    std::memset(&status, 0, sizeof status);
    if (!ClearCommError(h, &errors, &status)) return -1;
    const auto held = heldBytes.find(handle);
    const int heldCount = held == heldBytes.end() ? 0 : static_cast<int>(held->second.size());
    return static_cast<int>(status.cbInQue) + heldCount;
}

SerialDriver::Wait SerialDriver::SioWaitReadable(int handle, int milliseconds) {
    if (isNetwork(handle)) return netWaitReadable(handle, milliseconds);
    const int waiting = SioTest(handle);
    if (waiting < 0) return Wait::LineBroken;
    if (waiting > 0) return Wait::Readable;
    // A synchronous port has no wait with a time-out of its own, but a read
    // does: with these time-outs ReadFile returns as soon as one byte comes,
    // or empty when the constant has passed. The byte is kept for SioGetChars.
    HANDLE h = toHandle(handle);
    COMMTIMEOUTS usual;
    if (!GetCommTimeouts(h, &usual)) return Wait::Failed;
    COMMTIMEOUTS waitForOne = usual;
    waitForOne.ReadIntervalTimeout = MAXDWORD;
    waitForOne.ReadTotalTimeoutMultiplier = MAXDWORD;
    waitForOne.ReadTotalTimeoutConstant = milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 1;
    if (!SetCommTimeouts(h, &waitForOne)) return Wait::Failed;
    std::uint8_t byte = 0;
    DWORD got = 0;
    const BOOL ok = ReadFile(h, &byte, 1, &got, nullptr);
    (void)SetCommTimeouts(h, &usual);
    if (!ok) return Wait::LineBroken;
    if (got == 0) return Wait::TimedOut;
    heldBytes[handle].push_back(byte);
    return Wait::Readable;
}

// Windows names no device file a program could look at; an open port that
// went away is reported by the failure that found it.
bool SerialDriver::SioDevicePresent(const std::string&) const { return true; }

void SerialDriver::SioPurge(int handle) {
    if (handle < 0) return;
    if (isNetwork(handle)) return netPurge(handle);
    heldBytes.erase(handle);
    PurgeComm(toHandle(handle), PURGE_RXABORT | PURGE_RXCLEAR);
}

void SerialDriver::SioClose(int handle) {
    if (handle == kInvalidHandle) return;
    if (isNetwork(handle)) return netClose(handle);
    heldBytes.erase(handle);
    CloseHandle(toHandle(handle));
}

}  // namespace travin
