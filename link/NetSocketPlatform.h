// The platform calls the connect sequence (NetSocketConnect.cpp) is made
// of; the POSIX and the Winsock socket halves each provide them. Sockets
// are ints and errors errno values, as in link/NetSocket.h.
//
//   lookUp / nextAddress / release   the addresses a name has, in order
//   connectOne                       one address, non-blocking, TCP_NODELAY
//   awaitConnect                     a handshake under way, up to a deadline
#pragma once

#include <chrono>
#include <string>

struct addrinfo;

namespace travin::net::platform {

using Clock = std::chrono::steady_clock;

// The addresses `host` has for the numeric `service`, asked of the system's
// resolver on this thread (it may take long: see link/NetNameLookup.h): 0
// with `found` set (give it back with release()), or the error: an errno
// value, or kErrorHostNotFound when the name has none. `numericOnly`: only
// an address written out is taken, at once, without a name server.
int lookUp(const std::string& host, const std::string& service, addrinfo*& found, bool numericOnly);
const addrinfo* nextAddress(const addrinfo& address);
void release(addrinfo* found);

// A connect to `address` within what is left of the time: the socket, or
// kNoSocket with `error` set; when the time runs out first, the socket is
// left open in `stillTrying`.
int connectOne(const addrinfo& address, Clock::time_point deadline, int& error, int& stillTrying);
// The handshake of `socket` within what is left of the time, the same way;
// the socket is closed when it fails.
int awaitConnect(int socket, Clock::time_point deadline, int& error, int& stillTrying);

}  // namespace travin::net::platform
