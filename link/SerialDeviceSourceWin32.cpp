// The system's serial devices on Windows: the COM names the serial drivers
// publish under HARDWARE\DEVICEMAP\SERIALCOMM. No USB data comes from there.
#include "link/SerialCatalogue.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace travin {

namespace {

class SerialCommSource : public SerialDeviceSource {
public:
    std::vector<SerialDevice> listDevices() override {
        std::vector<SerialDevice> devices;
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
            return devices;
        for (DWORD i = 0;; ++i) {
            char driver[256];
            DWORD driverLength = sizeof driver;
            BYTE port[64];
            DWORD portLength = sizeof port - 1;
            DWORD type = 0;
            if (RegEnumValueA(key, i, driver, &driverLength, nullptr, &type, port, &portLength) != ERROR_SUCCESS)
                break;
            if (type != REG_SZ || portLength == 0) continue;
            port[portLength] = 0;
            SerialDevice d;
            d.path = reinterpret_cast<const char*>(port);
            d.description = std::string(driver, driverLength);
            devices.push_back(d);
        }
        RegCloseKey(key);
        return devices;
    }
};

}  // namespace

std::unique_ptr<SerialDeviceSource> systemSerialDevices() { return std::make_unique<SerialCommSource>(); }

}  // namespace travin
