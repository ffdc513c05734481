// The system's serial devices from libserialport, with the stable names
// udev gives them under /dev/serial/by-id.
#include <libserialport.h>

#include <filesystem>
#include <map>
#include <system_error>

#include "link/SerialCatalogue.h"

namespace travin {

namespace fs = std::filesystem;

namespace {

std::string text(const char* s) { return s ? std::string(s) : std::string(); }

// By resolved device path, its by-id name.
std::map<std::string, std::string> byIdNames() {
    std::map<std::string, std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it("/dev/serial/by-id", ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code rc;
        const fs::path device = fs::canonical(it->path(), rc);
        if (!rc) names.emplace(device.string(), it->path().string());
    }
    return names;
}

class LibSerialPortSource : public SerialDeviceSource {
public:
    std::vector<SerialDevice> listDevices() override {
        std::vector<SerialDevice> devices;
        sp_port** ports = nullptr;
        if (sp_list_ports(&ports) != SP_OK) return devices;
        const std::map<std::string, std::string> byId = byIdNames();
        for (sp_port** p = ports; *p; ++p) {
            SerialDevice d;
            d.path = text(sp_get_port_name(*p));
            d.description = text(sp_get_port_description(*p));
            if (sp_get_port_transport(*p) == SP_TRANSPORT_USB) {
                int vid = -1, pid = -1;
                if (sp_get_port_usb_vid_pid(*p, &vid, &pid) == SP_OK) {
                    d.vendorId = vid;
                    d.productId = pid;
                }
                d.manufacturer = text(sp_get_port_usb_manufacturer(*p));
                d.serialNumber = text(sp_get_port_usb_serial(*p));
                const std::string product = text(sp_get_port_usb_product(*p));
                if (!product.empty()) d.description = product;
            }
            std::error_code ec;
            const fs::path real = fs::canonical(d.path, ec);
            const auto name = byId.find(ec ? d.path : real.string());
            if (name != byId.end()) d.byIdPath = name->second;
            devices.push_back(d);
        }
        sp_free_port_list(ports);
        return devices;
    }
#if defined(__linux__)
    // On Linux the list leaves out every ttyS<n> whose UART type reads
    // unknown, i.e. the nodes with no hardware behind them.
    bool knowsBuiltInHardware() const override { return true; }
#endif
};

}  // namespace

std::unique_ptr<SerialDeviceSource> systemSerialDevices() { return std::make_unique<LibSerialPortSource>(); }

}  // namespace travin
