// The network half of the serial driver: a serial port served over TCP,
// either with Telnet and the COM-PORT option (rfc2217://, as ser2net serves
// it) or as raw bytes (socket://). The handle is the connection's socket.
//
// The calls keep the local port's promises: SioTest counts the board's
// bytes that wait (Telnet commands are taken out first, so they are never
// counted or read as data), SioWaitReadable sleeps on the socket until a
// data byte comes, and transfers keep the time-out of 10 ms per byte plus
// 100 ms. A connection the server closes or resets is the network's
// hang-up: SioWaitReadable reports LineBroken and SioTest -1 once the bytes
// that came before it are read.
//
// Speed: over rfc2217:// SioBaud sends SET-BAUDRATE and returns only when
// the server confirms the rate applied to its line (or fails after
// kConfirmMs), so nothing crosses at the new rate before the far line has
// it. Over socket:// the rate is the bridge's affair; SioBaud changes
// nothing and succeeds.
#include "link/SerialDriver.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <utility>

#include "link/NetPortName.h"
#include "link/NetSocket.h"
#include "link/TelnetCodec.h"

namespace travin {

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Over a local network a connect or a Telnet answer takes milliseconds; a
// host that is off or filtered is given up after this long, which is also
// how long the workbench's port tick waits for it.
constexpr int kConnectMs = 2000;
// A host that stayed silent is waited for only this long at each later open
// (the workbench retries every two seconds, on its window's thread), while
// the system goes on with the handshake in between; after kKeepTryingMs a
// new handshake starts.
constexpr int kRetryConnectMs = 250;
constexpr int kKeepTryingMs = 20000;
constexpr int kNegotiateMs = 2000;
// The server applies a new rate and confirms it.
constexpr int kConfirmMs = 2000;
// Negotiation answers and configuration commands are a few bytes each.
constexpr int kControlSendMs = 1000;
constexpr int kDefaultRate = 19200;

int msLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(std::min<long long>(left, INT_MAX)) : 0;
}

Clock::time_point after(int ms) { return Clock::now() + std::chrono::milliseconds(ms); }

int msSince(Clock::time_point start) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

}  // namespace

class SerialDriver::Connecting {
public:
    Connecting(int socket, Clock::time_point started) : socket(socket), started(started) {}
    ~Connecting() { net::closeSocket(socket); }
    Connecting(const Connecting&) = delete;
    Connecting& operator=(const Connecting&) = delete;

    int release() { return std::exchange(socket, net::kNoSocket); }

    int socket;
    const Clock::time_point started;
};

class SerialDriver::NetPort {
public:
    NetPort(int socket, bool telnet, std::string url) : socket(socket), telnet(telnet), url(std::move(url)) {}
    ~NetPort() { net::closeSocket(socket); }
    NetPort(const NetPort&) = delete;
    NetPort& operator=(const NetPort&) = delete;

    const int socket;
    const bool telnet;
    const std::string url;

    telnet::TelnetOptions options;
    // The board's bytes, Telnet taken out, not yet read.
    std::deque<std::uint8_t> data;
    bool dropped = false;
    std::optional<std::uint32_t> confirmedBaud;

    // Takes in what the socket holds now, without waiting, and sends the
    // negotiation answers it called for; false once the connection is gone.
    bool pump();
    // The same without sending: for a send that waits for room.
    bool receive();
    // Sleeps up to `ms` for the socket to become readable and takes in what
    // came; false when the time passed with nothing.
    bool waitAndPump(int ms);
    bool sendAll(const telnet::Bytes& bytes, Clock::time_point deadline);
    // The Telnet opening, up to the server's word on COM-PORT, then the
    // line settings; 0 or the failure's error code.
    int negotiate(int baud, int& waitedMs);
    // SET-BAUDRATE and its confirmation.
    bool changeRate(std::uint32_t baud);
    // Discards the board's bytes that wait here, and asks the server to
    // discard those it holds; bytes that were on their way come before its
    // confirmation in the stream, and are discarded when it comes.
    void purge();

private:
    void take(const std::uint8_t* bytes, std::size_t count);

