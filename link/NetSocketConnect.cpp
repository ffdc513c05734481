// Connecting to a network port: each address the name has in turn, within
// one budget of time, over the platform's socket calls.
#include <cerrno>

#include "link/NetNameLookup.h"
#include "link/NetSocket.h"
#include "link/NetSocketPlatform.h"

namespace travin::net {

namespace {

using platform::Clock;

int msSince(Clock::time_point start) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

}  // namespace

Connection connectTo(const std::string& host, const std::string& service, int timeoutMs) {
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
    Connection result;
    addrinfo* found = nullptr;
    if (const int error = lookUpWithin(host, service, found, deadline); error != 0) {
        result.error = error;
        result.waitedMs = msSince(start);
        return result;
    }
    result.error = ETIMEDOUT;
    for (const addrinfo* a = found; a != nullptr; a = platform::nextAddress(*a)) {
        int error = 0;
        result.socket = platform::connectOne(*a, deadline, error, result.stillTrying);
        if (result.socket != kNoSocket) break;
        result.error = error;
        if (error == ETIMEDOUT) break;  // the whole time is spent
    }
    platform::release(found);
    if (result.socket != kNoSocket) result.error = 0;
    result.waitedMs = msSince(start);
    return result;
}

Connection finishConnect(int stillTrying, int timeoutMs) {
    const Clock::time_point start = Clock::now();
    Connection result;
    int error = 0;
    result.socket = platform::awaitConnect(stillTrying, start + std::chrono::milliseconds(timeoutMs), error,
                                           result.stillTrying);
    result.error = result.socket != kNoSocket ? 0 : error;
    result.waitedMs = msSince(start);
    return result;
}

}  // namespace travin::net
