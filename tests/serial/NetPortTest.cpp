// The network half of the serial driver against small servers on the
// loopback address that play a serial server's part byte for byte: one that
// serves the COM-PORT option as ser2net does, one that refuses it, one that
// stays silent, one that drops the connection, and a raw bridge. The tests
// drive the driver through the same calls the link makes on a local port.
#include "link/PortFailure.h"
#include "link/NetNameLookup.h"
#include "link/SerialDriver.h"
#include "link/TelnetCodec.h"
#include "tests/support/TestFolder.h"

#include <gtest/gtest.h>

#include <netdb.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace travin {
namespace {

using namespace telnet;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

enum class Serves { ComPort, RefusesComPort, Silent, DropsAtOnce, WrongRate, Raw };

// One client at a time on 127.0.0.1, on a port the system picks.
class FakeServer {
public:
    explicit FakeServer(Serves how) : how(how) {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof address;
        if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener, 4) != 0 ||
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port = ntohs(address.sin_port);
        worker = std::thread([this] { serve(); });
    }
    ~FakeServer() {
        stopping = true;
        if (worker.joinable()) worker.join();
        if (client >= 0) ::close(client);
        ::close(listener);
    }

    std::string url(const char* scheme = "rfc2217://") const {
        return scheme + std::string("127.0.0.1:") + std::to_string(port);
    }

    // Sends bytes to the client as they are (Telnet framing is the test's).
    void send(const Bytes& bytes) {
        std::lock_guard lock(mutex);
        if (client >= 0) (void)!::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    void drop() {
        std::lock_guard lock(mutex);
        if (client >= 0) ::shutdown(client, SHUT_RDWR);
    }
    // The board's bytes the client sent, Telnet taken out.
    Bytes data() {
        std::lock_guard lock(mutex);
        return received;
    }
    std::vector<Command> commands() {
        std::lock_guard lock(mutex);
        return subnegotiations;
    }
    bool connected() {
        std::lock_guard lock(mutex);
        return client >= 0;
    }

    int port = 0;

private:
    void serve() {
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        int accepted = -1;
        while (!stopping && Clock::now() < deadline && accepted < 0) {
            pollfd entry{listener, POLLIN, 0};
            if (::poll(&entry, 1, 20) == 1) accepted = ::accept(listener, nullptr, nullptr);
        }
        if (accepted < 0) return;
        {
            std::lock_guard lock(mutex);
            client = accepted;
        }
        if (how == Serves::DropsAtOnce) {
            drop();
            return;
        }
        if (how == Serves::ComPort || how == Serves::WrongRate) {
            // ser2net's opening, as seen on this machine.
            send({IAC, WILL, kSuppressGoAhead, IAC, DO, kSuppressGoAhead, IAC, WILL, kEcho, IAC, DONT, kEcho, IAC, DO,
                  kBinary, IAC, WILL, kBinary, IAC, DO, kComPort});
        }
        if (how == Serves::RefusesComPort) send({IAC, DONT, kComPort, IAC, WILL, kBinary});
        TelnetDecoder decoder;
        while (!stopping && Clock::now() < deadline) {
            pollfd entry{accepted, POLLIN, 0};
            if (::poll(&entry, 1, 20) != 1) continue;
            std::uint8_t buffer[4096];
            const ssize_t n = ::recv(accepted, buffer, sizeof buffer, 0);
            if (n <= 0) return;
            std::lock_guard lock(mutex);
            if (how == Serves::Raw || how == Serves::Silent) {
                received.insert(received.end(), buffer, buffer + n);
                continue;
            }
            std::vector<Command> commands;
            decoder.feed(buffer, static_cast<std::size_t>(n), received, commands);
            for (const Command& c : commands) {
                if (c.kind != Command::Kind::Subnegotiation || c.option != kComPort || c.body.empty()) continue;
                subnegotiations.push_back(c);
                // Every setting is confirmed with the value applied; the
                // wrong-rate server applies 9600 whatever is asked.
                Bytes body = c.body;
                body[0] = static_cast<std::uint8_t>(body[0] + comport::kServerReply);
                if (how == Serves::WrongRate && c.body[0] == comport::SetBaudRate) body = {101, 0, 0, 0x25, 0x80};
                const Bytes reply = comPortCommand(body[0], Bytes(body.begin() + 1, body.end()));
                (void)!::send(accepted, reply.data(), reply.size(), MSG_NOSIGNAL);
            }
        }
    }

    const Serves how;
    int listener = -1;
    int client = -1;
    std::thread worker;
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    Bytes received;
    std::vector<Command> subnegotiations;
};

template <typename Pred>
bool eventually(Pred pred, milliseconds limit = milliseconds(3000)) {
    const auto end = Clock::now() + limit;
    while (!pred()) {
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(milliseconds(2));
    }
    return true;
}

std::uint32_t rateOf(const Command& c) {
    return static_cast<std::uint32_t>(c.body[1]) << 24 | static_cast<std::uint32_t>(c.body[2]) << 16 |
           static_cast<std::uint32_t>(c.body[3]) << 8 | c.body[4];
}

class NetPort : public ::testing::Test {
protected:
    void TearDown() override {
        for (int h : opened) driver.SioClose(h);
    }
    int open(const std::string& name, int baud = 19200) {
        const int h = driver.SioOpenDevice(name, baud);
        if (h >= 0) opened.push_back(h);
        return h;
    }
    // Everything that waits, read the way the link reads it.
    Bytes readWaiting(int handle) {
        Bytes got;
        const int waiting = driver.SioTest(handle);
        if (waiting <= 0) return got;
        got.resize(static_cast<std::size_t>(waiting));
        got.resize(static_cast<std::size_t>(driver.SioGetChars(handle, got.data(), waiting)));
        return got;
    }