    telnet::TelnetDecoder decoder;
    telnet::Bytes answers;
    bool purgeAsked = false;
};

void SerialDriver::NetPort::take(const std::uint8_t* bytes, std::size_t count) {
    if (!telnet) {
        data.insert(data.end(), bytes, bytes + count);
        return;
    }
    telnet::Bytes decoded;
    std::vector<telnet::Command> commands;
    decoder.feed(bytes, count, decoded, commands);
    // Where the data of this read starts to count: after a purge's
    // confirmation, nothing before it does.
    std::size_t keepFrom = 0;
    for (const telnet::Command& c : commands) {
        if (c.kind == telnet::Command::Kind::Negotiation) {
            const telnet::Bytes answer = options.answer(c.verb, c.option);
            answers.insert(answers.end(), answer.begin(), answer.end());
            continue;
        }
        std::uint32_t baud = 0;
        if (telnet::baudRateReply(c, baud)) confirmedBaud = baud;
        if (purgeAsked && c.kind == telnet::Command::Kind::Subnegotiation && c.option == telnet::kComPort &&
            !c.body.empty() && c.body[0] == telnet::comport::kServerReply + telnet::comport::PurgeData) {
            purgeAsked = false;
            data.clear();
            keepFrom = std::min(c.at, decoded.size());
        }
        // NOTIFY-LINESTATE / NOTIFY-MODEMSTATE and the confirmations of the
        // other settings carry nothing the link acts on.
    }
    data.insert(data.end(), decoded.begin() + static_cast<std::ptrdiff_t>(keepFrom), decoded.end());
}

bool SerialDriver::NetPort::pump() {
    receive();
    if (!answers.empty() && !dropped) {
        const telnet::Bytes due = std::move(answers);
        answers.clear();
        sendAll(due, after(kControlSendMs));
    }
    return !dropped;
}

bool SerialDriver::NetPort::receive() {
    // Bounded: a server sending without pause cannot keep the caller here.
    for (int reads = 0; reads < 64 && !dropped; ++reads) {
        std::uint8_t buffer[4096];
        std::size_t got = 0;
        const net::Received r = net::receiveSome(socket, buffer, sizeof buffer, got);
        if (r == net::Received::Nothing) break;
        if (r != net::Received::Bytes) {
            dropped = true;
            break;
        }
        take(buffer, got);
    }
    return !dropped;
}

bool SerialDriver::NetPort::waitAndPump(int ms) {
    switch (net::waitFor(socket, false, ms)) {
    case net::Ready::Yes:
        pump();
        return true;
    case net::Ready::Broken:
    case net::Ready::Failed:
        pump();
        dropped = true;
        return true;
    case net::Ready::TimedOut:
        break;
    }
    return false;
}

bool SerialDriver::NetPort::sendAll(const telnet::Bytes& bytes, Clock::time_point deadline) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (dropped) return false;
        const long n = net::sendSome(socket, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            dropped = true;
            return false;
        }
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        const int wait = msLeft(deadline);
        if (wait == 0) return false;
        if (net::waitFor(socket, true, wait) != net::Ready::Yes) {
            // The server may be waiting for us to read before it reads on;
            // its answers wait for the next pump, so this never nests.
            if (!receive()) return false;
        }
    }
    return true;
}

