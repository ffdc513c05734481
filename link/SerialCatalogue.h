// The machine's serial devices and what COM1..COM8 open, for choosing the
// adapter a board hangs on.
//
//   SerialDevice        one device: its path, its stable /dev/serial/by-id/
//                       name, and the USB data where it has them
//   SerialDeviceSource  where the list comes from (the system's, or a
//                       test's fixed list)
//   systemSerialDevices the system's list (libserialport on Linux)
//   comLinkFolder       the folder of the com<n> links
//   SerialCatalogue     the list as the user sees it (the source's devices
//                       plus pseudo-terminals reached through com<n> links),
//                       what each COM number opens now, and giving a device
//                       to a COM number by writing or removing its link,
//                       or giving it a network port (a file holding the
//                       address)
//
// Standard C++ only, so the command-line client shares it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace travin {

class SerialDriver;

struct SerialDevice {
    std::string path;          // /dev/ttyUSB0
    std::string byIdPath;      // /dev/serial/by-id/usb-..., empty when none
    std::string description;   // the device's own name for itself
    std::string manufacturer;
    std::string serialNumber;
    int vendorId = -1;         // USB ids, -1 for a device without USB data
    int productId = -1;
    std::string comLink;       // "com1" for a device found through that link only

    bool isUsb() const { return vendorId >= 0; }
    // What a com<n> link to it should name: the by-id path survives moving
    // the adapter to another socket, the plain path may not.
    const std::string& linkPath() const { return byIdPath.empty() ? path : byIdPath; }
    // "0403:6001", or "" without USB data.
    std::string usbIds() const;

    friend bool operator==(const SerialDevice&, const SerialDevice&) = default;
};

class SerialDeviceSource {
public:
    virtual ~SerialDeviceSource() = default;
    virtual std::vector<SerialDevice> listDevices() = 0;
    // True when the list holds a built-in port (/dev/ttyS<n>) only where a
    // UART answers behind it, so a node it leaves out has no hardware.
    virtual bool knowsBuiltInHardware() const { return false; }
};

std::unique_ptr<SerialDeviceSource> systemSerialDevices();

// The folder the com<n> links live in, ending with a separator: today the
// executable's own folder.
std::string comLinkFolder(const std::string& executableFolder);

// What a COM number opens now.
struct ComTarget {
    enum class Kind {
        Link,          // the com<n> link, to a target that exists
        LinkNowhere,   // the com<n> link, to a target that is gone
        BuiltIn,       // no link: /dev/ttyS<n-1>, which exists
        BuiltInEmpty,  // no link: /dev/ttyS<n-1>, a node with no UART behind it
        Nothing,       // no link and no /dev/ttyS<n-1>
        Network,       // the com<n> entry is a file holding a network address
    };
    Kind kind = Kind::Nothing;
    std::string path;     // the link, or /dev/ttyS<n-1>
    std::string target;   // the link's target as written, or the network address
    // For the dialog: "/dev/serial/by-id/... (link)", "/dev/ttyS1",
    // "/dev/ttyS2 (no serial hardware)", "nothing there", ...
    std::string text() const;
};

class SerialCatalogue {
public:
    // The driver decides what a COM name opens and where the links live.
    SerialCatalogue(const SerialDriver& driver, SerialDeviceSource& source);

    void useSource(SerialDeviceSource& source) { this->source = &source; }

    // Sorted by path.
    std::vector<SerialDevice> devices() const;
    // `port` 1..8.
    ComTarget comTarget(int port) const;
    // The one USB serial adapter plugged in, if there is exactly one.
    std::optional<SerialDevice> soleUsbAdapter() const;

    // Points com<port> at the device (its by-id name where it has one),
    // replacing an older link; false with `error` set when that fails.
    bool assign(int port, const SerialDevice& device, std::string& error);
    // Writes com<port> as a file whose one line is the network address
    // `url` (rfc2217://HOST:PORT or socket://HOST:PORT), replacing a link or
    // an older address; false with `error` set for a malformed address or
    // when writing fails.
    bool assignNetwork(int port, const std::string& url, std::string& error);
    // Removes com<port>, so the COM number opens /dev/ttyS<port-1> again.
    bool unassign(int port, std::string& error);

private:
    std::string linkFor(int port) const;

    const SerialDriver& driver;
    SerialDeviceSource* source;
};

}  // namespace travin
