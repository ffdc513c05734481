// The socket calls on Winsock. SOCKET values are kernel handles, which fit
// in an int as the driver's port handles do.
#include "link/NetSocket.h"

#include <cerrno>
#include <chrono>
#include <cstdint>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include "link/NetSocketPlatform.h"
#include "link/PortFailure.h"

namespace travin::net {

namespace {

SOCKET toSocket(int s) { return static_cast<SOCKET>(static_cast<std::uintptr_t>(static_cast<unsigned>(s))); }

// Winsock's numbers told as the errno values the failure mapping reads.
int errnoFor(int wsa) {
    switch (wsa) {
        case WSAECONNREFUSED: return ECONNREFUSED;
        case WSAETIMEDOUT: return ETIMEDOUT;
        case WSAECONNRESET: return ECONNRESET;
        case WSAECONNABORTED: return ECONNABORTED;
        case WSAEHOSTUNREACH: return EHOSTUNREACH;
        case WSAENETUNREACH: return ENETUNREACH;
        case WSAEACCES: return EACCES;
        default: return EIO;
    }
}

// Winsock is started once for the life of the program.
bool started() {
    static const bool ok = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ok;
}

}  // namespace

namespace platform {

int lookUp(const std::string& host, const std::string& service, addrinfo*& found, bool numericOnly) {
    if (!started()) return EIO;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | (numericOnly ? AI_NUMERICHOST : 0);
    return ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) == 0 ? 0 : kErrorHostNotFound;
}

const addrinfo* nextAddress(const addrinfo& address) { return address.ai_next; }

void release(addrinfo* found) { ::freeaddrinfo(found); }

int awaitConnect(int handle, Clock::time_point deadline, int& error, int& stillTrying) {
    const SOCKET s = toSocket(handle);
    // select, not WSAPoll: older WSAPoll does not report a refused connect.
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval wait{static_cast<long>(left > 0 ? left / 1000000 : 0), static_cast<long>(left > 0 ? left % 1000000 : 0)};
    const int ready = ::select(0, nullptr, &writable, &failed, &wait);
    if (ready == 1 && FD_ISSET(s, &writable)) return static_cast<int>(s);
    if (ready == 0) {
        error = ETIMEDOUT;
        stillTrying = static_cast<int>(s);
        return kNoSocket;
    }
    int soError = 0;
    int length = sizeof soError;
    ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length);
    error = errnoFor(soError != 0 ? soError : WSAGetLastError());
    ::closesocket(s);
    return kNoSocket;
}

int connectOne(const addrinfo& address, Clock::time_point deadline, int& error, int& stillTrying) {
    const SOCKET s = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (s == INVALID_SOCKET) {
        error = errnoFor(WSAGetLastError());
        return kNoSocket;
    }
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    const BOOL one = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    if (::connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) return static_cast<int>(s);
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
        error = errnoFor(WSAGetLastError());
        ::closesocket(s);
        return kNoSocket;
    }
    return awaitConnect(static_cast<int>(s), deadline, error, stillTrying);
}

}  // namespace platform

long sendSome(int socket, const std::uint8_t* bytes, std::size_t count) {
    const int n = ::send(toSocket(socket), reinterpret_cast<const char*>(bytes), static_cast<int>(count), 0);
    if (n >= 0) return n;
    return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

Received receiveSome(int socket, std::uint8_t* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    const int n = ::recv(toSocket(socket), reinterpret_cast<char*>(buffer), static_cast<int>(size), 0);
    if (n > 0) {
        got = static_cast<std::size_t>(n);
        return Received::Bytes;
    }
    if (n == 0) return Received::Closed;
    return WSAGetLastError() == WSAEWOULDBLOCK ? Received::Nothing : Received::Failed;
}

Ready waitFor(int socket, bool forWriting, int milliseconds) {
    WSAPOLLFD entry{};
    entry.fd = toSocket(socket);
    entry.events = forWriting ? POLLWRNORM : POLLRDNORM;
    const int ready = ::WSAPoll(&entry, 1, milliseconds);
    if (ready == 0) return Ready::TimedOut;
    if (ready < 0) return Ready::Failed;
    // A closed connection reads as readable (the read then says so).
    if (entry.revents & (POLLERR | POLLNVAL)) return Ready::Broken;
    return Ready::Yes;
}

void closeSocket(int socket) {
    if (socket >= 0) ::closesocket(toSocket(socket));
}

}  // namespace travin::net