int SerialDriver::NetPort::negotiate(int baud, int& waitedMs) {
    using namespace telnet;
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = after(kNegotiateMs);
    if (!sendAll(options.opening(), deadline)) return ECONNRESET;
    while (options.comPortPending()) {
        if (!pump()) return ECONNRESET;
        if (!options.comPortPending()) break;
        const int left = msLeft(deadline);
        if (left == 0) {
            waitedMs = msSince(start);
            return kErrorNoTelnetAnswer;
        }
        waitAndPump(left);
    }
    if (options.comPortRefused()) return kErrorComPortRefused;

    // The link's line settings: 8 data bits, no parity, one stop bit, no
    // flow control, DTR and RTS off. Only the rate's confirmation is waited
    // for; the others are answered along the way.
    Bytes settings;
    for (const Bytes& command : {comPortCommand(comport::SetDataSize, 8),
                                 comPortCommand(comport::SetParity, comport::kParityNone),
                                 comPortCommand(comport::SetStopSize, comport::kOneStopBit),
                                 comPortCommand(comport::SetControl, comport::kNoFlowControl),
                                 comPortCommand(comport::SetControl, comport::kDtrOff),
                                 comPortCommand(comport::SetControl, comport::kRtsOff)}) {
        settings.insert(settings.end(), command.begin(), command.end());
    }
    if (!sendAll(settings, after(kControlSendMs))) return ECONNRESET;
    const Clock::time_point rateAsked = Clock::now();
    if (!changeRate(static_cast<std::uint32_t>(baud))) {
        if (dropped) return ECONNRESET;
        waitedMs = msSince(rateAsked);
        return confirmedBaud ? EINVAL : kErrorNoTelnetAnswer;
    }
    return 0;
}

bool SerialDriver::NetPort::changeRate(std::uint32_t baud) {
    confirmedBaud.reset();
    if (!sendAll(telnet::setBaudRate(baud), after(kControlSendMs))) return false;
    // Data that arrives meanwhile is kept; only the confirmation ends the
    // wait.
    const Clock::time_point deadline = after(kConfirmMs);
    while (!confirmedBaud) {
        if (!pump()) return false;
        if (confirmedBaud) break;
        const int left = msLeft(deadline);
        if (left == 0) return false;
        waitAndPump(left);
    }
    return *confirmedBaud == baud;
}

void SerialDriver::NetPort::purge() {
    pump();
    data.clear();
    if (!telnet || !options.comPortAgreed() || dropped) return;
    purgeAsked = sendAll(telnet::comPortCommand(telnet::comport::PurgeData, telnet::comport::kPurgeReceive),
                         after(kControlSendMs));
}

std::string SerialDriver::networkAddress(const std::string& name) const {
    if (looksLikeNetPortName(name)) return name;
    if (name.size() != 4 || name.compare(0, 3, "COM") != 0 || name[3] < '1' || name[3] > '8') return {};
    const fs::path entry = fs::path(deviceFolder) / ("com" + name.substr(3));
    std::error_code ec;
    // A link is a device; only a plain file holds an address.
    if (!fs::is_regular_file(fs::symlink_status(entry, ec))) return {};
    // The address is short; a large file is not one.
    if (fs::file_size(entry, ec) > 1024 || ec) return {};
    std::ifstream in(entry);
    std::string line;
    std::getline(in, line);
    const auto first = line.find_first_not_of(" \t\r\n");
    const auto last = line.find_last_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    line = line.substr(first, last - first + 1);
    return looksLikeNetPortName(line) ? line : std::string{};
}

