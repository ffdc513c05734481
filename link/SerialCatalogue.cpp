#include "link/SerialCatalogue.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/FilePath.h"
#include "link/NetPortName.h"
#include "link/SerialDriver.h"

namespace travin {

namespace fs = std::filesystem;

namespace {

constexpr int kPorts = 8;

// The device a path finally names, or "" when it names nothing.
std::string resolved(const std::string& path) {
    std::error_code ec;
    const fs::path real = fs::canonical(filePath(path), ec);
    return ec ? std::string() : pathText(real);
}

bool isLink(const std::string& path) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(filePath(path), ec));
}

}  // namespace

std::string SerialDevice::usbIds() const {
    if (!isUsb()) return {};
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", vendorId & 0xFFFF, productId & 0xFFFF);
    return ids;
}

std::string comLinkFolder(const std::string& executableFolder) { return executableFolder; }

std::string ComTarget::text() const {
    switch (kind) {
        case Kind::Link:
            return target.empty() ? path : target;
        case Kind::LinkNowhere:
            return target + " (not there)";
        case Kind::BuiltIn:
            return path;
        case Kind::BuiltInEmpty:
            return path + " (no serial hardware)";
        case Kind::Network:
            return target + " (network)";
        case Kind::Nothing:
            break;
    }
    return "nothing there";
}

SerialCatalogue::SerialCatalogue(const SerialDriver& serialDriver, SerialDeviceSource& deviceSource)
    : driver(serialDriver), source(&deviceSource) {}

std::string SerialCatalogue::linkFor(int port) const {
    return driver.linkFolder() + "com" + std::to_string(port);
}

std::vector<SerialDevice> SerialCatalogue::devices() const {
    std::vector<SerialDevice> all = source->listDevices();
    std::vector<std::string> known;
    for (const SerialDevice& d : all) known.push_back(resolved(d.path));
    // A virtual board's pseudo-terminal is no device the system lists; its
    // com<n> link is how it is found.
    for (int port = 1; port <= kPorts; ++port) {
        const std::string link = linkFor(port);
        if (!isLink(link)) continue;
        const std::string target = resolved(link);
        if (target.empty() || std::find(known.begin(), known.end(), target) != known.end()) continue;
        SerialDevice pty;
        pty.path = target;
        pty.description = target.rfind("/dev/pts/", 0) == 0 ? "pseudo-terminal" : "";
        pty.comLink = "com" + std::to_string(port);
        all.push_back(pty);
        known.push_back(target);
    }
    std::stable_sort(all.begin(), all.end(),
                     [](const SerialDevice& a, const SerialDevice& b) { return a.path < b.path; });
    return all;
}

ComTarget SerialCatalogue::comTarget(int port) const {
    ComTarget t;
    t.path = driver.devicePath("COM" + std::to_string(port));
    const fs::path device = filePath(t.path);
    std::error_code ec;
    if (const std::string url = driver.networkAddress("COM" + std::to_string(port)); !url.empty()) {
        t.kind = ComTarget::Kind::Network;
        t.target = url;
        return t;
    }
    if (t.path == linkFor(port)) {
        if (fs::is_symlink(fs::symlink_status(device, ec))) t.target = pathText(fs::read_symlink(device, ec));
        t.kind = fs::exists(device, ec) ? ComTarget::Kind::Link : ComTarget::Kind::LinkNowhere;
    } else {
        t.kind = fs::exists(device, ec) ? ComTarget::Kind::BuiltIn : ComTarget::Kind::Nothing;
        if (t.kind == ComTarget::Kind::BuiltIn && source->knowsBuiltInHardware()) {
            const std::string real = resolved(t.path);
            bool listed = false;
            for (const SerialDevice& d : source->listDevices()) listed = listed || resolved(d.path) == real;
            if (!listed) t.kind = ComTarget::Kind::BuiltInEmpty;
        }
    }
    return t;
}

std::optional<SerialDevice> SerialCatalogue::soleUsbAdapter() const {
    std::optional<SerialDevice> found;
    for (const SerialDevice& d : source->listDevices()) {
        if (!d.isUsb()) continue;
        if (found) return std::nullopt;
        found = d;
    }
    return found;
}

bool SerialCatalogue::assign(int port, const SerialDevice& device, std::string& error) {
    if (port < 1 || port > kPorts || device.linkPath().empty()) {
        error = "no such port or device";
        return false;
    }
    // Written beside the old link and renamed over it, so the COM number
    // never names nothing in between.
    const std::string link = linkFor(port);
    const std::string fresh = link + ".new";
    std::error_code ec;
    fs::remove(fresh, ec);
    fs::create_symlink(device.linkPath(), fresh, ec);
    if (!ec) fs::rename(fresh, link, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(fresh, ignored);
        error = link + ": " + ec.message();
        return false;
    }
    return true;
}

bool SerialCatalogue::assignNetwork(int port, const std::string& url, std::string& error) {
    if (port < 1 || port > kPorts) {
        error = "no such port";
        return false;
    }
    if (!parseNetPortName(url)) {
        error = "not a network port: " + url + " (rfc2217://HOST:PORT or socket://HOST:PORT)";
        return false;
    }
    // Written beside the old entry and renamed over it, as a link is.
    const std::string entry = linkFor(port);
    const std::string fresh = entry + ".new";
    std::error_code ec;
    fs::remove(filePath(fresh), ec);
    {
        std::ofstream out(filePath(fresh), std::ios::binary | std::ios::trunc);
        out << url << "\n";
        if (!out.flush()) ec = std::make_error_code(std::errc::io_error);
    }
    if (!ec) fs::rename(filePath(fresh), filePath(entry), ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(filePath(fresh), ignored);
        error = entry + ": " + ec.message();
        return false;
    }
    return true;
}

bool SerialCatalogue::unassign(int port, std::string& error) {
    if (port < 1 || port > kPorts) {
        error = "no such port";
        return false;
    }
    const std::string link = linkFor(port);
    std::error_code ec;
    fs::remove(link, ec);
    if (ec) {
        error = link + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace travin