    std::vector<std::string> notices;
    SerialDriver driver{[this](const std::string& t) { notices.push_back(t); }, "/tmp/"};
    std::vector<int> opened;
};

TEST_F(NetPort, OpensWithTheLinksLineSettingsAndChangesTheRateOnlyWhenTheServerConfirms) {
    FakeServer server(Serves::ComPort);
    const int h = open(server.url());
    ASSERT_GE(h, 0) << describeOpenFailure(driver.lastOpenFailure());
    // 8 data bits, no parity, one stop bit, no flow control, DTR and RTS
    // off, then the rate: all sent before the open returns.
    std::vector<Bytes> settings;
    for (const Command& c : server.commands()) settings.push_back(c.body);
    ASSERT_EQ(settings.size(), 7u);
    EXPECT_EQ(settings[0], (Bytes{comport::SetDataSize, 8}));
    EXPECT_EQ(settings[1], (Bytes{comport::SetParity, comport::kParityNone}));
    EXPECT_EQ(settings[2], (Bytes{comport::SetStopSize, comport::kOneStopBit}));
    EXPECT_EQ(settings[3], (Bytes{comport::SetControl, comport::kNoFlowControl}));
    EXPECT_EQ(settings[4], (Bytes{comport::SetControl, comport::kDtrOff}));
    EXPECT_EQ(settings[5], (Bytes{comport::SetControl, comport::kRtsOff}));
    EXPECT_EQ(rateOf(server.commands()[6]), 19200u);

    EXPECT_EQ(driver.SioBaud(h, 115200), 1);
    ASSERT_EQ(server.commands().size(), 8u) << "the confirmation came back before SioBaud returned";
    EXPECT_EQ(rateOf(server.commands()[7]), 115200u);
    EXPECT_EQ(driver.SioBaud(h, 12345), 0);
    EXPECT_EQ(notices, std::vector<std::string>{"Baud rate not supported"});
    EXPECT_EQ(server.commands().size(), 8u) << "an unsupported rate is never sent";
}

TEST_F(NetPort, ARateTheServerDidNotApplyFailsTheChange) {
    FakeServer server(Serves::WrongRate);
    // The open asks for 19200 and gets 9600 confirmed: no port.
    EXPECT_EQ(open(server.url()), -1);
    EXPECT_EQ(driver.lastOpenFailure().port, server.url());
    EXPECT_EQ(driver.lastOpenFailure().error, EINVAL);
    EXPECT_EQ(notices, std::vector<std::string>{"Failed to set COMM configuration"});
}

TEST_F(NetPort, TheBoardsBytesCrossBothWaysWith255DoubledAndNotifyTakenOut) {
    FakeServer server(Serves::ComPort);
    const int h = open(server.url());
    ASSERT_GE(h, 0) << describeOpenFailure(driver.lastOpenFailure());

    const Bytes frame{0xAA, 0x05, 0x02, 0xFF, 0x00, 0x06};
    ASSERT_EQ(driver.SioPutChars(h, frame.data(), static_cast<int>(frame.size())), 1);
    ASSERT_TRUE(eventually([&] { return server.data().size() >= frame.size(); }));
    EXPECT_EQ(server.data(), frame) << "the server decoded exactly the frame";

    // A reply with a 255 in it and a modem-state notice in its middle.
    server.send({0x40, IAC, IAC, IAC, SB, kComPort, 107, 0x30, IAC, SE, 0x3F});
    EXPECT_EQ(driver.SioWaitReadable(h, 3000), SerialDriver::Wait::Readable);
    ASSERT_TRUE(eventually([&] { return driver.SioTest(h) == 3; })) << "only the data bytes are counted";
    std::uint8_t reply[8] = {};
    EXPECT_EQ(driver.SioGetChars(h, reply, 3), 3);
    EXPECT_EQ(Bytes(reply, reply + 3), (Bytes{0x40, 0xFF, 0x3F}));
    EXPECT_EQ(driver.SioTest(h), 0);
}

TEST_F(NetPort, WaitingSleepsThroughTelnetCommandsAndKeepsItsTime) {
    FakeServer server(Serves::ComPort);
    const int h = open(server.url());
    ASSERT_GE(h, 0) << describeOpenFailure(driver.lastOpenFailure());
    // A notice alone wakes the socket but is no byte for the caller.
    server.send({IAC, SB, kComPort, 106, 0x60, IAC, SE});
    const auto start = Clock::now();
    EXPECT_EQ(driver.SioWaitReadable(h, 300), SerialDriver::Wait::TimedOut);
    const auto waited = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
    EXPECT_GE(waited, 290);
    EXPECT_LT(waited, 3000);
    EXPECT_EQ(driver.SioTest(h), 0);

    // A read of more than came returns at its time-out with what came.
    server.send({0x11});
    std::uint8_t bytes[4] = {};
    EXPECT_EQ(driver.SioGetChars(h, bytes, 4), 1);
    EXPECT_EQ(bytes[0], 0x11);
}

TEST_F(NetPort, APurgeDropsWhatWaitsAndAsksTheServerToDropWhatItHolds) {
    FakeServer server(Serves::ComPort);
    const int h = open(server.url());
    ASSERT_GE(h, 0) << describeOpenFailure(driver.lastOpenFailure());
    server.send({0x01, 0x02});
    ASSERT_TRUE(eventually([&] { return driver.SioTest(h) == 2; }));
    driver.SioPurge(h);
    EXPECT_EQ(driver.SioTest(h), 0);
    ASSERT_TRUE(eventually([&] { return server.commands().size() == 8; }));
    EXPECT_EQ(server.commands().back().body, (Bytes{comport::PurgeData, comport::kPurgeReceive}));
    // The server's confirmation came back; what it sends after it counts.
    std::this_thread::sleep_for(milliseconds(50));
    server.send({0x33});
    ASSERT_TRUE(eventually([&] { return driver.SioTest(h) == 1; }));
    EXPECT_EQ(readWaiting(h), Bytes{0x33});
}

TEST_F(NetPort, ADroppedConnectionIsAHangUpAfterTheBytesBeforeIt) {
    FakeServer server(Serves::ComPort);
    const int h = open(server.url());
    ASSERT_GE(h, 0) << describeOpenFailure(driver.lastOpenFailure());
    server.send({0x21, 0x22});
    ASSERT_TRUE(eventually([&] { return driver.SioTest(h) == 2; }));
    server.drop();
    EXPECT_EQ(readWaiting(h), (Bytes{0x21, 0x22}));
    ASSERT_TRUE(eventually([&] { return driver.SioTest(h) == -1; }));
    EXPECT_EQ(driver.SioWaitReadable(h, 1000), SerialDriver::Wait::LineBroken);
    const std::uint8_t sync = 0xAA;
    EXPECT_EQ(driver.SioPutChars(h, &sync, 1), 0);
    EXPECT_EQ(driver.SioBaud(h, 115200), 0);
}

struct FailureRow {
    const char* name;
    Serves how;
    PortFault fault;
    const char* words;
};

std::ostream& operator<<(std::ostream& os, const FailureRow& r) { return os << r.name; }

class NetOpenFailure : public NetPort, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(NetOpenFailure, NamesTheCause) {
    FakeServer server(GetParam().how);
    const auto start = Clock::now();
    EXPECT_EQ(open(server.url()), -1);
    const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
    EXPECT_LT(took, 10000) << "an open is bounded";
    const OpenFailure& failure = driver.lastOpenFailure();
    EXPECT_EQ(portFaultFor(failure.error, false), GetParam().fault);
    const std::string text = describeOpenFailure(failure);
    EXPECT_EQ(text.rfind(server.url() + ": ", 0), 0u) << text;
    EXPECT_NE(text.find(GetParam().words), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Servers, NetOpenFailure,
    ::testing::Values(
        FailureRow{"refuses COM-PORT", Serves::RefusesComPort, PortFault::ComPortRefused,
                   "the server refused the COM-PORT option: the port is served raw and speed changes will not reach "
                   "the board"},
        FailureRow{"stays silent", Serves::Silent, PortFault::NoAnswer, "did not answer the COM-PORT request within"},
        FailureRow{"drops at once", Serves::DropsAtOnce, PortFault::ConnectionDropped, "the connection dropped"}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (c == ' ' || c == '-') c = '_';
        return name;
    });

TEST_F(NetPort, NothingListeningIsARefusedConnection) {
    int port = 0;
    {
        // A port that was free a moment ago, closed again.
        FakeServer gone(Serves::Raw);
        port = gone.port;
    }
    EXPECT_EQ(open("rfc2217://127.0.0.1:" + std::to_string(port)), -1);
    EXPECT_EQ(portFaultFor(driver.lastOpenFailure().error, false), PortFault::ConnectionRefused);
    EXPECT_EQ(open("rfc2217://127.0.0.1"), -1);
    EXPECT_EQ(portFaultFor(driver.lastOpenFailure().error, false), PortFault::BadAddress);
    EXPECT_EQ(open("socket://no-such-host.invalid:3001"), -1);
    EXPECT_EQ(portFaultFor(driver.lastOpenFailure().error, false), PortFault::HostNotFound);
}

// A name server that does not answer holds no open past its deadline (the
// window's thread opens): the first open gives up after its two seconds
// and says why, later ones wait a moment for the same lookup, and once the
// name server answers the next open connects with its answer.
std::atomic<int> lookupsAsked{0};
std::atomic<bool> nameServerAnswers{false};

int slowNameServer(const std::string&, const std::string& service, addrinfo*& found) {
    ++lookupsAsked;
    while (!nameServerAnswers) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    return ::getaddrinfo("127.0.0.1", service.c_str(), &hints, &found) == 0 ? 0 : kErrorHostNotFound;
}

TEST_F(NetPort, ASlowNameServerHoldsTheOpenOnlyUntilItsDeadlineAndItsAnswerIsTakenUpLater) {
    FakeServer server(Serves::ComPort);
    net::setNameLookup(slowNameServer);
    lookupsAsked = 0;
    nameServerAnswers = false;
    const std::string url = "rfc2217://board-host.example:" + std::to_string(server.port);
    auto timedOpen = [&](int& waitedMs) {
        const auto start = std::chrono::steady_clock::now();
        const int h = open(url);
        waitedMs = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
        return h;
    };
    int waited = 0;
    EXPECT_EQ(timedOpen(waited), -1);
    EXPECT_GE(waited, 1500);
    EXPECT_LT(waited, 4000) << "the open waited for the name server";
    EXPECT_NE(describeOpenFailure(driver.lastOpenFailure()).find(": the host name was not resolved within "),
              std::string::npos)
        << describeOpenFailure(driver.lastOpenFailure());
    EXPECT_EQ(portFaultFor(driver.lastOpenFailure().error, false), PortFault::NoAnswer);

    EXPECT_EQ(timedOpen(waited), -1);
    EXPECT_LT(waited, 1500) << "a later open waits only a moment";
    EXPECT_EQ(lookupsAsked, 1) << "the same lookup is taken up, not another started";

    nameServerAnswers = true;
    const int h = timedOpen(waited);
    EXPECT_GE(h, 0) << describeOpenFailure(driver.lastOpenFailure());
    EXPECT_EQ(lookupsAsked, 1);
    net::setNameLookup(nullptr);
}

// A host that takes no more connections drops the handshake, as a host
// that is off or behind a firewall does: the first open gives up at its
// deadline and says how long it waited; later opens take the handshake up
// again for a moment only (the workbench retries on its window's thread),
// and it completes once the host answers.
TEST_F(NetPort, AHostThatDoesNotAnswerIsGivenUpAfterTwoSecondsThenRetriedBriefly) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string url = "socket://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    // Fill the queue of connections nobody accepts.
    std::vector<int> waiting;
    for (int i = 0; i < 4; ++i) {
        const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        (void)::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        waiting.push_back(s);
    }
    std::this_thread::sleep_for(milliseconds(100));
    auto timedOpen = [&](long long& took) {
        const auto start = Clock::now();
        const int h = open(url);
        took = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
        return h;
    };
    long long took = 0;
    EXPECT_EQ(timedOpen(took), -1);
    const OpenFailure first = driver.lastOpenFailure();
    if (portFaultFor(first.error, false) != PortFault::NoAnswer) {
        for (int s : waiting) ::close(s);
        ::close(listener);
        GTEST_SKIP() << "this system answers a full queue (" << describeOpenFailure(first) << ")";
    }
    EXPECT_GE(took, 1900);
    EXPECT_LT(took, 5000);
    EXPECT_GE(first.waitedMs, 1900);
    EXPECT_NE(describeOpenFailure(first).find("no answer from the host within " + std::to_string(first.waitedMs) +
                                              " ms"),
              std::string::npos)
        << describeOpenFailure(first);

