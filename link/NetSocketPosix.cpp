// The socket calls on POSIX.
#include "link/NetSocket.h"

#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "link/NetSocketPlatform.h"
#include "link/PortFailure.h"

namespace travin::net {

namespace platform {

int lookUp(const std::string& host, const std::string& service, addrinfo*& found, bool numericOnly) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV | (numericOnly ? AI_NUMERICHOST : 0);
    const int lookup = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (lookup == 0) return 0;
    return lookup == EAI_SYSTEM ? errno : kErrorHostNotFound;
}

const addrinfo* nextAddress(const addrinfo& address) { return address.ai_next; }

void release(addrinfo* found) { ::freeaddrinfo(found); }

int awaitConnect(int s, Clock::time_point deadline, int& error, int& stillTrying) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            error = ETIMEDOUT;
            stillTrying = s;
            return kNoSocket;
        }
        pollfd entry{s, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) {
            error = errno;
            ::close(s);
            return kNoSocket;
        }
        if (ready == 0) continue;  // the deadline check above ends it
        int soError = 0;
        socklen_t length = sizeof soError;
        if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &soError, &length) != 0) soError = errno;
        if (soError == 0) return s;
        error = soError;
        ::close(s);
        return kNoSocket;
    }
}

int connectOne(const addrinfo& address, Clock::time_point deadline, int& error, int& stillTrying) {
    const int s = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                           address.ai_protocol);
    if (s < 0) {
        error = errno;
        return kNoSocket;
    }
    const int one = 1;
    (void)::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(s, address.ai_addr, address.ai_addrlen) == 0) return s;
    if (errno != EINPROGRESS && errno != EINTR) {
        error = errno;
        ::close(s);
        return kNoSocket;
    }
    return awaitConnect(s, deadline, error, stillTrying);
}

}  // namespace platform

namespace {

using platform::Clock;

// A server that does not set TCP_NODELAY (ser2net without "nodelay") holds
// the rest of a reply back until its first part is acknowledged, and a
// delayed acknowledgement then costs each exchange some 40 ms. Linux clears
// the quick-acknowledge mode again on its own, so it is asked for after
// every read.
void acknowledgeAtOnce(int socket) {
#if defined(TCP_QUICKACK)
    const int one = 1;
    (void)::setsockopt(socket, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
#else
    (void)socket;
#endif
}

}  // namespace

long sendSome(int socket, const std::uint8_t* bytes, std::size_t count) {
    for (;;) {
        // MSG_NOSIGNAL: a connection the far side closed is an error here,
        // not a SIGPIPE that ends the program.
        const ssize_t n = ::send(socket, bytes, count, MSG_NOSIGNAL);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

Received receiveSome(int socket, std::uint8_t* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    for (;;) {
        const ssize_t n = ::recv(socket, buffer, size, 0);
        if (n > 0) {
            got = static_cast<std::size_t>(n);
            acknowledgeAtOnce(socket);
            return Received::Bytes;
        }
        if (n == 0) return Received::Closed;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return Received::Nothing;
        return Received::Failed;
    }
}

Ready waitFor(int socket, bool forWriting, int milliseconds) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd entry{socket, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
        const int ready = ::poll(&entry, 1, left > 0 ? static_cast<int>(left) : 0);
        if (ready == 0) return Ready::TimedOut;
        if (ready < 0) {
            if (errno == EINTR) continue;
            return Ready::Failed;
        }
        // A closed connection reads as readable (the read then says so);
        // only errors count as broken here, so bytes sent before the close
        // are still read.
        if (entry.revents & (POLLERR | POLLNVAL)) return Ready::Broken;
        return Ready::Yes;
    }
}

void closeSocket(int socket) {
    if (socket >= 0) ::close(socket);
}

}  // namespace travin::net
