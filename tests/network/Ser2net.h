// A real ser2net in front of a serial device, for tests: its configuration
// is written to a temporary folder (telnet with the COM-PORT option on
// 127.0.0.1 and a port the system says is free, the device at 19200n81),
// and it runs in the foreground as a child process until stopped.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace travin::testing {

class Ser2net {
public:
    // The ser2net executable, or "" where it is not installed.
    static std::string executable() {
        for (const char* candidate : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"}) {
            if (::access(candidate, X_OK) == 0) return candidate;
        }
        return {};
    }

    // A TCP port on 127.0.0.1 that nothing listens on now.
    static int freePort() {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        int port = 0;
        if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port = ntohs(address.sin_port);
        }
        ::close(s);
        return port;
    }

    Ser2net(const std::filesystem::path& folder, const std::string& device, int port = freePort())
        : folder(folder), tcpPort(port) {
        std::ofstream(folder / ("ser2net-" + std::to_string(port) + ".yaml"))
            << "connection: &board\n"
            << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << port << "\n"
            << "  connector: serialdev," << device << ",19200n81,local\n";
    }
    ~Ser2net() { stop(); }
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    int port() const { return tcpPort; }
    std::string url() const { return "rfc2217://127.0.0.1:" + std::to_string(tcpPort); }

    // Starts it and waits until it listens (at most 10 s); false when it
    // does not.
    bool start() {
        const std::string config = (folder / ("ser2net-" + std::to_string(tcpPort) + ".yaml")).string();
        const std::string pidFile = (folder / ("ser2net-" + std::to_string(tcpPort) + ".pid")).string();
        const std::string log = (folder / ("ser2net-" + std::to_string(tcpPort) + ".log")).string();
        const std::string program = executable();
        pid = ::fork();
        if (pid == 0) {
            std::freopen(log.c_str(), "a", stdout);
            std::freopen(log.c_str(), "a", stderr);
            ::execl(program.c_str(), program.c_str(), "-n", "-u", "-c", config.c_str(), "-P", pidFile.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (listening()) return true;
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    void stop() {
        if (pid <= 0) return;
        ::kill(pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid = -1;
    }

private:
    // Listening on 127.0.0.1:port, by the kernel's table, without a
    // connection that ser2net would serve.
    bool listening() const {
        std::ifstream table("/proc/net/tcp");
        char wanted[32];
        std::snprintf(wanted, sizeof wanted, "0100007F:%04X", tcpPort);
        std::string line;
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            if (local == wanted && state == "0A") return true;
        }
        return false;
    }

    std::filesystem::path folder;
    int tcpPort;
    pid_t pid = -1;
};

}  // namespace travin::testing