    EXPECT_EQ(timedOpen(took), -1);
    EXPECT_LT(took, 1500) << "a retry waits briefly";
    EXPECT_EQ(portFaultFor(driver.lastOpenFailure().error, false), PortFault::NoAnswer);
    EXPECT_GT(driver.lastOpenFailure().waitedMs, first.waitedMs) << "the silence counts from the first try";

    // The host takes connections again: a later open gets through.
    for (int s : waiting) ::close(s);
    waiting.clear();
    for (int i = 0; i < 8; ++i) {
        pollfd entry{listener, POLLIN, 0};
        if (::poll(&entry, 1, 0) != 1) break;
        const int s = ::accept(listener, nullptr, nullptr);
        if (s >= 0) ::close(s);
    }
    int handle = -1;
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (handle < 0 && Clock::now() < deadline) {
        handle = timedOpen(took);
        EXPECT_LT(took, 1500);
        if (handle < 0) std::this_thread::sleep_for(milliseconds(200));
    }
    EXPECT_GE(handle, 0) << describeOpenFailure(driver.lastOpenFailure());
    ::close(listener);
}

TEST_F(NetPort, ARawBridgeCarriesEveryByteAsItIsAndLeavesTheRateAlone) {
    FakeServer server(Serves::Raw);
    const int h = open(server.url("socket://"));
    ASSERT_GE(h, 0) << describeOpenFailure(driver.lastOpenFailure());
    const Bytes frame{0xAA, 0xFF, 0x00};
    ASSERT_EQ(driver.SioPutChars(h, frame.data(), 3), 1);
    ASSERT_TRUE(eventually([&] { return server.data().size() >= 3; }));
    EXPECT_EQ(server.data(), frame);
    EXPECT_EQ(driver.SioBaud(h, 115200), 1);
    server.send({IAC, 0x01, IAC});
    ASSERT_TRUE(eventually([&] { return driver.SioTest(h) == 3; }));
    EXPECT_EQ(readWaiting(h), (Bytes{0xFF, 0x01, 0xFF}));
    EXPECT_EQ(server.data(), frame) << "nothing else was sent";
}

TEST_F(NetPort, AComNumberGivenANetworkPortOpensItAndFollowsItsEntry) {
    const auto folder = travin::testing::freshTestFolder("netport");
    SerialDriver comDriver(nullptr, folder.string() + "/");
    FakeServer server(Serves::ComPort);
    travin::testing::writeBytes(folder / "com5", server.url() + "\n");
    EXPECT_EQ(comDriver.networkAddress("COM5"), server.url());
    EXPECT_EQ(comDriver.networkAddress("COM6"), "");
    const int h = comDriver.SioOpen("COM5", 19200);
    ASSERT_GE(h, 0) << describeOpenFailure(comDriver.lastOpenFailure());
    EXPECT_FALSE(comDriver.SioNameMoved(h, "COM5"));
    travin::testing::writeBytes(folder / "com5", "rfc2217://127.0.0.1:1\n");
    EXPECT_TRUE(comDriver.SioNameMoved(h, "COM5")) << "the entry names another port now";
    comDriver.SioClose(h);

    // A failure names the COM number, its entry and the address.
    EXPECT_EQ(comDriver.SioOpen("COM5", 19200), -1);
    const std::string text = describeOpenFailure(comDriver.lastOpenFailure());
    EXPECT_EQ(text, "COM5: " + (folder / "com5").string() +
                        " -> rfc2217://127.0.0.1:1: connection refused (is the serial server running, and is this "
                        "its port?)");
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace travin
