// The few socket calls the network half of the serial driver needs, with
// one POSIX and one Winsock half chosen by the build. Sockets are carried
// as int like the driver's other handles; every socket is non-blocking with
// TCP_NODELAY (a frame is a few bytes that must not wait for more), and
// errors are told as errno values (plus the driver's own codes in
// link/PortFailure.h), so both halves report alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace travin::net {

inline constexpr int kNoSocket = -1;

struct Connection {
    int socket = kNoSocket;
    int error = 0;      // errno, or a code of link/PortFailure.h, when socket is kNoSocket
    int waitedMs = 0;   // how long the connect took or was waited for
    // When the time ran out (ETIMEDOUT) with the handshake still under way,
    // its socket: the system goes on trying, and finishConnect() takes it
    // up later. kNoSocket otherwise.
    int stillTrying = kNoSocket;
};

// Resolves `host` and connects to `service` within `timeoutMs`, trying each
// address the name has. A name server that has not answered in that time
// gives kErrorLookupSlow; its lookup goes on, and the next call for the same
// name takes up the answer.
Connection connectTo(const std::string& host, const std::string& service, int timeoutMs);
// Waits up to `timeoutMs` more for a handshake connectTo() left under way:
// the socket once it is made, or an error (ETIMEDOUT with stillTrying set
// again while it is still under way; the socket is closed otherwise).
Connection finishConnect(int stillTrying, int timeoutMs);

// Bytes sent (possibly fewer than asked), 0 when the socket takes none now,
// -1 when the connection is gone.
long sendSome(int socket, const std::uint8_t* bytes, std::size_t count);

enum class Received { Bytes, Nothing, Closed, Failed };
// One non-blocking read: Bytes with `got` set, Nothing when none wait, Closed
// when the far side ended the connection, Failed on a reset or error.
Received receiveSome(int socket, std::uint8_t* buffer, std::size_t size, std::size_t& got);

enum class Ready { Yes, TimedOut, Broken, Failed };
// Sleeps until the socket can be read (or written, `forWriting`), the
// connection breaks or `milliseconds` pass.
Ready waitFor(int socket, bool forWriting, int milliseconds);

void closeSocket(int socket);

}  // namespace travin::net