int SerialDriver::openNetwork(const std::string& name, const std::string& path, const std::string& url, int baud) {
    // The address is shown where a com<n> link shows its target.
    auto failed = [&](int error, int waitedMs) {
        openFailure = OpenFailure{name, path, path == url ? std::string{} : url, error, waitedMs};
        return kInvalidHandle;
    };
    const std::optional<NetPortName> address = parseNetPortName(url);
    if (!address) return failed(kErrorBadAddress, 0);
    if (!isSupportedRate(baud)) {
        notify("Baud rate not supported - using default of 19200");
        baud = kDefaultRate;
    }
    net::Connection connection;
    Clock::time_point started = Clock::now();
    const auto earlier = connecting.find(url);
    if (earlier != connecting.end()) {
        const std::shared_ptr<Connecting> pending = earlier->second;
        connecting.erase(earlier);
        if (msSince(pending->started) < kKeepTryingMs) {
            started = pending->started;
            connection = net::finishConnect(pending->release(), kRetryConnectMs);
        } else {
            connection = net::connectTo(address->host, address->service, kRetryConnectMs);
        }
    } else if (const auto slow = lookingUp.find(url);
               slow != lookingUp.end() && msSince(slow->second) < kKeepTryingMs) {
        // The name server was slow last time: its lookup goes on meanwhile.
        started = slow->second;
        connection = net::connectTo(address->host, address->service, kRetryConnectMs);
    } else {
        connection = net::connectTo(address->host, address->service, kConnectMs);
    }
    lookingUp.erase(url);
    if (connection.error == kErrorLookupSlow) lookingUp[url] = started;
    if (connection.stillTrying != net::kNoSocket)
        connecting[url] = std::make_shared<Connecting>(connection.stillTrying, started);
    // The host's silence counts from the first try.
    if (connection.socket == net::kNoSocket) return failed(connection.error, msSince(started));

    auto port = std::make_shared<NetPort>(connection.socket, address->telnet, url);
    if (port->telnet) {
        int waitedMs = 0;
        if (const int error = port->negotiate(baud, waitedMs); error != 0) {
            if (error == EINVAL) notify("Failed to set COMM configuration");
            return failed(error, waitedMs);
        }
    }
    netPorts[connection.socket] = port;
    openFailure = OpenFailure{};
    return connection.socket;
}

int SerialDriver::netBaud(int handle, int baud) {
    NetPort& port = *netPorts.at(handle);
    if (!isSupportedRate(baud)) {
        notify("Baud rate not supported");
        return 0;
    }
    if (!port.telnet) return port.dropped ? 0 : 1;
    return port.changeRate(static_cast<std::uint32_t>(baud)) ? 1 : 0;
}

int SerialDriver::netPutChars(int handle, const std::uint8_t* bytes, int count) {
    if (count <= 0) return 1;
    NetPort& port = *netPorts.at(handle);
    const Clock::time_point deadline = after(10 * count + 100);
    const telnet::Bytes out = port.telnet ? telnet::escapeData(bytes, static_cast<std::size_t>(count))
                                          : telnet::Bytes(bytes, bytes + count);
    if (port.sendAll(out, deadline)) return 1;
    notify("SioPutChars failed");
    return 0;
}

int SerialDriver::netGetChars(int handle, std::uint8_t* buffer, int count) {
    if (count <= 0) return 0;
    NetPort& port = *netPorts.at(handle);
    const Clock::time_point deadline = after(10 * count + 100);
    int done = 0;
    for (;;) {
        const int n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(count - done), port.data.size()));
        std::copy_n(port.data.begin(), n, buffer + done);
        port.data.erase(port.data.begin(), port.data.begin() + n);
        done += n;
        if (done == count || port.dropped) return done;
        if (!port.pump()) continue;  // hands out what came before the drop
        if (!port.data.empty()) continue;
        const int left = msLeft(deadline);
        if (left == 0) return done;
        port.waitAndPump(left);
    }
}

int SerialDriver::netTest(int handle) {
    NetPort& port = *netPorts.at(handle);
    port.pump();
    if (!port.data.empty()) return static_cast<int>(std::min<std::size_t>(port.data.size(), INT_MAX));
    return port.dropped ? -1 : 0;
}

SerialDriver::Wait SerialDriver::netWaitReadable(int handle, int milliseconds) {
    NetPort& port = *netPorts.at(handle);
    const Clock::time_point deadline = after(milliseconds);
    for (;;) {
        if (!port.data.empty()) return Wait::Readable;
        if (port.dropped) return Wait::LineBroken;
        // Telnet commands alone wake the socket but are no byte for the
        // caller: sleep on for the time left.
        if (!port.waitAndPump(msLeft(deadline))) return Wait::TimedOut;
    }
}

bool SerialDriver::netNameMoved(int handle, const std::string& name) const {
    return networkAddress(name) != netPorts.at(handle)->url;
}

void SerialDriver::netPurge(int handle) { netPorts.at(handle)->purge(); }

void SerialDriver::netClose(int handle) { netPorts.erase(handle); }

}  // namespace travin
