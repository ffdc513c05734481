#include "link/SerialDriver.h"

// Staged: the POSIX driver is filled in by its own work.
namespace travin {

SerialDriver::SerialDriver(NoticeFn notice, std::string folder)
    : showNotice(std::move(notice)), deviceFolder(std::move(folder)) {}
int SerialDriver::SioOpen(const std::string&, int) { return -1; }
int SerialDriver::SioBaud(int, int) { return 0; }
int SerialDriver::SioPutChars(int, const std::uint8_t*, int) { return 0; }
int SerialDriver::SioGetChars(int, std::uint8_t*, int) { return 0; }
int SerialDriver::SioTest(int) { return -1; }
void SerialDriver::SioClose(int) {}
std::string SerialDriver::devicePath(const std::string&) const { return {}; }
bool SerialDriver::isSupportedRate(int) { return false; }

}  // namespace travin
